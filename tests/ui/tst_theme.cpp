#include "gifwriter.h"
#include "pixmaplookup.h"

#include <QBuffer>
#include <QDirIterator>
#include <QMovie>
#include <QRegularExpression>
#include <QtTest>

namespace {

// Every picture the program names.
const char *const kPictureNames[] = {
    "Film-selected.png",
    "Film.png",
    "Photo (default)-selected.png",
    "Photo (default).png",
    "Slide-selected.png",
    "Slide.png",
    "View-edit-external.png",
    "arrow-down.png",
    "arrow-left-up.png",
    "arrow-left.png",
    "back-slideshow.png",
    "back.png",
    "badge-clip.png",
    "badge-important.png",
    "badge-info.png",
    "badge-no.png",
    "badge-ok.png",
    "badge-special.png",
    "badge-urgent.png",
    "big-round-buttons.png",
    "button_cancel.png",
    "button_ok.png",
    "composemail.png",
    "composemailpl.png",
    "copy.png",
    "cut.png",
    "directory-playlist-photo.png",
    "directory-playlist.png",
    "display-menubar.png",
    "drive-mini.png",
    "favorites-large.png",
    "favorites.png",
    "find.png",
    "gohome.png",
    "help.png",
    "import-back.png",
    "kivicon-photo-selected.png",
    "lastplayed.png",
    "library.png",
    "link.png",
    "mini-cd.png",
    "more-tools.png",
    "move_down.png",
    "move_up.png",
    "mydoc.png",
    "myphoto.png",
    "nouserbadge.png",
    "paste.png",
    "play-slideshow-pause.png",
    "play-slideshow.png",
    "playlist-group.png",
    "playlist-photo.png",
    "playlist.png",
    "podium.png",
    "printer-external.png",
    "printer.png",
    "printerpl.png",
    "property-edit.png",
    "rectangle-selected.png",
    "rectangle.png",
    "red_man.PNG",
    "redo.png",
    "rool_add.png",
    "rool_remove.png",
    "rool_update.png",
    "saveas.png",
    "saveaspl.png",
    "shadow-library-basb.png",
    "slideshow.png",
    "slideshowpl.png",
    "splash.png",
    "start-album.png",
    "start-clipboard.png",
    "start-kernel.png",
    "start-ui.png",
    "statistiques.png",
    "traybar-back.png",
    "ui-dialog-left-date.png",
    "ui-dialog-left-mail.png",
    "ui-dialog-left-playlist.png",
    "ui-dialog-left-print.png",
    "ui-dialog-left-resize.png",
    "ui-dialog-right.png",
    "ui-iconview-center-up.png",
    "ui-media-center.png",
    "undo.png",
    "userbadge-toemail.png",
    "userbadge-toprint.png",
    "view-method.png",
    "view.png",
    "viewmag+.png",
    "viewmag-.png",
    "wait.gif",
    "window_fullscreen.png"
};

bool isUniform(const QImage &image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb first = argb.pixel(0, 0);
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            if (argb.pixel(x, y) != first)
                return false;
    return true;
}

QImage resolve(const QString &name)
{
    return PixmapLookup::instance().image(name);
}

} // namespace

class TestTheme : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void everyNameResolves();
    void framesAndTwinsAgree();
    void badgesFitTheirCell();
    void podiumPlacesLieOnThePicture();
    void waitAnimationPlays();
    void everyNameInTheSourcesHasAPicture();
    void gifExactColours();
    void gifQuantizedAndTransparent();
    void gifIndexedKeepsItsTable();
};

void TestTheme::initTestCase()
{
    // An installation directory with nothing in it: only the shipped theme answers.
    PixmapLookup::configure(QStringLiteral("/nonexistent-installation"), false);
}

void TestTheme::everyNameResolves()
{
    QCOMPARE(int(std::size(kPictureNames)), 94);
    for (const char *name : kPictureNames) {
        const QImage image = resolve(QLatin1String(name));
        QVERIFY2(!image.isNull(), name);
        QVERIFY2(!isUniform(image), name);
        QVERIFY2(!PixmapLookup::instance().pixmap(QLatin1String(name)).isNull(), name);
    }
}

void TestTheme::framesAndTwinsAgree()
{
    for (const char *style : {"Photo (default)", "Film", "Slide", "rectangle"}) {
        const QImage plain = resolve(QLatin1String(style) + QStringLiteral(".png"));
        const QImage selected = resolve(QLatin1String(style) + QStringLiteral("-selected.png"));
        QCOMPARE(plain.size(), selected.size());
        // The frame holds the 99 x 73 thumbnail whose bottom-right corner is (108, 93).
        QVERIFY(plain.width() >= 108 && plain.height() >= 93);
        // Behind the title (dark blue text at the top) the frame stays light.
        const QColor title = plain.pixelColor(plain.width() / 2, 8);
        QVERIFY2(title.alpha() == 0 || title.lightness() > 170, style);
    }
}

void TestTheme::badgesFitTheirCell()
{
    const QSize cell(133, 140);
    const struct
    {
        const char *name;
        QPoint at;
    } placed[] = {{"badge-special.png", {107, 0}}, {"badge-ok.png", {107, 0}},     {"badge-important.png", {107, 0}},
                  {"badge-urgent.png", {107, 0}},  {"badge-no.png", {107, 0}},     {"userbadge-toprint.png", {98, 0}},
                  {"userbadge-toemail.png", {98, 0}}, {"badge-info.png", {5, 96}}, {"badge-clip.png", {97, 100}},
                  {"favorites.png", {21, 98}}};
    for (const auto &badge : placed) {
        const QImage image = resolve(QLatin1String(badge.name));
        QVERIFY2(QRect(QPoint(0, 0), cell).contains(QRect(badge.at, image.size())), badge.name);
    }
    QCOMPARE(resolve("favorites.png").size(), QSize(14, 13));
    QCOMPARE(resolve("nouserbadge.png").size(), QSize(24, 24));
}

