#include "kivpixmapview.h"
#include "picturewriter.h"
#include "pixmaplookup.h"
#include "scriptedprompter.h"
#include "viewphoto.h"

#include <QImageReader>
#include <QMovie>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <exiv2/exiv2.hpp>

#include <csignal>
#include <sys/resource.h>

#include "testfiles.h"

namespace {

// Left pixel intensity 10, right 20: normalizing spreads them to 0 and 254, mirroring
// exchanges them.
QImage twoGreys()
{
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(10, 10, 10));
    image.setPixel(1, 0, qRgb(20, 20, 20));
    return image;
}

} // namespace

class TestViewer : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void enhanceNormalizesAndMirorMirrors();
    void zoomWithoutAutosize();
    void fittingInTheView();
    void zoomedFittedPictureMoves();
    void backAsksOnlyAfterChanges();
    void saveFormats();
    void failedSaveKeepsTheChanges();
    void resizeDialogChoice();
    void mngAndGifFiles();
    void savingKeepsThePhotographsMetadata();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
};

void TestViewer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter = ScriptedPrompter();
}

void TestViewer::enhanceNormalizesAndMirorMirrors()
{
    QVERIFY(twoGreys().save(m_dir->filePath("g.png")));
    viewphoto viewer;
    viewer.setPrompter(&m_prompter);
    // The wait dialog's animation (the shipped theme's) is read when it first shows and
    // runs only while it shows.
    PixmapLookup::configure(m_dir->filePath("install"), false);
    QVERIFY(!viewer.waitDialog()->movie());
    viewer.waitDialog()->show();
    QVERIFY(viewer.waitDialog()->movie());
    QCOMPARE(viewer.waitDialog()->movie()->state(), QMovie::Running);
    QVERIFY(viewer.waitDialog()->movie()->frameCount() > 1);
    viewer.waitDialog()->hide();
    QCOMPARE(viewer.waitDialog()->movie()->state(), QMovie::NotRunning);
    viewer.setFile(m_dir->filePath("g.png"));
    viewer.EffectMiror();  // "Enhance"
    QVERIFY(viewer.isModified());
    QCOMPARE(viewer.view()->currentImage().pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(viewer.view()->currentImage().pixel(1, 0), qRgb(254, 254, 254));
    viewer.setFile(m_dir->filePath("g.png"));
    QVERIFY(!viewer.isModified());
    // The first entry of the "Fx !" menu is an effect too, and can be taken back.
    const QImage before = viewer.view()->currentImage();
    viewer.EffectMore(0);
    QVERIFY(viewer.view()->currentImage() != before);
    QVERIFY(viewer.view()->undoLastEffect());
    QCOMPARE(viewer.view()->currentImage(), before);
    viewer.EffectMore(4);  // "Miror" in the "Fx !" menu
    QCOMPARE(viewer.view()->currentImage().pixel(0, 0), qRgb(20, 20, 20));
    QCOMPARE(viewer.view()->currentImage().pixel(1, 0), qRgb(10, 10, 10));
    QVERIFY(!viewer.waitDialog()->isVisible());
}

void TestViewer::zoomWithoutAutosize()
{
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    QVERIFY(picture.save(m_dir->filePath("p.png")));
    viewphoto viewer;
    viewer.resize(800, 600);
    viewer.setFile(m_dir->filePath("p.png"));
    viewer.slot_autoresize();  // off
    QVERIFY(!viewer.view()->autosize());
    // Each step is 50 pixels wider than what is shown, the height keeping 3:2.
    for (int i = 0; i < 3; ++i)
        viewer.slot_zoomin();
    QCOMPARE(viewer.view()->displayImage().size(), QSize(450, 300));
    QCOMPARE(viewer.view()->drawOrigin(), QPoint(0, 0));
    viewer.slot_zoomout();
    QCOMPARE(viewer.view()->displayImage().size(), QSize(400, 267));

    // Ctrl and the wheel zoom in; the wheel alone does not.
    KIVPixmapView *surface = viewer.view();
    viewer.show();
    QWheelEvent plain(QPointF(10, 10), surface->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(surface, &plain);
    QCOMPARE(surface->displayImage().size(), QSize(400, 267));
    QWheelEvent ctrl(QPointF(10, 10), surface->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, 120), Qt::NoButton,
                     Qt::ControlModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(surface, &ctrl);
    QCOMPARE(surface->displayImage().size(), QSize(450, 300));
    // A picture larger than the view is moved by dragging it.
    for (int i = 0; i < 20; ++i)
        viewer.slot_zoomin();
    QVERIFY(surface->displayImage().width() > surface->width());
    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(300, 300));
    QMouseEvent move(QEvent::MouseMove, QPointF(250, 280), surface->mapToGlobal(QPointF(250, 280)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(surface, &move);
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(250, 280));
    QCOMPARE(surface->scrollPosition(), QPoint(50, 20));
}

void TestViewer::fittingInTheView()
{
    KIVPixmapView view;
    view.resize(800, 600);
    view.slotSetPixmap(QPixmap(2000, 1500));
    QCOMPARE(view.displayImage().size(), QSize(800, 600));
    QCOMPARE(view.drawOrigin(), QPoint(0, 0));
    view.slotSetPixmap(QPixmap(600, 2000));
    QCOMPARE(view.displayImage().size(), QSize(180, 600));
    QCOMPARE(view.drawOrigin(), QPoint(400 - 90, 0));
    view.slotSetPixmap(QPixmap(400, 300));
    QCOMPARE(view.displayImage().size(), QSize(400, 300));
    QCOMPARE(view.drawOrigin(), QPoint(200, 150));
}

void TestViewer::zoomedFittedPictureMoves()
{
    // A 2000 x 1500 picture whose every column has its own red value.
    QImage picture(2000, 1500, QImage::Format_RGB32);
    for (int x = 0; x < picture.width(); ++x)
        for (int y = 0; y < picture.height(); ++y)
            picture.setPixel(x, y, qRgb(x % 256, x / 256 * 30, 0));
    KIVPixmapView view;
    view.resize(800, 600);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.slotSetPixmap(QPixmap::fromImage(picture));
    QVERIFY(view.autosize());
    QCOMPARE(view.drawOrigin(), QPoint(0, 0));
    // Zoomed to 1200 x 900: the middle of the picture stays in the middle of the view.
    view.zoomSmooth(400);
    QCOMPARE(view.displayImage().size(), QSize(1200, 900));
    QCOMPARE(view.drawOrigin(), QPoint(-200, -150));
    // Dragging, the arrow keys with Shift, and Up and Down move it, never past an edge.
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(300, 300));
    QMouseEvent move(QEvent::MouseMove, QPointF(250, 280), view.mapToGlobal(QPointF(250, 280)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&view, &move);
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(250, 280));
    QCOMPARE(view.scrollPosition(), QPoint(250, 170));
    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(view.scrollPosition(), QPoint(290, 210));
    for (int i = 0; i < 10; ++i)
        QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
    QCOMPARE(view.scrollPosition(), QPoint(400, 210));
    // What is on screen is the part scrolled to: view column 0 shows shown column 400.
    const QImage screen = view.grab().toImage();
    const QRgb expected = view.displayImage().pixel(400, 210 + 10);
    QCOMPARE(screen.pixel(0, 10), expected);
    for (int i = 0; i < 20; ++i)
        QTest::keyClick(&view, Qt::Key_Up);
    QCOMPARE(view.scrollPosition(), QPoint(400, 0));
}

void TestViewer::backAsksOnlyAfterChanges()
{
    QVERIFY(twoGreys().save(m_dir->filePath("g.png")));
    viewphoto viewer;
    viewer.setPrompter(&m_prompter);
    viewer.setFile(m_dir->filePath("g.png"));
    viewer.show();
    viewer.EffectBlackAndWhite();
    m_prompter.answers << 0;  // Cancel: the changes are dropped
    viewer.closeWithPrompt();
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(m_prompter.messages.last().text, QStringLiteral("Do you want to save photo modification ?"));
    QVERIFY(viewer.isHidden());
    QVERIFY(viewer.view()->currentImage().isNull());

    viewer.setFile(m_dir->filePath("g.png"));
    viewer.show();
    viewer.EffectBlackAndWhite();
    viewer.EffectUndo();  // "Save changes..."
    QVERIFY(!viewer.isModified());
    viewer.closeWithPrompt();
    QCOMPARE(m_prompter.messages.size(), 1);  // no second question
}

void TestViewer::saveFormats()
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(qRgb(200, 50, 50));
    for (const char *name : {"photo.JPG", "photo.jpeg"}) {
        const QString path = m_dir->filePath(QLatin1String(name));
        QVERIFY(picture.save(path, "PNG"));  // a PNG under a JPEG name
        viewphoto viewer;
        viewer.setPrompter(&m_prompter);
        viewer.setFile(path);
        QSignalSpy thumb(&viewer, &viewphoto::updateThumb);
        viewer.EffectBlackAndWhite();
        viewer.EffectUndo();
        QCOMPARE(QImageReader(path).format(), QByteArray("jpeg"));
        QCOMPARE(thumb.count(), 1);
        const QColor c = QImage(path).pixelColor(20, 15);
        QVERIFY(qAbs(c.red() - c.green()) < 6);  // grey now
    }
    QCOMPARE(PictureWriter::formatFor("a.PNG"), QByteArray("PNG"));
    QCOMPARE(PictureWriter::formatFor("a.tiff"), QByteArray());
    QCOMPARE(PictureWriter::formatFor(".png"), QByteArray());
    QCOMPARE(PictureWriter::write(picture, m_dir->filePath("x.tiff")), PictureWriter::Result::UnknownFormat);
    QVERIFY(!QFile::exists(m_dir->filePath("x.tiff")));

    // Save as, in the format of any known extension.
    viewphoto viewer;
    viewer.setPrompter(&m_prompter);
    viewer.resize(800, 600);
    viewer.setFile(m_dir->filePath("photo.JPG"));
    m_prompter.fileAnswers << m_dir->filePath("copy.BMP");
    viewer.slot_saveAs();
    QCOMPARE(QImageReader(m_dir->filePath("copy.BMP")).format(), QByteArray("bmp"));
    m_prompter.fileAnswers << m_dir->filePath("copy.tiff");
    viewer.slot_saveAs();
    QVERIFY(m_prompter.messages.last().text.startsWith("Unable to save this photo."));
}

