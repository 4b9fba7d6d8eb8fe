// Adding picture files to a plain album, as a drop does, into an empty album and into
// one already holding many rows: adding should cost the same whatever the album holds.
//   bench_add generate DIR COUNT ROWS   COUNT small pictures and an album file of ROWS rows
//   bench_add time DIR                  ms to add the pictures to each album (median of 3)
#include "albumadd.h"
#include "cataloguecontext.h"
#include "libraryindex.h"
#include "playlist.h"
#include "prompter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

namespace {

const QString kFullId = QStringLiteral("Full05.01.2003.14.22.10.123");
const QString kEmptyId = QStringLiteral("Empty05.01.2003.14.22.10.123");

// Answers every box with its escape button and every chooser with nothing.
class SilentPrompter : public Prompter
{
public:
    int refusals = 0;
    int message(QWidget *, const Message &box) override
    {
        ++refusals;
        return box.escapeButton;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QStringList openFileNames(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString existingDirectory(QWidget *, const QString &, const QString &) override { return {}; }
    int exec(QDialog *) override { return 0; }
};

QByteArray albumFile(const QString &id, int rows)
{
    QByteArray file = "KivDir=" + id.toUtf8() + "\r\nTitle=Full\r\nDirty=True\r\nCreationDate=2003-01-05\r\nNumFile="
                      + QByteArray::number(rows) + "\r\n";
    file.reserve(rows * 110);
    for (int r = 0; r < rows; ++r) {
        // Names unlike those of the pictures added, so that none is refused.
        file += "File=Photo|/home/user/Pictures/" + QByteArray::number(2000 + r % 20) + "/Trip|DSC_"
                + QByteArray::number(r).rightJustified(6, '0') + ".jpg|Sunset on the beach|Family| |"
                + QByteArray::number(1 + r % 5) + "|0|-1|3264*2448|\r\n";
    }
    return file;
}

int generate(const QString &root, int count, int rows)
{
    const QString pictures = root + QStringLiteral("/pictures");
    QDir().mkpath(pictures);
    QRandomGenerator rng(11);
    for (int i = 0; i < count; ++i) {
        const QString path = pictures + QStringLiteral("/IMG_%1.jpg").arg(i, 4, 10, QLatin1Char('0'));
        if (QFile::exists(path))
            continue;
        QImage image(320, 240, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(rng.bounded(360), 120, 220));
        QPainter painter(&image);
        painter.setBrush(QColor::fromHsv(rng.bounded(360), 180, 160));
        painter.drawEllipse(QPoint(rng.bounded(320), rng.bounded(240)), 60, 40);
        painter.end();
        if (!image.save(path, "JPEG", 85))
            return 1;
    }
    QFile full(root + QStringLiteral("/full.db"));
    if (!full.open(QIODevice::WriteOnly))
        return 1;
    full.write(albumFile(kFullId, rows));
    return 0;
}

// Adds `paths` to the album `id` of a fresh catalogue (its file copied from `source`
// when given), as a drop onto the open album does; returns the ms taken, or -1.
double addOnce(const QString &root, const QString &id, const QString &source, const QStringList &paths)
{
    const QString install = root + QStringLiteral("/run");
    QDir(install).removeRecursively();
    CatalogueContext context = CatalogueContext::forInstallation(install);
    QDir().mkpath(context.folder);
    LibraryIndex library;
    library.setRoot(context.root);
    context.library = &library;

    PlayList album;
    album.setContext(&context);
    if (source.isEmpty()) {
        album.setName(QStringLiteral("Empty"));
        album.setKivDir(id);
    } else {
        if (!QFile::copy(source, context.folder + QLatin1Char('/') + id + QStringLiteral(".db")))
            return -1;
        if (!album.load(context.folder + QLatin1Char('/') + id + QStringLiteral(".db")))
            return -1;
        album.setName(QStringLiteral("Full"));
    }
    library.insertAlbum(&album, nullptr);
    const int before = album.rowCount();

    SilentPrompter prompter;
    QElapsedTimer clock;
    clock.start();
    const AlbumAdd::Result result = AlbumAdd::addFiles(&album, paths, true, prompter);
    const double ms = clock.nsecsElapsed() / 1e6;
    if (int(result.added.size()) != paths.size() || prompter.refusals != 0
        || album.rowCount() != before + paths.size()) {
        std::fprintf(stderr, "added %d of %d (%d refused)\n", int(result.added.size()), int(paths.size()),
                     prompter.refusals);
        return -1;
    }
    return ms;
}

int timeAll(const QString &root)
{
    QStringList paths;
    const QDir pictures(root + QStringLiteral("/pictures"));
    for (const QString &name : pictures.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        paths << pictures.filePath(name);
    const QString source = root + QStringLiteral("/full.db");
    for (const QString &path : std::as_const(paths)) {
        QFile file(path);  // warm the page cache, as for a second drop of the same files
        if (file.open(QIODevice::ReadOnly))
            file.readAll();
    }
    QList<double> empty, full;
    for (int run = 0; run < 3; ++run) {
        empty << addOnce(root, kEmptyId, QString(), paths);
        full << addOnce(root, kFullId, source, paths);
    }
    QDir(root + QStringLiteral("/run")).removeRecursively();
    if (std::min(*std::min_element(empty.begin(), empty.end()), *std::min_element(full.begin(), full.end())) < 0)
        return 1;
    std::sort(empty.begin(), empty.end());
    std::sort(full.begin(), full.end());
    std::printf("pictures %lld\nempty_ms %.1f\nfull_ms %.1f\n", qlonglong(paths.size()), empty.at(1), full.at(1));
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
    std::fprintf(stderr, "usage: bench_add generate DIR COUNT ROWS | time DIR\n");
    return 2;
}
