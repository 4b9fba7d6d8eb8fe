#include "minime.h"

#include "ambriomainwindow.h"
#include "kivviewitem.h"
#include "libraryindex.h"
#include "librarylist.h"
#include "picturecommands.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "prefimplementation.h"
#include "prompter.h"
#include "thumbsview.h"
#include "viewphoto.h"

#include "ui_minimebase.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QMenu>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

namespace {

QRect screenRect()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

xcb_atom_t atom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t found = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return found;
}

} // namespace

minime::minime(AmbrioMainWindow *page, QWidget *owner)
    : QWidget(nullptr)
    , ui(std::make_unique<Ui::minimeBase>())
    , m_page(page)
    , m_owner(owner)
    , m_view(nullptr)
    , m_albums(new QMenu(this))
    , m_viewer(new viewphoto(nullptr))
    , m_wait(new pleaseWait(nullptr))
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("minime"));
    setAttribute(Qt::WA_DeleteOnClose);
    ui->pixmapHeader->setPixmap(kivPixmap(QStringLiteral("ui-media-center.png")));
    m_view = new thumbsView(this, QStringLiteral("thumbsViewMinime"));
    m_view->setFrameShape(QFrame::NoFrame);
    QPalette palette = m_view->palette();
    palette.setColor(QPalette::WindowText, QColor(200, 200, 200));
    m_view->setPalette(palette);
    ui->viewLayout->addWidget(m_view);
    m_pictures = new PictureCommands(page, m_view);
    m_pictures->setParent(this);
    m_albums->setObjectName(QStringLiteral("minime albums"));
    ui->pushButtonAlbums->setMenu(m_albums);
    m_viewer->setObjectName(QStringLiteral("photo"));
    m_viewer->setPrompter(page->prompter());
    m_viewer->setWindowTitle(QStringLiteral("Vellaro"));
    m_viewer->resize(800, 600);
    m_viewer->hide();
    connect(m_viewer, &viewphoto::back, m_viewer, &QWidget::hide);
    m_wait->setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
    m_wait->hide();

    connect(ui->pushButtonMinimeBacktoVellaro, &QPushButton::clicked, this, &minime::slot_minimeClose);
    connect(m_view, &thumbsView::addFile, this, &minime::slot_addFile);
    connect(m_view, &thumbsView::doubleClicked, this, &minime::slot_photo_dblclick);
    connect(m_view, &thumbsView::currentChanged, this, [this](KivViewItem *item) { m_current = item; });

    if (prefImplementation *pref = page->pref()) {
        m_view->setPreferences(pref);
        m_view->loadFrameFromPreferences();
    }
    fillAlbumsMenu();
    loadAlbum(page->currentAlbum());
}

minime::~minime()
{
    m_pictures->closeAlbum();
    delete m_viewer;
    delete m_wait;
}

QRect minime::stripFor(const QRect &screen)
{
    return QRect(screen.right() + 1 - Width, screen.top(), Width, screen.height() - HeightMargin);
}

void minime::open()
{
    m_wait->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const QRect screen = screenRect();
    const QRect strip = stripFor(screen);
    if (m_owner) {
        m_owner->hide();
        m_owner->move(screen.right() + 1, m_owner->y());
    }
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setGeometry(strip);
    setFixedSize(strip.size());
    // The reservation is a property of the native window: made now, applied again
    // after any change of the window's flags.
    winId();
    reserveStrip(Width, strip.height());
    show();
    m_wait->hide();
}

void minime::fillAlbumsMenu()
{
    m_albums->clear();
    m_albums->addSeparator();
    const LibraryIndex *library = m_page->getDataBase();
    for (int i = 0; i < library->rowCount(); ++i) {
        QAction *entry = m_albums->addAction(library->row(i).value(2));
        connect(entry, &QAction::triggered, this, [this, i] { loadAlbum(i); });
    }
}

void minime::loadAlbum(int index)
{
    m_pictures->closeAlbum();
    m_album = nullptr;
    m_current = nullptr;
    const LibraryIndex *library = m_page->getDataBase();
    if (index < 0 || index >= library->rowCount())
        return;
    const QString id = library->row(index).value(4);
    if (id.isEmpty())
        return;
    for (PlayList *album : m_page->albumList()->storedAlbums()) {
        if (album->kivDir() == id) {
            loadAlbum(album);
            return;
        }
    }
}

void minime::loadAlbum(PlayList *album)
{
    if (!album)
        return;
    m_album = album;
    m_current = nullptr;
    m_pictures->openAlbum(album);
    m_view->arrange(false, album);
}

void minime::slot_addFile(const QStringList &files, KivViewItem *)
{
    if (m_album)
        m_pictures->addFilesTo(m_album, files, QString());
}

void minime::slot_photo_dblclick(KivViewItem *item)
{
    if (!item || item->fileType() != QLatin1String("Photo"))
        return;
    m_current = item;
    viewImage();
}

void minime::viewImage()
{
    if (!m_current)
        return;
    const QString path = m_current->picturePath();
    if (!QFileInfo(path).isFile() || !QImageReader(path).canRead()) {
        m_page->prompter()->information(this, QStringLiteral("Your picture cannot be load\nPlease insert the media :\n")
                                                  + m_current->sourceFolder());
        return;
    }
    m_page->countView(m_current);
    m_viewer->setFile(path);
    m_viewer->show();
    m_viewer->raise();
    m_viewer->activateWindow();
}

void minime::slot_fast_find() {}

void minime::slot_minimeClose()
{
    if (m_closing)
        return;
    putOwnerBack();
    close();
}

void minime::putOwnerBack()
{
    m_closing = true;
    m_wait->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const QRect screen = screenRect();
    reserveStrip(0, screen.height());
    m_viewer->hide();
    hide();
    if (m_owner) {
        m_owner->move(0, 0);
        m_owner->show();
        m_owner->raise();
        m_owner->activateWindow();
    }
    m_wait->hide();
    Q_EMIT closed();
}

void minime::closeEvent(QCloseEvent *event)
{
    // Closed by the window manager: the main window comes back all the same.
    if (!m_closing)
        putOwnerBack();
    QWidget::closeEvent(event);
}

void minime::reserveStrip(int width, int height)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return;
    const auto window = xcb_window_t(winId());
    // left, right, top, bottom, then the start and end of each: left y, right y, top x,
    // bottom x.
    const uint32_t partial[12] = {0, uint32_t(width), 0, 0, 0, 0, 0, uint32_t(qMax(0, height - 1)), 0, 0, 0, 0};
    const uint32_t strut[4] = {0, uint32_t(width), 0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(connection, "_NET_WM_STRUT_PARTIAL"),
                        XCB_ATOM_CARDINAL, 32, 12, partial);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, atom(connection, "_NET_WM_STRUT"),
                        XCB_ATOM_CARDINAL, 32, 4, strut);
    xcb_flush(connection);
}
