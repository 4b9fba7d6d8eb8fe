#pragma once

#include <QDialog>
#include <QThread>
#include <QWidget>

#include "picturewriter.h"

class QLabel;
class QMovie;

class KIVPixmapView;
class Prompter;
class QToolButton;

// Writes a picture on a thread of its own: the one given, else the source file's, turned
// upright as its orientation says.
class SaveWorker : public QThread
{
    Q_OBJECT

public:
    QString source;       // the file to load when no picture is given
    QString destination;  // the file written, in the format its name names
    QImage picture;
    int jpegQuality = -1;
    PictureWriter::Result result = PictureWriter::Result::WriteFailed;
    bool unreadable = false;  // the source could not be read (damaged, cut short, not a picture)

    // Whether the JPEG file `path` ends before its picture data does (a copy cut short):
    // its reader would fill the rest with grey without a word.
    static bool jpegCutShort(const QString &path);

protected:
    void run() override;
};

// Shown while a long effect runs: an animation and "Please wait during process...".
class pleaseWait : public QDialog
{
    Q_OBJECT

public:
    explicit pleaseWait(QWidget *parent = nullptr);
    // The animation, read when first shown; it runs only while the dialog shows.
    QMovie *movie() const { return m_movie; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QLabel *m_label = nullptr;
    QMovie *m_movie = nullptr;
};

// The resize choices: 1024, 320 or 640 pixels wide.
class ResizePhotoDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ResizePhotoDialog(QWidget *parent = nullptr);
    int chosenWidth() const;
};

// The viewer: one picture of the album, large, with zoom, fitting, the effects and
// saving over the picture file.
class viewphoto : public QWidget
{
    Q_OBJECT

public:
    explicit viewphoto(QWidget *parent = nullptr);

    void setPrompter(Prompter *prompter) { m_prompter = prompter; }
    KIVPixmapView *view() const { return m_view; }
    // False when the picture cannot be read (nothing is shown then): loadError() says why.
    bool setFile(const QString &fileName);
    QString loadError() const;
    bool setPixmap(const QPixmap &pixmap);
    QString fileName() const { return m_fileName; }
    bool isModified() const { return m_modified; }
    void giveFocus();
    QPixmap displayPixmap() const;
    // Asks whether to save changes, then clears and hides the viewer.
    void closeWithPrompt();
    // Before another picture replaces this one: a changed picture asks whether to save
    // it. False when saving was chosen and failed, so the picture stays in the viewer.
    bool settleChanges();
    // The toolbar the main window lays into its action frame while the viewer is open.
    void buildToolbar(QWidget *frame);
    pleaseWait *waitDialog() const { return m_wait; }

Q_SIGNALS:
    void updateRotatePreview();
    void updateThumb();
    // The viewer is hidden and a command needs the current picture in it.
    void needPicture();
    void back();
    void previous();
    void next();
    void first();
    void last();

public Q_SLOTS:
    void slot_zoomin();
    void slot_zoomout();
    void slot_zoom(int amount);
    void slot_moreEffects();
    void slot_saveAs();
    void slot_print();
    void slot_autoresize();
    void FadeToBlack(int n);
    void EffectMiror();
    void EffectBlackAndWhite();
    void EffectUndo();
    // Ctrl+Z: takes back the last effect.
    void undoLastEffect();
    // Ctrl+S: saves a changed picture over its file.
    void saveChanges();
    void EffectIntensity(int v);
    void EffectContrast(int);
    void EffectRotateClockWise();
    void EffectRotateCounter();
    void EffectResize();
    void EffectMore(int id);

private:
    template<typename Effect>
    void effectCommand(Effect effect);

    Prompter *m_prompter = nullptr;
    KIVPixmapView *m_view;
    pleaseWait *m_wait;
    QString m_fileName;
    bool m_modified = false;
    quint64 m_savedState = 0;  // the view's state the file holds
    QToolButton *m_autosizeButton = nullptr;
};
