#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

class AmbrioMainWindow;
class KivViewItem;
class PictureCommands;
class PlayList;
class QMenu;
class pleaseWait;
class thumbsView;
class viewphoto;

namespace Ui {
class minimeBase;
}

// The mini window: a 160-pixel strip at the right edge of the screen, borderless and
// above other windows, showing one album in a single column. Albums are chosen from
// its "Albums" menu, a double click opens a picture, files dropped on it are added to
// the album shown. On X11 the strip is reserved, so maximised windows stop short of
// it. "Back To Vellaro" closes it and brings the main window back to (0, 0).
class minime : public QWidget
{
    Q_OBJECT

public:
    static constexpr int Width = 160;
    // The screen height less this is the strip's height.
    static constexpr int HeightMargin = 31;

    // `owner`: the window hidden while the strip is shown, put back when it closes.
    minime(AmbrioMainWindow *page, QWidget *owner);
    ~minime() override;

    // Opens the strip: the owner hidden and moved off screen, the strip reserved.
    void open();

    thumbsView *view() const { return m_view; }
    QMenu *albumsMenu() const { return m_albums; }
    PlayList *shownAlbum() const { return m_album; }
    viewphoto *viewer() const { return m_viewer; }
    // The strip's rectangle on the screen.
    static QRect stripFor(const QRect &screen);

Q_SIGNALS:
    void closed();

public Q_SLOTS:
    void slot_minimeClose();
    // Entry `index` of the library index.
    void loadAlbum(int index);
    void loadAlbum(PlayList *album);
    void slot_addFile(const QStringList &files, KivViewItem *target);
    void slot_photo_dblclick(KivViewItem *item);
    void viewImage();
    void slot_fast_find();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void fillAlbumsMenu();
    // Releases the strip and shows the owner again at (0, 0).
    void putOwnerBack();
    // Reserves `width` pixels at the right screen edge, from the top down `height`
    // pixels (0: releases it). Only X11 knows of reservations.
    void reserveStrip(int width, int height);

    std::unique_ptr<Ui::minimeBase> ui;
    AmbrioMainWindow *m_page;
    QPointer<QWidget> m_owner;
    thumbsView *m_view;
    QMenu *m_albums;
    PictureCommands *m_pictures;
    viewphoto *m_viewer;
    pleaseWait *m_wait;
    PlayList *m_album = nullptr;
    KivViewItem *m_current = nullptr;
    bool m_closing = false;
};
