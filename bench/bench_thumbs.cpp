// Thumbnail throughput of the catalogue's thumbnail maker.
//   bench_thumbs generate DIR COUNT       12-megapixel synthetic photographs
//   bench_thumbs make OUTDIR THREADS FILE...   thumbnails, prints pictures per second
//   bench_thumbs fast OUTDIR THREADS FILE...   the same with "Fast Thumbs" (embedded previews)
//   bench_thumbs identical FILE...        worker-thread thumbnails equal the main thread's
#include "thumbnailmaker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QThreadPool>
#include <QtConcurrent>
#include <cmath>
#include <cstdio>

namespace {

// A photograph-like picture: smooth lighting, large soft shapes and sensor noise, so
// the JPEG has the entropy of a real photo rather than of a flat test card.
QImage syntheticPhoto(int seed)
{
    const int w = 4000, h = 3000;
    QImage image(w, h, QImage::Format_RGB32);
    QRandomGenerator rng(seed);
    const double fx = 2 + rng.bounded(5), fy = 2 + rng.bounded(5), phase = rng.bounded(6.28);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double u = double(x) / w, v = double(y) / h;
            const double light = 0.5 + 0.5 * std::sin(fx * u * 3.14 + phase) * std::cos(fy * v * 3.14);
            const int noise = int(rng.bounded(24)) - 12;
            const int r = qBound(0, int(255 * light * (0.6 + 0.4 * u)) + noise, 255);
            const int g = qBound(0, int(255 * light * (0.5 + 0.5 * v)) + noise, 255);
            const int b = qBound(0, int(200 * (1 - light) + 40 * u) + noise, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

int generate(const QString &dir, int count)
{
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) {
        const QString path = QDir(dir).filePath(QStringLiteral("synthetic-%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        if (QFileInfo::exists(path))
            continue;
        syntheticPhoto(i + 1).save(path, "JPEG", 90);
    }
    return 0;
}

int make(const QString &outDir, int threads, const QStringList &files, bool fast)
{
    QDir().mkpath(outDir);
    // Largest pictures first, each thread taking the next one from a shared counter:
    // a few big pictures at the end would otherwise leave one core idle.
    QStringList queue = files;
    std::sort(queue.begin(), queue.end(),
              [](const QString &a, const QString &b) { return QFileInfo(a).size() > QFileInfo(b).size(); });
    QElapsedTimer timer;
    timer.start();
    QAtomicInt failures = 0;
    QAtomicInt next = 0;
    QThreadPool pool;
    pool.setMaxThreadCount(threads);
    for (int t = 0; t < threads; ++t) {
        pool.start([&] {
            for (int i = next.fetchAndAddRelaxed(1); i < queue.size(); i = next.fetchAndAddRelaxed(1)) {
                const QString &file = queue.at(i);
                const ThumbnailMaker::Result made = ThumbnailMaker::make(file, fast);
                if (!made.loaded
                    || !ThumbnailMaker::save(made.image, QDir(outDir).filePath(QFileInfo(file).fileName())))
                    failures.ref();
            }
        });
    }
    pool.waitForDone();
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%d %.4f %.2f\n", int(files.size()), seconds, files.size() / seconds);
    return failures.loadRelaxed() == 0 ? 0 : 1;
}

int identical(const QStringList &files)
{
    int different = 0;
    for (const QString &file : files) {
        const QImage here = ThumbnailMaker::make(file, false).image;
        const QImage worker = QtConcurrent::run([file] { return ThumbnailMaker::make(file, false).image; }).result();
        if (here != worker) {
            std::printf("different: %s\n", qPrintable(file));
            ++different;
        }
    }
    std::printf("%s\n", different == 0 ? "identical" : "DIFFERENT");
    return different == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 3 && args[0] == QLatin1String("generate"))
        return generate(args[1], args[2].toInt());
    if (args.size() >= 4 && args[0] == QLatin1String("make"))
        return make(args[1], args[2].toInt(), args.mid(3), false);
    if (args.size() >= 4 && args[0] == QLatin1String("fast"))
        return make(args[1], args[2].toInt(), args.mid(3), true);
    if (args.size() >= 2 && args[0] == QLatin1String("identical"))
        return identical(args.mid(1));
    std::fprintf(stderr, "usage: bench_thumbs generate DIR COUNT | make|fast OUTDIR THREADS FILE... | identical FILE...\n");
    return 2;
}
