// The viewer's effects on one picture, with a memcpy of the same pixel buffer as the
// floor. Prints one line per effect: name, milliseconds (median of 3).
//   bench_effects PICTURE
#include "imageeffects.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

double medianMs(const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    ImageEffects::keepLargeBuffers();
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_effects PICTURE\n");
        return 2;
    }
    const QImage source = QImageReader(QString::fromLocal8Bit(argv[1])).read().convertToFormat(QImage::Format_RGB32);
    if (source.isNull())
        return 1;
    std::printf("size %dx%d\n", source.width(), source.height());
    std::vector<uchar> copy(size_t(source.sizeInBytes()));
    std::printf("memcpy %.2f\n", medianMs([&] { std::memcpy(copy.data(), source.constBits(), copy.size()); }));
    auto run = [&](const char *name, const std::function<void(QImage &)> &effect) {
        // Each run works on a fresh copy, made outside the timing.
        std::vector<QImage> images(3, source);
        for (QImage &image : images)
            image.detach();
        int i = 0;
        std::printf("%s %.2f\n", name, medianMs([&] { effect(images[i++]); }));
    };
    run("grey", [](QImage &i) { ImageEffects::grey(i); });
    run("brighten", [](QImage &i) { ImageEffects::intensity(i, 0.5f); });
    run("normalize", [](QImage &i) { ImageEffects::normalize(i); });
    run("equalize", [](QImage &i) { ImageEffects::equalize(i); });
    run("desaturate", [](QImage &i) { ImageEffects::desaturate(i, 0.5f); });
    run("contrast", [](QImage &i) { ImageEffects::contrast(i, 1); });
    run("to-blue", [](QImage &i) { ImageEffects::fade(i, QColor(0, 0, 255), 0.2); });
    run("blend", [](QImage &i) { ImageEffects::blend(i, Qt::black, 0.5f); });
    run("mirror", [](QImage &i) { ImageEffects::mirror(i); });
    run("rotate", [](QImage &i) { ImageEffects::rotateClockwise(i); });
    run("edge", [](QImage &i) { i = ImageEffects::edge(i, 300.0); });
    run("noise", [](QImage &i) { i = ImageEffects::noise(i); });
    run("fit800x600", [](QImage &i) {
        const QSize size = ImageEffects::fittedSize(i.size(), QSize(800, 600));
        i = i.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    });
    return 0;
}