void TestViewer::failedSaveKeepsTheChanges()
{
    QImage picture(200, 150, QImage::Format_RGB32);
    picture.fill(qRgb(10, 200, 30));
    const QString path = m_dir->filePath("keep.png");
    QVERIFY(picture.save(path));
    const QByteArray before = readAll(path);
    viewphoto viewer;
    viewer.setPrompter(&m_prompter);
    viewer.setFile(path);
    viewer.EffectBlackAndWhite();
    // A full disk: no file may grow past a few bytes.
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    auto handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = old;
    tiny.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &tiny);
    viewer.EffectUndo();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    QVERIFY(viewer.isModified());
    QVERIFY(m_prompter.messages.last().text.startsWith("An error occur during the save..."));
    QCOMPARE(readAll(path), before);
}

void TestViewer::resizeDialogChoice()
{
    QImage picture(3000, 2000, QImage::Format_RGB32);
    picture.fill(Qt::gray);
    const QString path = m_dir->filePath("big.png");
    QVERIFY(picture.save(path));
    viewphoto viewer;
    viewer.setPrompter(&m_prompter);
    viewer.setFile(path);
    m_prompter.dialogResults << QDialog::Accepted;  // the initial choice: 1024
    viewer.EffectResize();
    QCOMPARE(viewer.view()->currentImage().size(), QSize(1024, 682));
    m_prompter.onExec = [](QDialog *dialog) { dialog->findChild<QRadioButton *>("radioButton320")->setChecked(true); };
    m_prompter.dialogResults << QDialog::Accepted;
    viewer.EffectResize();
    QCOMPARE(viewer.view()->currentImage().width(), 320);
    m_prompter.onExec = nullptr;
    viewer.EffectResize();  // Cancel: nothing changes, still modified
    QCOMPARE(viewer.view()->currentImage().width(), 320);
    QVERIFY(viewer.isModified());
}