void TestTheme::podiumPlacesLieOnThePicture()
{
    const QImage podium = resolve("podium.png");
    const QRect picture(QPoint(0, 0), podium.size());
    for (const QPoint &thumb : {QPoint(140, 90), QPoint(270, 130), QPoint(10, 155)}) {
        QVERIFY(picture.contains(QRect(thumb, QSize(99, 73))));
        const QRect nameBox(thumb - QPoint(0, 30), QSize(100, 30));
        QVERIFY(picture.contains(nameBox));
        // The name is dark-blue text: the box must be light.
        QVERIFY(podium.pixelColor(nameBox.center()).lightness() > 180);
    }
    // The splash's four stage places lie on the splash picture.
    const QImage splash = resolve("splash.png");
    QCOMPARE(splash.size(), QSize(368, 222));
    QVERIFY(QRect(0, 0, 368, 222).contains(QRect(270, 139, 76, 69)));
    QCOMPARE(resolve("start-kernel.png").size(), QSize(77, 69));
    QCOMPARE(resolve("start-ui.png").size(), QSize(76, 69));
}

void TestTheme::waitAnimationPlays()
{
    const QString path = PixmapLookup::instance().filePath("wait.gif");
    QVERIFY(!path.isEmpty());
    QMovie movie(path);
    QVERIFY(movie.isValid());
    QVERIFY(movie.frameCount() > 4);
    QVERIFY(movie.jumpToNextFrame());
    const QImage first = movie.currentImage();
    for (int i = 0; i < 3; ++i)
        QVERIFY(movie.jumpToNextFrame());
    const QImage later = movie.currentImage();
    QCOMPARE(first.size(), QSize(32, 32));
    QVERIFY(first != later);
}

void TestTheme::everyNameInTheSourcesHasAPicture()
{
    // Every bare picture name written in the program's sources must resolve (file
    // patterns such as "*.png" and name endings such as "-selected.png" are not names).
    const QRegularExpression literal(
        QStringLiteral("\"([^\"/\\\\*\\n-][^\"/\\\\*\\n]*\\.(?:png|PNG|gif))\""));
    QStringList missing;
    int seen = 0;
    QDirIterator it(QStringLiteral(VELLARO_SOURCE_DIR "/src"), {"*.cpp", "*.h", "*.ui"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        for (const QRegularExpressionMatch &m : literal.globalMatch(text)) {
            ++seen;
            if (PixmapLookup::instance().filePath(m.captured(1)).isEmpty())
                missing << m.captured(1) + QStringLiteral(" in ") + QFileInfo(file.fileName()).fileName();
        }
    }
    QVERIFY(seen > 0);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(", ")));
}

void TestTheme::gifExactColours()
{
    QImage image(5, 3, QImage::Format_RGB32);
    image.fill(qRgb(10, 20, 30));
    image.setPixel(4, 2, qRgb(250, 0, 0));
    image.setPixel(0, 1, qRgb(0, 250, 0));
    const QByteArray gif = GifWriter::encode(image);
    QVERIFY(gif.startsWith("GIF87a"));
    const QImage back = QImage::fromData(gif, "GIF").convertToFormat(QImage::Format_RGB32);
    QCOMPARE(back.size(), image.size());
    QCOMPARE(back, image);
}

void TestTheme::gifQuantizedAndTransparent()
{
    // 64 x 64 with 4096 colours: reduced to 256, every pixel close to its original.
    QImage image(64, 64, QImage::Format_ARGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, qRgba(x * 4, y * 4, 128, 255));
    image.setPixel(63, 63, qRgba(0, 0, 0, 0));  // the last pixel: found although the exact search stops early
    const QByteArray gif = GifWriter::encode(image);
    // Transparency came with the 1989 version: an older header would tell readers to
    // ignore it (an opaque picture keeps the 1987 one).
    QVERIFY(gif.startsWith("GIF89a"));
    const QImage back = QImage::fromData(gif, "GIF").convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(back.size(), image.size());
    QCOMPARE(qAlpha(back.pixel(63, 63)), 0);
    int worst = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            if (x == 63 && y == 63)
                continue;
            const QRgb a = image.pixel(x, y), b = back.pixel(x, y);
            QCOMPARE(qAlpha(b), 255);
            worst = qMax(worst, qAbs(qRed(a) - qRed(b)) + qAbs(qGreen(a) - qGreen(b)) + qAbs(qBlue(a) - qBlue(b)));
        }
    }
    QVERIFY2(worst <= 48, qPrintable(QString::number(worst)));
}

void TestTheme::gifIndexedKeepsItsTable()
{
    QImage image(4, 2, QImage::Format_Indexed8);
    image.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(1, 2, 3)});
    image.fill(2);
    image.setPixel(1, 1, 0);
    image.setPixel(3, 0, 1);
    const QImage back = QImage::fromData(GifWriter::encode(image), "GIF");
    QCOMPARE(back.pixel(1, 1), qRgb(255, 0, 0));
    QCOMPARE(back.pixel(3, 0), qRgb(0, 0, 255));
    QCOMPARE(back.pixel(0, 0), qRgb(1, 2, 3));
    // Two frames of different sizes are refused rather than written wrong.
    QVERIFY(GifWriter::encodeAnimation({image, QImage(3, 3, QImage::Format_RGB32)}, 5).isEmpty());
}

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"
