#pragma once

#include "albumrows.h"
#include "playlist.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

class QScreen;
class SlidePictures;
class slideshowbar;
class viewphoto;

// The pictures of one album on the whole of one screen, one after another: the
// screen's snapshot fades to black, then the album is stepped through by hand or on a
// timer, with the control bar at the bottom edge. The window deletes itself when it
// closes (past the last picture, Escape, or "Back to Vellaro").
class slideshow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int FadeSteps = 10;
    static constexpr int FadeStepMs = 10;
    static constexpr int BarShownMs = 3000;

    // The show covers `screen` (the one holding the main window); none: the primary one.
    explicit slideshow(QScreen *screen = nullptr, QWidget *parent = nullptr);
    ~slideshow() override;

    // The album shown: its rows and thumbnails are copied, so the album may change or go
    // while the show runs (album() then only names it). A smart album shows no
    // neighbour thumbnails.
    void setAlbum(PlayList *album);
    // An album made for the show alone (the tray's pictures): the show keeps it.
    void setOwnedAlbum(std::unique_ptr<PlayList> album);
    PlayList *album() const { return m_album; }
    // The picture the first step shows: the entry of that file name, or the first.
    void setStartPicture(const QString &fileName);

    int index() const { return m_index; }
    int interval() const { return m_interval; }
    bool isFading() const { return m_fadeStep < FadeSteps; }
    bool isPlaying() const { return m_timer.isActive(); }
    // The picture on the screen (its path); empty while none is (the fade, a picture
    // still being decoded, or one that could not be read and shows black).
    QString shownFile() const { return m_shown; }
    viewphoto *pictureWindow() const { return m_picture; }
    slideshowbar *bar() const { return m_bar; }

Q_SIGNALS:
    void showMiniT();
    // A picture of the album is on the screen (after its decode).
    void pictureShown(const QString &path);

public Q_SLOTS:
    void fade();
    void slot_exit();
    void next();
    void previous();
    void nextnext();
    void previousprevious();
    void hideBar();
    void showBar();
    void showMiniThumbs();
    void clickPhoto();
    void play_slideshow();
    void changeTimeMinus();
    void changeTimePlus();
    void pause_slideshow();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    // The wheel turned over the picture steps the show (Ctrl and the wheel still zoom).
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int entryCount() const;
    QString pathAt(int index) const;
    bool isPicture(int index) const;
    // Moves to entry `to`, or past entries that are not pictures in `direction`; past
    // the last entry the show closes, before the first it stays where it is.
    void step(int to, int direction);
    void showCurrent();
    void display(const QString &path);
    void prepareAround();
    // The nearest picture from entry `from` on in `direction` (from itself included):
    // -1 before the first entry, entryCount() past the last.
    int pictureFrom(int from, int direction) const;
    QPixmap thumbnailAt(int index) const;
    void setInterval(int ms);
    // The user is using the bar: it is no longer hidden by the timer of the show's start.
    void keepBar();

    PlayList *m_album = nullptr;
    AlbumRows m_rows;
    QList<PlayList::ThumbCacheEntry> m_thumbs;
    QString m_thumbFolder;         // where the album keeps its thumbnail files, if it does
    bool m_fileNameCaptions = false;  // the album's entry-kind flag
    std::unique_ptr<PlayList> m_ownedAlbum;
    int m_index = -1;
    int m_interval = 5000;
    int m_fadeStep = 0;
    QTimer m_timer;
    QTimer m_barTimer;  // hides the bar shown at the end of the fade
    QRect m_screen;
    viewphoto *m_picture;
    slideshowbar *m_bar;
    SlidePictures *m_pictures;
    QString m_wanted;  // the picture to show once it is decoded
    QString m_shown;
};