void TestViewer::mngAndGifFiles()
{
    QImage picture(16, 8, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 255));
    picture.setPixel(3, 3, qRgb(255, 255, 0));
    for (const char *name : {"a.mng", "a.gif", "a.xpm", "a.pnm"}) {
        const QString path = m_dir->filePath(QLatin1String(name));
        QCOMPARE(PictureWriter::write(picture, path), PictureWriter::Result::Written);
        const QImage back(path);
        QVERIFY2(!back.isNull(), name);
        QCOMPARE(back.size(), picture.size());
        QCOMPARE(back.pixel(3, 3), qRgb(255, 255, 0));
    }
    QVERIFY(readAll(m_dir->filePath("a.mng")).startsWith("\x8aMNG\r\n\x1a\n"));
}

void TestViewer::savingKeepsThePhotographsMetadata()
{
    // A camera picture stored on its side (orientation 6), with EXIF and XMP.
    const QString path = m_dir->filePath("camera.jpg");
    QImage picture(1200, 800, QImage::Format_RGB32);
    picture.fill(qRgb(200, 120, 40));
    QVERIFY(picture.save(path, "JPEG"));
    {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData exif;
        exif["Exif.Image.Make"] = "Testmaker";
        exif["Exif.Image.Model"] = "TestCam 9";
        exif["Exif.Image.Orientation"] = static_cast<uint16_t>(6);
        exif["Exif.Photo.DateTimeOriginal"] = "2019:06:01 10:20:30";
        exif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(1200);
        exif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(800);
        Exiv2::XmpData xmp;
        xmp["Xmp.dc.title"] = "lang=x-default Harbour at dawn";
        image->setExifData(exif);
        image->setXmpData(xmp);
        image->writeMetadata();
    }
    viewphoto viewer;
    viewer.setPrompter(&m_prompter);
    viewer.resize(800, 600);  // the picture is shown far smaller than it is
    viewer.show();
    viewer.setFile(path);
    QCOMPARE(viewer.view()->currentImage().size(), QSize(800, 1200));  // shown upright
    QVERIFY(viewer.view()->displayImage().size() != QSize(800, 1200));
    viewer.EffectBlackAndWhite();
    viewer.EffectUndo();

    Exiv2::Image::AutoPtr saved = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    saved->readMetadata();
    const Exiv2::ExifData &exif = saved->exifData();
    auto text = [&exif](const char *key) {
        const auto found = exif.findKey(Exiv2::ExifKey(key));
        return found == exif.end() ? std::string() : found->toString();
    };
    QCOMPARE(text("Exif.Photo.DateTimeOriginal"), std::string("2019:06:01 10:20:30"));
    QCOMPARE(text("Exif.Image.Model"), std::string("TestCam 9"));
    QCOMPARE(text("Exif.Image.Make"), std::string("Testmaker"));
    QCOMPARE(text("Exif.Image.Orientation"), std::string("1"));
    QCOMPARE(text("Exif.Photo.PixelXDimension"), std::string("800"));
    QCOMPARE(text("Exif.Photo.PixelYDimension"), std::string("1200"));
    const auto title = saved->xmpData().findKey(Exiv2::XmpKey("Xmp.dc.title"));
    QVERIFY(title != saved->xmpData().end());
    QVERIFY(QString::fromStdString(title->toString()).contains("Harbour at dawn"));
    // The pixels are stored upright: opened again, the picture stands the same way.
    QCOMPARE(QImageReader(path).size(), QSize(800, 1200));
    viewer.setFile(path);
    QCOMPARE(viewer.view()->currentImage().size(), QSize(800, 1200));

    // Save as: the whole picture at full size, with the same metadata.
    m_prompter.fileAnswers << m_dir->filePath("copy.jpg");
    viewer.slot_saveAs();
    QCOMPARE(QImageReader(m_dir->filePath("copy.jpg")).size(), QSize(800, 1200));
    Exiv2::Image::AutoPtr copy = Exiv2::ImageFactory::open(QFile::encodeName(m_dir->filePath("copy.jpg")).toStdString());
    copy->readMetadata();
    QCOMPARE(copy->exifData().findKey(Exiv2::ExifKey("Exif.Image.Model"))->toString(), std::string("TestCam 9"));

    // An XMP packet the toolkit cannot decode (a property given twice) is kept whole,
    // its orientation set upright.
    const std::string odd =
        "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
        "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
        "<rdf:Description rdf:about='' xmlns:xmp='http://ns.adobe.com/xap/1.0/' "
        "xmlns:tiff='http://ns.adobe.com/tiff/1.0/' xmp:Label='Keep me' tiff:Orientation='6'>"
        "<xmp:Label>Keep me</xmp:Label></rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
    {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        image->xmpPacket() = odd;
        image->writeXmpFromPacket(true);
        image->writeMetadata();
    }
    {
        Exiv2::Image::AutoPtr check = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        check->readMetadata();
        QVERIFY(check->xmpData().empty());  // undecodable, as meant
        QCOMPARE(check->xmpPacket(), odd);
    }
    viewer.setFile(path);
    viewer.EffectBlackAndWhite();
    viewer.EffectUndo();
    Exiv2::Image::AutoPtr kept = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    kept->readMetadata();
    const QString packet = QString::fromStdString(kept->xmpPacket());
    QVERIFY2(packet.contains("xmp:Label='Keep me'") && packet.contains("<xmp:Label>Keep me</xmp:Label>"),
             qPrintable(packet));
    QVERIFY(packet.contains("tiff:Orientation='1'"));
    QCOMPARE(kept->exifData().findKey(Exiv2::ExifKey("Exif.Image.Model"))->toString(), std::string("TestCam 9"));

    // A picture with EXIF alone, and one with XMP alone: each keeps what it has.
    auto roundTrip = [&](const QString &name, bool withExif, bool withXmp) {
        const QString file = m_dir->filePath(name);
        QImage plain(60, 40, QImage::Format_RGB32);
        plain.fill(Qt::darkCyan);
        plain.save(file, "JPEG");
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(file).toStdString());
        image->readMetadata();
        if (withExif) {
            Exiv2::ExifData exif;
            exif["Exif.Image.Model"] = "OnlyExif";
            image->setExifData(exif);
        }
        if (withXmp) {
            Exiv2::XmpData xmp;
            xmp["Xmp.dc.title"] = "lang=x-default Only XMP";
            image->setXmpData(xmp);
        }
        image->writeMetadata();
        viewer.setFile(file);
        viewer.EffectBlackAndWhite();
        viewer.EffectUndo();
        Exiv2::Image::AutoPtr saved = Exiv2::ImageFactory::open(QFile::encodeName(file).toStdString());
        saved->readMetadata();
        return saved;
    };
    auto exifOnly = roundTrip("exif-only.jpg", true, false);
    QCOMPARE(exifOnly->exifData().findKey(Exiv2::ExifKey("Exif.Image.Model"))->toString(), std::string("OnlyExif"));
    auto xmpOnly = roundTrip("xmp-only.jpg", false, true);
    QVERIFY(QString::fromStdString(xmpOnly->xmpPacket()).contains("Only XMP"));
}

QTEST_MAIN(TestViewer)
#include "tst_viewer.moc"
