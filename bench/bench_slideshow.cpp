// bench_slideshow FILE...
// The slideshow stepping through photographs on the whole screen: the time from
// "Next" to the next picture painted on the screen, the next picture prepared (the show
// has been on its picture for a second), against the floor of decoding the same picture
// at screen size with QImageReader::setScaledSize alone. Prints medians in ms.
#include "imageeffects.h"
#include "kivpixmapview.h"
#include "photoitem.h"
#include "playlist.h"
#include "slideshow.h"
#include "viewphoto.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QScreen>
#include <algorithm>
#include <cstdio>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void waitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    if (files.size() < 2) {
        std::fprintf(stderr, "usage: bench_slideshow FILE FILE...\n");
        return 2;
    }
    PlayList album;
    for (const QString &file : files) {
        const QFileInfo info(file);
        PhotoItem record(info.fileName());
        record.setFileName(info.fileName());
        record.setSourceFolder(info.absolutePath());
        album.addRecord(&record);
    }
    QScreen *screen = QGuiApplication::primaryScreen();
    const QSize size = screen->geometry().size();
    auto *show = new slideshow(screen);
    show->setAlbum(&album);
    show->show();
    waitFor([show] { return !show->isFading() && !show->shownFile().isEmpty(); }, 30000);

    std::vector<double> steps;
    for (int i = 1; i < files.size(); ++i) {
        // On its picture for a second: the next one is prepared meanwhile.
        waitFor([] { return false; }, 1000);
        const QString want = QFileInfo(files.at(i)).absoluteFilePath();
        QElapsedTimer timer;
        timer.start();
        show->next();
        waitFor([show, &want] { return show->shownFile() == want; }, 30000);
        show->pictureWindow()->view()->repaint();
        steps.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::vector<double> floor;
    for (const QString &file : files) {
        QElapsedTimer timer;
        timer.start();
        QImageReader reader(file);
        reader.setScaledSize(ImageEffects::fittedSize(reader.size(), size));
        const QImage image = reader.read();
        floor.push_back(timer.nsecsElapsed() / 1e6);
        if (image.isNull())
            return 1;
    }
    std::printf("screen %dx%d\nnext_ms %.1f\ndecode_ms %.1f\n", size.width(), size.height(), median(steps),
                median(floor));
    delete show;
    return 0;
}
