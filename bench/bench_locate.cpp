// The locator's walk over a large tree of photographs.
//   bench_locate generate ROOT FOLDERS FILES   a tree of FOLDERS folders (100 at the top,
//        the rest below them), FILES JPEG files of 12 megapixels in each: the real header
//        and first bytes of one photograph, the rest of each file left sparse
//   bench_locate walk ROOT                      prints "found N seconds S"
#include "locatorwalk.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTextStream>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTextStream out(stdout);
    if (args.size() == 4 && args[0] == QLatin1String("generate")) {
        const QString root = args[1];
        const int folders = args[2].toInt(), files = args[3].toInt();
        QImage photo(4000, 3000, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(photo.scanLine(y));
            for (int x = 0; x < photo.width(); ++x)
                line[x] = qRgb(x * 7 % 256, y * 3 % 256, (x + y) % 256);
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        photo.save(&buffer, "JPEG", 90);
        const QByteArray head = bytes.left(16384);
        const int top = qMin(100, folders);
        int made = 0;
        for (int t = 0; t < top && made < folders; ++t) {
            QStringList here{QStringLiteral("%1/d%2").arg(root).arg(t, 3, 10, QLatin1Char('0'))};
            for (int s = 0; s < (folders - top) / top; ++s)
                here << QStringLiteral("%1/s%2").arg(here.first()).arg(s, 3, 10, QLatin1Char('0'));
            for (const QString &folder : std::as_const(here)) {
                QDir().mkpath(folder);
                for (int f = 0; f < files; ++f) {
                    QFile file(QStringLiteral("%1/IMG_%2.JPG").arg(folder).arg(f, 4, 10, QLatin1Char('0')));
                    if (!file.open(QIODevice::WriteOnly) || file.write(head) != head.size() || !file.resize(bytes.size())) {
                        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
                        return 1;
                    }
                }
                ++made;
            }
        }
        out << "made " << made << " folders of " << files << " pictures\n";
        return 0;
    }
    if (args.size() == 2 && args[0] == QLatin1String("walk")) {
        int found = 0;
        const std::atomic_bool never{false};
        QElapsedTimer timer;
        timer.start();
        LocatorWalk::walk({args[1]}, {}, [&found](const QString &) {
            ++found;
            return true;
        }, never);
        out << "found " << found << " seconds " << timer.nsecsElapsed() / 1e9 << '\n';
        return 0;
    }
    std::fprintf(stderr, "usage: bench_locate generate ROOT FOLDERS FILES | walk ROOT\n");
    return 2;
}
