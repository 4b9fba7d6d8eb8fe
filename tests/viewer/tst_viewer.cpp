#include "kivpixmapview.h"
#include "picturewriter.h"
#include "scriptedprompter.h"
#include "viewphoto.h"

#include <QImageReader>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

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
    void backAsksOnlyAfterChanges();
    void saveFormats();
    void failedSaveKeepsTheChanges();
    void resizeDialogChoice();
    void mngAndGifFiles();

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
    viewer.setFile(m_dir->filePath("g.png"));
    viewer.EffectMiror();  // "Enhance"
    QVERIFY(viewer.isModified());
    QCOMPARE(viewer.view()->currentImage().pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(viewer.view()->currentImage().pixel(1, 0), qRgb(254, 254, 254));
    viewer.setFile(m_dir->filePath("g.png"));
    QVERIFY(!viewer.isModified());
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
    for (int i = 0; i < 3; ++i)
        viewer.slot_zoomin();
    QCOMPARE(viewer.view()->displayImage().size(), QSize(450, 350));
    QCOMPARE(viewer.view()->drawOrigin(), QPoint(0, 0));
    viewer.slot_zoomout();
    QCOMPARE(viewer.view()->displayImage().size(), QSize(400, 300));
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

    // Save as: the display picture, in the format of any known extension.
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

QTEST_MAIN(TestViewer)
#include "tst_viewer.moc"
