// Opening an album of many pictures in the organiser page, as a user clicks it.
//   bench_open generate DIR COUNT [thumbs] [small]   an album of COUNT pictures (with thumbnail
//                                                    files; 320 x 240 pictures rather than 1600 x 1200)
//   bench_open generate DIR COUNT camera SRCDIR      an album of COUNT links to the camera JPEGs of SRCDIR
//   bench_open open DIR                              first screen, whole album and longest block (ms)
//   bench_open cached DIR                            with the album cache on: opening the album again
//                                                    once its thumbnails are cached (ms, median of 5)
//   bench_open allphotos INSTALL                     All Photos of the catalogue in INSTALL made whole:
//                                                    resident size it adds, and the longest block when
//                                                    another album is opened after it (ms)
#include "benchpage.h"
#include "kivviewitem.h"
#include "librarylist.h"
#include "playlist.h"
#include "smartplaylist.h"
#include "picturecommands.h"
#include "pixmaplookup.h"
#include "prefimplementation.h"
#include "prompter.h"
#include "thumbnailmaker.h"
#include "thumbsview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

class SilentPrompter : public WidgetPrompter
{
public:
    int message(QWidget *, const Message &box) override { return box.escapeButton; }
};

int generate(const QString &root, int count, bool thumbs, bool small, const QString &camera = QString())
{
    const QSize size = !camera.isEmpty() ? QSize(4000, 3000) : small ? QSize(320, 240) : QSize(1600, 1200);
    const QStringList cameraFiles =
        camera.isEmpty() ? QStringList() : QDir(camera).entryList({QStringLiteral("cam-*.jpg")}, QDir::Files, QDir::Name);
    if (!camera.isEmpty() && cameraFiles.isEmpty())
        return 1;
    const QByteArray format = QByteArray::number(size.width()) + '*' + QByteArray::number(size.height());
    const QString pictures = root + QStringLiteral("/pictures");
    const QString db = root + QStringLiteral("/install/DataBase/db");
    QDir().mkpath(pictures);
    QDir().mkpath(db + QStringLiteral("/Big1"));
    QRandomGenerator rng(7);
    QByteArray album = "KivDir=Big1\r\nTitle=Big album\r\nDirty=True\r\nCreationDate=2005-06-01\r\nNumFile="
                       + QByteArray::number(count) + "\r\n";
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        const QString path = pictures + QLatin1Char('/') + name;
        if (!camera.isEmpty()) {
            QFile::remove(path);
            QFile::link(QDir(camera).filePath(cameraFiles.at(i % cameraFiles.size())), path);
        } else if (!QFile::exists(path)) {
            QImage image(size, QImage::Format_RGB32);
            QPainter painter(&image);
            QLinearGradient sky(0, 0, 0, size.height());
            sky.setColorAt(0, QColor::fromHsv(rng.bounded(360), 120, 240));
            sky.setColorAt(1, QColor::fromHsv(rng.bounded(360), 200, 90));
            painter.fillRect(image.rect(), sky);
            painter.setBrush(QColor::fromHsv(rng.bounded(360), 180, 200));
            painter.drawEllipse(QPoint(rng.bounded(size.width()), rng.bounded(size.height())), size.width() / 5,
                                size.height() / 6);
            painter.end();
            image.save(path, "JPEG", 85);
        }
        const QString thumb = db + QStringLiteral("/Big1/") + name;
        if (thumbs && !QFile::exists(thumb))
            ThumbnailMaker::save(ThumbnailMaker::make(path, false).image, thumb);
        if (!thumbs)
            QFile::remove(thumb);
        album += "File=Photo|" + pictures.toUtf8() + "|" + name.toUtf8() + "| | | |1|0|-1|" + format + "|\r\n";
    }
    QFile file(db + QStringLiteral("/Big1.db"));
    file.open(QIODevice::WriteOnly);
    file.write(album);
    QFile index(root + QStringLiteral("/install/DataBase/library.db"));
    index.open(QIODevice::WriteOnly);
    index.write("NUMLIB=1\r\nLIBRARY=NONE,Photo,Big,Playlist,Big1\r\n");
    return 0;
}

// The organiser page on the catalogue of `root`, shown, its album list filled.
struct Session
{
    SilentPrompter prompter;
    BenchPage bench;
    AmbrioMainWindow &page = bench.page;

    Session(const QString &root, bool albumCache, const QString &install = QString())
        : bench(install.isEmpty() ? root + QStringLiteral("/install") : install, &prompter, albumCache)
    {
    }
};

// A ticking timer measures how long the window's thread is ever kept busy, on `clock`.
struct BlockWatch
{
    const QElapsedTimer &clock;
    qint64 lastTick = 0, longest = 0;
    QTimer ticker;

