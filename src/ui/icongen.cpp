// Build-time renderer of the application icon's PNGs, laid out as the installation's
// hicolor icon theme:
//   <out>/hicolor/<N>x<N>/apps/<name>.png   for every size of vellaroAppIconSizes()
//   <out>/hicolor/scalable/apps/<name>.svg  the SVG itself
//   icongen SVG_FILE OUTPUT_ICONS_DIR
#include "appicon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: icongen SVG_FILE OUTPUT_ICONS_DIR\n");
        return 2;
    }
    const QString svg = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString name = QFileInfo(svg).completeBaseName();
    int failures = 0;

    for (int size : vellaroAppIconSizes()) {
        const QImage image = vellaroRenderSvgIcon(svg, size);
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(out).arg(size);
        const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (image.isNull()) {
            std::fprintf(stderr, "icongen: cannot render %s\n", qPrintable(svg));
            return 1;
        }
        if (!QDir().mkpath(folder) || !image.save(path, "PNG")) {
            std::fprintf(stderr, "icongen: cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }

    const QString scalable = out + QStringLiteral("/hicolor/scalable/apps");
    const QString svgCopy = scalable + QLatin1Char('/') + name + QStringLiteral(".svg");
    QFile::remove(svgCopy);
    if (!QDir().mkpath(scalable) || !QFile::copy(svg, svgCopy)) {
        std::fprintf(stderr, "icongen: cannot write %s\n", qPrintable(svgCopy));
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
