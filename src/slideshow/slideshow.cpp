#include "slideshow.h"
#include "albumrows.h"
#include "hello.h"
#include "kivpixmapview.h"
#include "kivviewitem.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "slidepictures.h"
#include "slideshowbar.h"
#include "slideshowlog.h"
#include "viewphoto.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QToolButton>
#include <QWheelEvent>

slideshow::slideshow(QScreen *screen, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("slideshow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_NoSystemBackground);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    m_screen = screen ? screen->geometry() : QRect(0, 0, 800, 600);
    const int W = m_screen.width(), H = m_screen.height();
    setGeometry(m_screen);

    m_pictures = new SlidePictures(m_screen.size(), this);
    connect(m_pictures, &SlidePictures::ready, this, [this](const QString &path) {
        if (path == m_wanted)
            display(path);
    });

    // The picture window: the screen as it was, to fade; then the album's pictures.
    m_picture = new viewphoto(this);
    m_picture->setObjectName(QStringLiteral("viewphoto"));
    m_picture->setGeometry(0, 0, W, H);
    m_picture->setMouseTracking(true);
    m_picture->setFocusPolicy(Qt::NoFocus);
    m_picture->view()->setFocusPolicy(Qt::NoFocus);
    QPalette dark = m_picture->palette();
    dark.setColor(QPalette::Window, Qt::black);
    m_picture->setPalette(dark);
    m_picture->setAutoFillBackground(true);
    connect(m_picture->view(), &KIVPixmapView::slideshowShowBar, this, &slideshow::clickPhoto);
    m_picture->view()->installEventFilter(this);
    m_picture->hide();
    setFocus();
    QPixmap snapshot = screen ? screen->grabWindow(0, m_screen.x(), m_screen.y(), W, H) : QPixmap();
    if (snapshot.isNull()) {
        snapshot = QPixmap(W, H);
        snapshot.fill(Qt::black);
    }
    m_picture->view()->slotSetPixmap(snapshot);
    m_picture->show();

    m_bar = new slideshowbar(this);
    m_bar->setGeometry(0, H - slideshowbar::Height, W, slideshowbar::Height);
    m_bar->hide();
    connect(m_bar->exitButton(), &QToolButton::clicked, this, &slideshow::slot_exit);
    connect(m_bar->minusButton(), &QToolButton::clicked, this, &slideshow::changeTimeMinus);
    connect(m_bar->plusButton(), &QToolButton::clicked, this, &slideshow::changeTimePlus);
    connect(m_bar->previousButton(), &QToolButton::clicked, this, &slideshow::previous);
    connect(m_bar->playButton(), &QToolButton::clicked, this, &slideshow::play_slideshow);
    connect(m_bar->nextButton(), &QToolButton::clicked, this, &slideshow::next);
    connect(m_bar->thumbButton(0), &QToolButton::clicked, this, &slideshow::previousprevious);
    connect(m_bar->thumbButton(1), &QToolButton::clicked, this, &slideshow::previous);
    connect(m_bar->thumbButton(2), &QToolButton::clicked, this, &slideshow::nextnext);
    connect(m_bar->thumbButton(3), &QToolButton::clicked, this, &slideshow::next);
    connect(this, &slideshow::showMiniT, this, &slideshow::showMiniThumbs);

    m_timer.setInterval(m_interval);
    connect(&m_timer, &QTimer::timeout, this, &slideshow::next);
    m_barTimer.setSingleShot(true);
    m_barTimer.setInterval(BarShownMs);
    connect(&m_barTimer, &QTimer::timeout, this, &slideshow::hideBar);
    // A button of the bar pressed keeps the bar up.
    for (QToolButton *button : m_bar->findChildren<QToolButton *>())
        connect(button, &QToolButton::pressed, this, &slideshow::keepBar);
    QTimer::singleShot(FadeStepMs, this, &slideshow::fade);
}

slideshow::~slideshow() = default;

void slideshow::setAlbum(PlayList *album)
{
    m_album = album;
    m_index = -1;
    m_rows = album ? album->rowTable() : AlbumRows();
    m_thumbs = album ? album->thumbCache() : QList<PlayList::ThumbCacheEntry>();
    m_thumbFolder = album ? album->thumbnailFolder() : QString();
    m_fileNameCaptions = album && album->isLoaded();
    // Smart albums' rows carry no thumbnails of their own.
    m_bar->setThumbnailsVisible(!(album && album->isSmart()));
    prepareAround();
}

void slideshow::setOwnedAlbum(std::unique_ptr<PlayList> album)
{
    m_ownedAlbum = std::move(album);
    setAlbum(m_ownedAlbum.get());
}

void slideshow::setStartPicture(const QString &fileName)
{
    if (!m_album)
        return;
    m_index = fileName.isEmpty() ? -1 : m_rows.indexOfFile(fileName) - 1;
    if (m_index < -1)
        m_index = -1;
    prepareAround();
}

int slideshow::entryCount() const
{
    return m_rows.count();
}

QString slideshow::pathAt(int index) const
{
    if (index < 0 || index >= entryCount())
        return {};
    const QString folder = m_rows.fieldText(index, AlbumRows::Folder);
    const QString file = m_rows.fieldText(index, AlbumRows::FileName);
    return folder.endsWith(QLatin1Char('/')) ? folder + file : folder + QLatin1Char('/') + file;
}

bool slideshow::isPicture(int index) const
{
    return KivViewItem::kindOfFile(pathAt(index)) == QLatin1String("Photo");
}

void slideshow::fade()
{
    ++m_fadeStep;
    if (m_fadeStep < FadeSteps) {
        m_picture->FadeToBlack(m_fadeStep);
        setFocus();
        QTimer::singleShot(FadeStepMs, this, &slideshow::fade);
        return;
    }
    m_bar->show();
    m_bar->raise();
    m_barTimer.start();
    next();
}

void slideshow::slot_exit()
{
    m_timer.stop();
    close();
}

void slideshow::step(int to, int direction)
{
    const int count = entryCount();
    while (to >= 0 && to < count && !isPicture(to))
        to += direction;
    if (to >= count) {
        // The end of the album ends the show.
        slot_exit();
        return;
    }
    if (to < 0)
        return;
    m_index = to;
    showCurrent();
}

int slideshow::pictureFrom(int from, int direction) const
{
    while (from >= 0 && from < entryCount() && !isPicture(from))
        from += direction;
    return qBound(-1, from, entryCount());
}

void slideshow::next()
{
    step(m_index + 1, 1);
}

void slideshow::nextnext()
{
    // Two pictures on, entries that are not pictures not counted.
    step(pictureFrom(m_index + 1, 1) + 1, 1);
}

void slideshow::previous()
{
    if (m_index > 0)
        step(m_index - 1, -1);
}

void slideshow::previousprevious()
{
    // Two pictures back; from the second picture, that is the first.
    const int oneBack = pictureFrom(m_index - 1, -1);
    if (oneBack < 0)
        return;
    const int twoBack = pictureFrom(oneBack - 1, -1);
    step(twoBack >= 0 ? twoBack : oneBack, twoBack >= 0 ? -1 : 1);
}

void slideshow::showCurrent()
{
    int first = 0;
    while (first < entryCount() && !isPicture(first))
        ++first;
    m_bar->previousButton()->setEnabled(m_index > first);
    const bool running = m_timer.isActive();
    m_timer.stop();
    const QString path = pathAt(m_index);
    m_wanted = path;
    prepareAround();
    if (m_pictures->isReady(path))
        display(path);
    if (running)
        m_timer.start(m_interval);
    Q_EMIT showMiniT();
}

void slideshow::display(const QString &path)
{
    const QImage image = m_pictures->image(path);
    if (image.isNull()) {
        // A picture that cannot be read shows black; the show goes on.
        qCInfo(lcSlideshow) << "cannot show" << path;
        m_picture->view()->clear();
        m_shown.clear();
    } else {
        m_picture->view()->slotSetPixmap(QPixmap::fromImage(image));
        m_shown = path;
    }
    if (m_picture->isHidden())
        m_picture->show();
    m_bar->raise();
    Q_EMIT pictureShown(path);
}

void slideshow::prepareAround()
{
    // The picture wanted now, then the next one and the one before, so that stepping
    // either way finds its picture ready.
    QStringList keep;
    const int current = qMax(0, m_index);
    for (const QString &path : {pathAt(pictureFrom(current, 1)), pathAt(pictureFrom(current + 1, 1)),
                                pathAt(pictureFrom(current - 1, -1))}) {
        if (path.isEmpty() || keep.contains(path))
            continue;
        keep << path;
        m_pictures->prepare(path);
    }
    m_pictures->keepOnly(keep);
}

QPixmap slideshow::thumbnailAt(int index) const
{
    if (index < 0 || index >= entryCount())
        return {};
    return PlayList::cachedThumbnail(m_thumbs, m_thumbFolder, index, m_rows.fieldText(index, AlbumRows::FileName));
}

void slideshow::showMiniThumbs()
{
    // The neighbouring pictures: entries that are not pictures are stepped over.
    const int oneBack = pictureFrom(m_index - 1, -1), oneOn = pictureFrom(m_index + 1, 1);
    m_bar->setThumbnail(0, thumbnailAt(oneBack < 0 ? -1 : pictureFrom(oneBack - 1, -1)));
    m_bar->setThumbnail(1, thumbnailAt(oneBack));
    m_bar->setThumbnail(2, thumbnailAt(oneOn >= entryCount() ? -1 : pictureFrom(oneOn + 1, 1)));
    m_bar->setThumbnail(3, thumbnailAt(oneOn));
    if (m_index < 0 || m_index >= entryCount())
        return;
    const QString file = m_rows.fieldText(m_index, AlbumRows::FileName);
    // Albums with the entry-kind flag (the query albums but All Photos) show file names.
    const QString title = m_fileNameCaptions ? QString() : m_rows.fieldText(m_index, AlbumRows::Title);
    const QString caption = title.isEmpty() || title == QLatin1String(" ") ? file : title;
    Hello *hello = m_bar->caption();
    hello->setToolTip(caption);
    hello->setText(QFontMetrics(hello->font()).elidedText(caption, Qt::ElideRight, hello->width()));
}

void slideshow::hideBar()
{
    m_bar->move(0, m_screen.height());
    m_bar->setBarVisible(false);
}

void slideshow::showBar()
{
    m_bar->move(0, m_screen.height() - slideshowbar::Height);
    m_bar->setBarVisible(true);
}

void slideshow::keepBar()
{
    m_barTimer.stop();
}

void slideshow::clickPhoto()
{
    keepBar();
    if (m_bar->isBarVisible())
        hideBar();
    else
        showBar();
}

void slideshow::play_slideshow()
{
    next();
    QToolButton *play = m_bar->playButton();
    play->setIcon(QIcon(kivPixmap(QStringLiteral("play-slideshow-pause.png"))));
    m_timer.start(m_interval);
    disconnect(play, &QToolButton::clicked, nullptr, nullptr);
    connect(play, &QToolButton::clicked, this, &slideshow::pause_slideshow);
}

void slideshow::pause_slideshow()
{
    QToolButton *play = m_bar->playButton();
    play->setIcon(QIcon(kivPixmap(QStringLiteral("play-slideshow.png"))));
    m_timer.stop();
    disconnect(play, &QToolButton::clicked, nullptr, nullptr);
    connect(play, &QToolButton::clicked, this, &slideshow::play_slideshow);
}

void slideshow::setInterval(int ms)
{
    m_interval = ms;
    m_bar->setSeconds(m_interval / 1000);
    m_timer.setInterval(m_interval);
}

void slideshow::changeTimeMinus()
{
    if (m_interval != 0)
        setInterval(m_interval - 1000);
}

void slideshow::changeTimePlus()
{
    setInterval(m_interval + 1000);
}

void slideshow::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
        next();
        break;
    case Qt::Key_Escape:
        slot_exit();
        break;
    default:
        break;
    }
    event->accept();
}

bool slideshow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_picture->view() && event->type() == QEvent::Wheel
        && !(static_cast<QWheelEvent *>(event)->modifiers() & Qt::ControlModifier)) {
        wheelEvent(static_cast<QWheelEvent *>(event));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void slideshow::wheelEvent(QWheelEvent *event)
{
    if (event->angleDelta().y() >= 1)
        next();
    else
        previous();
    event->accept();
}
