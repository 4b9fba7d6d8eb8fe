// Catalogue loading and searching, against the raw floor of reading the same files.
//   bench_catalogue generate DIR ALBUMS ROWS   a synthetic catalogue
//   bench_catalogue time DIR                   load / search timings and raw floors (ms)
//   bench_catalogue memory DIR (load|none)     peak resident size in kB after loading (or not)
//   bench_catalogue large DIR TEXT             load and query timings (ms) of a large catalogue;
//                                              TEXT gets each row's searched text, one a line
//   bench_catalogue finish DIR COUNT           a change of COUNT files in as many albums, cut
//                                              short before any took its name, finished (ms)
//   bench_catalogue metadata DIR COUNT         the queue of tags for the pictures' metadata:
//                                              COUNT pictures noted, then taken up (ms); the
//                                              pictures are gone, so the queue's own work counts
#include "catalogueloader.h"
#include "cataloguefile.h"
#include "cataloguecontext.h"
#include "libraryindex.h"
#include "metadataqueue.h"
#include "searchengine.h"
#include "smartplaylist.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

const char *const kWords[] = {"beach", "mountain", "Sunset", "family", "dinner", "SUNNY", "garden", "snow",
                              "city", "river", "party", "forest", "bridge", "market", "harbour", "island"};

QString words(QRandomGenerator &rng, int count)
{
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QLatin1String(kWords[rng.bounded(int(std::size(kWords)))]);
    return out.join(QLatin1Char(' '));
}

int generate(const QString &root, int albums, int rows)
{
    const CatalogueContext context = CatalogueContext::forInstallation(root);
    QDir().mkpath(context.folder);
    QRandomGenerator rng(42);
    // Each album's first picture has its thumbnail file, as once the album has been shown:
    // the album list makes its icon of it.
    QByteArray thumbnail;
    {
        QImage image(99, 73, QImage::Format_RGB32);
        image.fill(QColor(230, 140, 40));
        QBuffer buffer(&thumbnail);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 70);
    }
    QByteArray library = "NUMLIB=" + QByteArray::number(albums) + "\r\n";
    for (int a = 0; a < albums; ++a) {
        const QString id = QStringLiteral("Album %1").arg(a) + QStringLiteral("05.01.2003.14.22.10.123");
        library += "LIBRARY=NONE,Photo,Album " + QByteArray::number(a) + ",Playlist," + id.toUtf8() + "\r\n";
        QByteArray file = "KivDir=" + id.toUtf8() + "\r\nTitle=Album " + QByteArray::number(a)
                          + "\r\nDirty=True\r\nCreationDate=2003-01-05\r\nNumFile=" + QByteArray::number(rows)
                          + "\r\n";
        const QString folder = QStringLiteral("/home/user/Pictures/%1/Trip %2").arg(2000 + a % 20).arg(a);
        for (int r = 0; r < rows; ++r) {
            const QStringList row{"Photo",
                                  folder,
                                  QStringLiteral("IMG_%1.jpg").arg(a * rows + r, 6, 10, QLatin1Char('0')),
                                  words(rng, 2),
                                  QLatin1String(r % 3 ? "Family" : "holidays"),
                                  r % 4 ? words(rng, 4) : QStringLiteral(" "),
                                  QString::number(1 + rng.bounded(5)),
                                  QString::number(rng.bounded(20)),
                                  QStringLiteral("-1"),
                                  QStringLiteral("3264*2448"),
                                  r % 5 ? QString() : QStringLiteral("Anna,Bob")};
            file += "File=" + row.join(QLatin1Char('|')).toUtf8() + "\r\n";
        }
        QFile out(context.folder + QLatin1Char('/') + id + QStringLiteral(".db"));
        out.open(QIODevice::WriteOnly);
        out.write(file);
        QDir().mkpath(context.folder + QLatin1Char('/') + id);
        QFile first(context.folder + QLatin1Char('/') + id + QStringLiteral("/IMG_%1.jpg").arg(a * rows, 6, 10, QLatin1Char('0')));
        first.open(QIODevice::WriteOnly);
        first.write(thumbnail);
    }
    QFile out(context.root + QStringLiteral("/library.db"));
    out.open(QIODevice::WriteOnly);
    out.write(library);
    return 0;
}

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QStringList albumFiles(const CatalogueContext &context)
{
    QStringList files;
    for (const QString &name : QDir(context.folder).entryList({QStringLiteral("*.db")}, QDir::Files))
        files << context.folder + QLatin1Char('/') + name;
    return files;
}