    explicit BlockWatch(const QElapsedTimer &timing)
        : clock(timing)
    {
        ticker.setInterval(2);
        QObject::connect(&ticker, &QTimer::timeout, [this] {
            const qint64 now = clock.elapsed();
            longest = qMax(longest, now - lastTick);
            lastTick = now;
        });
    }
    // What the window's thread did just now without the event loop counts too.
    void busyUntilNow()
    {
        longest = qMax(longest, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    }
};

int open(const QString &root)
{
    Session session(root, false);
    AmbrioMainWindow &page = session.page;
    PlayList *album = page.albumList()->storedAlbums().value(0);
    if (!album)
        return 1;

    QElapsedTimer clock;
    BlockWatch watch(clock);

    thumbsView *view = page.photoView();
    qint64 firstScreen = -1, whole = -1;
    int firstScreenCount = 0;
    auto check = [&] {
        const QList<KivViewItem *> &items = view->items();
        if (firstScreen < 0 && firstScreenCount > 0 && items.size() >= firstScreenCount) {
            bool all = true;
            for (int i = 0; i < firstScreenCount && all; ++i)
                all = !items.at(i)->thumbnail().isNull();
            if (all) {
                view->viewport()->repaint();
                firstScreen = clock.elapsed();
            }
        }
    };
    QObject::connect(page.pictures()->loader(), &ThumbnailLoader::ready, check);
    QObject::connect(page.pictures()->loader(), &ThumbnailLoader::finished, [&] { whole = clock.elapsed(); });

    clock.start();
    watch.ticker.start();
    page.slot_selectLibrary(album);
    watch.busyUntilNow();  // the click itself
    const int rowsShown = view->viewport()->height() / view->cellHeight() + 1;
    firstScreenCount = qMin(view->count(), rowsShown * view->numCols());
    check();
    while (whole < 0 && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    std::printf("pictures %d\nfirst_screen_ms %lld\nwhole_ms %lld\nlongest_block_ms %lld\n", view->count(),
                firstScreen, whole, watch.longest);
    return 0;
}

// The album is opened once, its thumbnails read from their files and kept in the
// album cache, then clicked again: every thumbnail now comes from the cache.
int openCached(const QString &root)
{
    Session session(root, true);
    AmbrioMainWindow &page = session.page;
    PlayList *album = page.albumList()->storedAlbums().value(0);
    if (!album)
        return 1;

    bool finished = false;
    QObject::connect(page.pictures()->loader(), &ThumbnailLoader::finished, [&] { finished = true; });
    QElapsedTimer clock;
    clock.start();
    page.slot_selectLibrary(album);
    while (!finished && clock.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const qint64 firstOpen = clock.elapsed();
    const qsizetype cachedEntries = album->thumbCache().size();

    thumbsView *view = page.photoView();
    QList<double> again;
    int fromCache = 0;
    for (int run = 0; run < 5; ++run) {
        clock.restart();
        page.slot_selectLibrary(album);
        const double ms = clock.nsecsElapsed() / 1e6;
        fromCache = 0;
        for (const KivViewItem *item : view->items())
            fromCache += item->thumbnail().isNull() ? 0 : 1;
        again << ms;
        QCoreApplication::processEvents();
    }
    std::sort(again.begin(), again.end());
    std::printf("pictures %d\nfirst_open_ms %lld\ncache_entries %lld\nfrom_cache %d\ncached_open_ms %.1f\n",
                view->count(), firstOpen, qlonglong(cachedEntries), fromCache, again.at(2));
    return 0;
}

qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void spin(qint64 ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

int allPhotos(const QString &install)
{
    Session session(QString(), false, install);
    AmbrioMainWindow &page = session.page;
    PlayList *other = page.albumList()->storedAlbums().value(0);
    if (!page.albumList()->allPhotos() || !other)
        return 1;
    // Every album read, every icon fitted.
    spin(4000);
    const qint64 before = residentKb();
    QElapsedTimer clock;
    clock.start();
    page.slot_selectLibrary(page.albumList()->allPhotos());
    while (page.pictures()->isLoading() && clock.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const qint64 filled = clock.elapsed();
    const int pictures = page.photoView()->count();
    const qint64 whole = residentKb();

    BlockWatch watch(clock);
    watch.ticker.start();
    clock.restart();
    page.slot_selectLibrary(other);
    watch.busyUntilNow();  // the click itself
    while ((page.pictures()->isLoading() || page.pictures()->recordsFreeing() > 0) && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const qint64 released = clock.elapsed();
    spin(500);
    std::printf("pictures %d\nfill_ms %lld\nadded_mb %lld\nswitch_longest_block_ms %lld\nreleased_ms %lld\n"
                "after_mb %lld\n",
                pictures, filled, (whole - before) / 1024, watch.longest, released, (residentKb() - before) / 1024);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 5 && args[0] == QLatin1String("generate") && args[3] == QLatin1String("camera"))
        return generate(args[1], args[2].toInt(), false, false, args[4]);
    if (args.size() >= 3 && args[0] == QLatin1String("generate"))
        return generate(args[1], args[2].toInt(), args.contains(QLatin1String("thumbs")),
                        args.contains(QLatin1String("small")));
    if (args.size() == 2 && args[0] == QLatin1String("open"))
        return open(args[1]);
    if (args.size() == 2 && args[0] == QLatin1String("cached"))
        return openCached(args[1]);
    if (args.size() == 2 && args[0] == QLatin1String("allphotos"))
        return allPhotos(args[1]);
    std::fprintf(stderr, "usage: bench_open generate DIR COUNT [thumbs] [small] | generate DIR COUNT camera SRCDIR | open DIR | cached DIR | allphotos INSTALL\n");
    return 2;
}