int timeAll(const QString &root)
{
    CatalogueContext context = CatalogueContext::forInstallation(root);
    const QStringList files = albumFiles(context);
    const int runs = 9;
    long long sink = 0;

    // The floor: read every album file and split it into lines.
    QList<QStringList> lines;
    const double readSplit = medianMs(runs, [&] {
        lines.clear();
        for (const QString &path : files) {
            QFile f(path);
            f.open(QIODevice::ReadOnly);
            lines.append(QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n")));
        }
    });
    // Splitting the rows into their fields as well.
    QList<QStringList> fields;
    const double fieldSplit = medianMs(runs, [&] {
        fields.clear();
        for (const QStringList &file : std::as_const(lines))
            for (int i = 5; i < file.size(); ++i)
                if (file.at(i).size() > 5)
                    fields.append(file.at(i).mid(5).split(QLatin1Char('|')));
    });
    // A naive case-insensitive scan of every field of every row.
    const double naiveScan = medianMs(runs, [&] {
        int hits = 0;
        for (const QStringList &row : std::as_const(fields))
            for (const QString &text : row)
                if (text.contains(QLatin1String("sun"), Qt::CaseInsensitive)) {
                    ++hits;
                    break;
                }
        sink += hits;
    });

    LibraryIndex library;
    library.setRoot(context.root);
    context.library = &library;
    QTreeWidget list;
    QList<PlayList *> albums;
    const double load = medianMs(runs, [&] {
        library = LibraryIndex();
        library.setRoot(context.root);
        library.load();
        albums = CatalogueLoader::load(&list, library, context, QStringLiteral("media"));
    });
    int totalRows = 0;
    for (PlayList *album : std::as_const(albums))
        totalRows += album->rowCount();
    const QList<PlayList *> top = CatalogueLoader::topLevelAlbums(&list);
    AllPhoto all;
    const double allPhotos = medianMs(runs, [&] {
        SearchEngine::fill(&all, top);
        sink += all.rowCount();
    });
    Search search;
    search.setKeyword(QStringLiteral("sun"));
    const double fullText = medianMs(runs, [&] {
        SearchEngine::fill(&search, top);
        sink += search.rowCount();
    });
    std::printf("albums %d rows %d\n", int(albums.size()), totalRows);
    std::printf("floor_read_split_ms %.2f\nfield_split_ms %.2f\nnaive_scan_ms %.2f\n", readSplit, fieldSplit,
                naiveScan);
    std::printf("load_ms %.2f\nallphotos_ms %.2f\nfulltext_ms %.2f\nfulltext_hits %d\n", load, allPhotos, fullText,
                search.rowCount());
    return sink > 0 ? 0 : 1;
}

// The loaded catalogue's queries, each timed as the window runs it (the smart album
// filled over every top-level album), median of 9.
int timeLarge(const QString &root, const QString &textPath)
{
    CatalogueContext context = CatalogueContext::forInstallation(root);
    LibraryIndex library;
    library.setRoot(context.root);
    context.library = &library;
    QTreeWidget list;
    QList<PlayList *> albums;
    const double load = medianMs(3, [&] {
        library = LibraryIndex();
        library.setRoot(context.root);
        library.load();
        albums = CatalogueLoader::load(&list, library, context, QStringLiteral("media"));
    });
    const QList<PlayList *> top = CatalogueLoader::topLevelAlbums(&list);
    // What a full-text search reads: each row but its source folder.
    QFile text(textPath);
    text.open(QIODevice::WriteOnly);
    QByteArray chunk;
    int rows = 0;
    for (PlayList *album : top) {
        const AlbumRows &table = album->rowTable();
        for (int i = 0; i < table.count(); ++i, ++rows) {
            const QByteArrayView line = table.utf8(i);
            const qsizetype first = line.indexOf('|');
            const qsizetype second = first < 0 ? -1 : line.indexOf('|', first + 1);
            chunk += second < 0 ? line : line.first(first + 1);
            if (second >= 0)
                chunk += line.sliced(second);
            chunk += '\n';
        }
        if (chunk.size() > (1 << 20)) {
            text.write(chunk);
            chunk.clear();
        }
    }
    text.write(chunk);
    text.close();
    std::printf("rows %d\nload_ms %.2f\n", rows, load);
    auto time = [&](const char *name, SmartPlaylist &album) {
        long long found = 0;
        const double ms = medianMs(9, [&] {
            SearchEngine::fill(&album, top);
            found = album.rowCount();
        });
        std::printf("%s_ms %.2f\n%s_rows %lld\n", name, ms, name, found);
    };
    Search fullText;
    fullText.setKeyword(QStringLiteral("sun"));
    time("fulltext", fullText);
    Search title;
    title.setKeyword(QStringLiteral("sun"));
    title.setAttribute(QStringLiteral("Title"));
    time("find_title", title);
    Search comment;
    comment.setKeyword(QStringLiteral("RIVER"));
    comment.setAttribute(QStringLiteral("Comment"));
    time("find_comment", comment);
    Search love;
    love.setKeyword(QStringLiteral("4"));
    love.setAttribute(QStringLiteral("Love"));
    love.setCondition(QStringLiteral("More Than"));
    time("find_love", love);
    Favorites favourites;
    time("favorites", favourites);
    CategoryPl category;
    category.setKeyword(QStringLiteral("holidays"));
    time("category", category);
    BySubject person;
    person.setKeyword(QStringLiteral("Anna"));
    time("person", person);
    AllPhoto all;
    time("allphotos", all);
    return 0;
}

long peakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

int memory(const QString &root, bool load)
{
    CatalogueContext context = CatalogueContext::forInstallation(root);
    LibraryIndex library;
    library.setRoot(context.root);
    context.library = &library;
    QTreeWidget list;
    if (load) {
        library.load();
        CatalogueLoader::load(&list, library, context, QStringLiteral("media"));
    }
    std::printf("%ld\n", peakKb());
    return 0;
}

int timeFinish(const QString &dir, int count)
{
    QDir(dir).removeRecursively();
    const QString root = dir + QStringLiteral("/DataBase");
    QByteArray journal = "VellaroJournal 1\n";
    for (int i = 0; i < count; ++i) {
        const QString folder = root + QStringLiteral("/db/A%1").arg(i);
        QFile staged(folder + QStringLiteral("/a.kiv.vellaro-new"));
        if (!QDir().mkpath(folder) || !staged.open(QIODevice::WriteOnly) || staged.write("title=new\r\n") <= 0)
            return 1;
        journal += QFile::encodeName(folder).toPercentEncoding() + " a.kiv.vellaro-new a.kiv\n";
    }
    journal += "End " + QByteArray::number(count) + '\n';
    QFile file(CatalogueFile::batchJournalPath(root));
    if (!file.open(QIODevice::WriteOnly) || file.write(journal) != journal.size())
        return 1;
    file.close();
    QElapsedTimer timer;
    timer.start();
    if (CatalogueFile::finishInterruptedBatch(root) != count)
        return 1;
    std::printf("finish_ms %.1f\n", timer.nsecsElapsed() / 1e6);
    return 0;
}

int timeMetadata(const QString &dir, int count)
{
    // Each picture gone from a folder still there: dropped without a write.
    QDir(dir).removeRecursively();
    if (!QDir().mkpath(dir + QStringLiteral("/pictures")))
        return 1;
    QLoggingCategory::setFilterRules(QStringLiteral("vellaro.catalogue.warning=false"));
    QList<MetadataQueue::Entry> entries;
    for (int i = 0; i < count; ++i) {
        MetadataQueue::Entry entry;
        entry.picture = dir + QStringLiteral("/pictures/IMG_%1.jpg").arg(i);
        entry.tags.title = QStringLiteral("title %1").arg(i);
        entries << entry;
    }
    MetadataQueue queue(dir);
    QElapsedTimer timer;
    timer.start();
    // Noted as changes come: a hundred at a time.
    for (int i = 0; i < count; i += 100) {
        if (!queue.add(entries.mid(i, 100)).isEmpty())
            return 1;
    }
    const double noting = timer.nsecsElapsed() / 1e6;
    timer.restart();
    if (!queue.writePending().isEmpty() || queue.count() != 0)
        return 1;
    std::printf("noted_ms %.1f\ntaken_ms %.1f\n", noting, timer.nsecsElapsed() / 1e6);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 4 && args[0] == QLatin1String("generate"))
        return generate(args[1], args[2].toInt(), args[3].toInt());
    if (args.size() == 2 && args[0] == QLatin1String("time"))
        return timeAll(args[1]);
    if (args.size() == 3 && args[0] == QLatin1String("large"))
        return timeLarge(args[1], args[2]);
    if (args.size() == 3 && args[0] == QLatin1String("memory"))
        return memory(args[1], args[2] == QLatin1String("load"));
    if (args.size() == 3 && args[0] == QLatin1String("finish"))
        return timeFinish(args[1], args[2].toInt());
    if (args.size() == 3 && args[0] == QLatin1String("metadata"))
        return timeMetadata(args[1], args[2].toInt());
    std::fprintf(stderr, "usage: bench_catalogue generate DIR ALBUMS ROWS | time DIR | memory DIR load|none | large DIR TEXT"
                         " | finish DIR COUNT | metadata DIR COUNT\n");
    return 2;
}
