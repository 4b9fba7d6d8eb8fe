// Pictures coming in: an image another program puts on the clipboard, and scans.
#include "ambriomainwindow.h"
#include "importtraybar.h"
#include "kivviewitem.h"
#include "librarylist.h"
#include "organiserfixture.h"
#include "picturecommands.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "testfiles.h"
#include "thumbsview.h"
#include "xdisplay.h"

#include <QClipboard>
#include <QComboBox>
#include <QProcess>
#include <QImageReader>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

class TestImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void clipboardImageIsPasted();
    void scanIntoTheImportBar();
    void jammedScanIsTold();
    void cancelledScanWritesNothing();
    void feederBatchFromTheWindow();

private:
    QString saneConfig(const QString &name, const QByteArray &extra = QByteArray());
    // SANE reads its configuration once a process: a test of another scanner set-up runs
    // in a process of its own. True in that process (run the checks), false in this one
    // (the child was run and passed).
    bool inChild(const char *function, const QByteArray &extra);
    // An organiser with nothing scanned, scanning from the test scanner.
    AmbrioMainWindow *startScanning();

    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
    OrganiserFixture m_fixture;
};

void TestImport::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter = ScriptedPrompter();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path("settings"));
    PixmapLookup::configure(path("install"), false);
}

void TestImport::cleanup()
{
    m_fixture.reset();
    m_dir.reset();
}

void TestImport::clipboardImageIsPasted()
{
    // On a real X display, with the image put on the clipboard by another program.
    if (!XDisplay::underX("clipboardImageIsPasted"))
        return;
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    // An album of two pictures in a folder of their own.
    QByteArray rows;
    for (int i = 0; i < 2; ++i) {
        QImage picture(40, 30, QImage::Format_RGB32);
        picture.fill(QColor(30 * i, 90, 160));
        writeFile(path("pics/p%1.png").arg(i), QByteArray());
        QVERIFY(picture.save(path("pics/p%1.png").arg(i)));
        rows += "File=Photo|" + path("pics").toUtf8() + QStringLiteral("|p%1.png| | | |1|0|-1|40*30|\r\n").arg(i).toUtf8();
    }
    writeFile(path("install/DataBase/library.db"), "NUMLIB=1\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\n");
    writeFile(path("install/DataBase/db/Trip1.db"),
              "KivDir=Trip1\r\nTitle=Trip\r\nDirty=False\r\nCreationDate=2003-12-31\r\nNumFile=2\r\n" + rows);
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    page->slot_selectLibrary(page->albumList()->storedAlbums().first());
    QTRY_VERIFY(!page->pictures()->isLoading());
    auto *paste = page->findChild<QToolButton *>("toolButtonPaste");
    // The program's own copy: marked, and the clipboard watch does not take it back.
    page->slot_photo_pressed(page->photoView()->items().at(0));
    page->slot_copyItem();
    QTest::qWait(300);
    QVERIFY(page->pictures()->hasCopy());
    const qint64 copyIcon = paste->icon().cacheKey();
    // Another program's image: on the paste button, and the next paste inserts it.
    QImage other(64, 48, QImage::Format_RGB32);
    other.fill(QColor(250, 10, 10));
    QVERIFY(other.save(path("other.png")));
    QCOMPARE(QProcess::execute("xclip", {"-selection", "clipboard", "-t", "image/png", "-i", path("other.png")}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!page->pictures()->hasCopy(), 10000);
    QVERIFY(paste->icon().cacheKey() != copyIcon);
    QCOMPARE(paste->icon().pixmap(16, 16).toImage().pixelColor(8, 8).red(), 250);
    // Named without its type: the chosen entry's is added. Offered in the album's folder.
    m_prompter.fileAnswers << path("pics/from clipboard");
    m_prompter.filterAnswers << "PNG File (*.png)";
    QTest::mouseClick(paste, Qt::LeftButton);
    QCOMPARE(m_prompter.chooserFolders.value(0), path("pics"));
    QTRY_COMPARE(page->photoView()->items().size(), 3);
    const QImage pasted(path("pics/from clipboard.png"));
    QCOMPARE(pasted.size(), QSize(64, 48));
    QCOMPARE(pasted.pixelColor(10, 10), QColor(250, 10, 10));
    // A half-transparent image: kept so in a PNG, put on white in a JPEG.
    QImage clear(40, 30, QImage::Format_ARGB32);
    clear.fill(QColor(0, 0, 255, 128));
    QVERIFY(clear.save(path("clear.png")));
    QCOMPARE(QProcess::execute("xclip", {"-selection", "clipboard", "-t", "image/png", "-i", path("clear.png")}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(PictureCommands::clipboardImage().size() == QSize(40, 30), 10000);
    m_prompter.fileAnswers << path("pics/clear.png") << path("pics/flat.jpg");
    QTest::mouseClick(paste, Qt::LeftButton);
    QTest::mouseClick(paste, Qt::LeftButton);
    QTRY_COMPARE(page->photoView()->items().size(), 5);
    const QColor kept = QImage(path("pics/clear.png")).pixelColor(5, 5);
    QVERIFY2(qAbs(kept.alpha() - 128) <= 2 && kept.blue() > 240, qPrintable(kept.name(QColor::HexArgb)));
    const QColor flat = QImage(path("pics/flat.jpg")).pixelColor(5, 5);
    // Blue at half over white: (127, 127, 255), not (0, 0, 128) over black.
    QVERIFY2(flat.red() > 110 && flat.green() > 110 && flat.blue() > 230, qPrintable(flat.name()));
    // A photograph larger than Qt decodes by default (128 MB of pixels) is taken too.
    QImage large(8000, 6000, QImage::Format_RGB32);
    large.fill(QColor(10, 200, 10));
    QVERIFY(large.save(path("large.png")));
    large = QImage();
    QCOMPARE(QProcess::execute("xclip", {"-selection", "clipboard", "-t", "image/png", "-i", path("large.png")}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(paste->icon().pixmap(16, 16).toImage().pixelColor(8, 8).green(), 200, 20000);
    // A text copied elsewhere is no picture: the paste button no longer shows one.
    const qint64 imageIcon = paste->icon().cacheKey();
    QProcess text;
    text.start("xclip", {"-selection", "clipboard", "-i"});
    text.write("just words");
    text.closeWriteChannel();
    QVERIFY(text.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::clipboard()->text() == "just words", 10000);
    QTRY_VERIFY(paste->icon().cacheKey() != imageIcon);
    QVERIFY(paste->icon().pixmap(16, 16).toImage().pixelColor(8, 8).green() != 200);
}

QString TestImport::saneConfig(const QString &name, const QByteArray &extra)
{
    const QString folder = path(name);
    writeFile(folder + "/dll.conf", "test\n");
    writeFile(folder + "/test.conf", readAll("/etc/sane.d/test.conf") + "\n" + extra);
    return folder;
}

void TestImport::scanIntoTheImportBar()
{
    // A plain album and a dynamic one; a scan the last run left behind.
    QDir().mkpath(path("folder"));
    writeFile(path("install/DataBase/library.db"),
              "NUMLIB=2\r\nLIBRARY=NONE,Photo,Plain,Playlist,Plain1\r\nLIBRARY=NONE,Photo,Folder,DirectoryPlaylist,Folder1\r\n");
    writeFile(path("install/DataBase/db/Plain1.db"),
              "KivDir=Plain1\r\nTitle=Plain\r\nDirty=False\r\nCreationDate=2003-12-31\r\nNumFile=0\r\n");
    writeFile(path("install/DataBase/db/Folder1.dir"), "KivDir=Folder1\r\nFrom=" + path("folder").toUtf8()
                                                          + "\r\nTitle=Folder\r\nDirty=False\r\nCreationDate=2003-12-31"
                                                            "\r\nNumFile=0\r\n");
    QImage leftOver(30, 20, QImage::Format_RGB32);
    leftOver.fill(Qt::yellow);
    QDir().mkpath(path("install/LastImport"));
    QVERIFY(leftOver.save(path("install/LastImport/import00-00-00-0000.bmp"), "BMP"));
    if (!inChild("scanIntoTheImportBar", QByteArray()))
        return;
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    ImportTrayBar *bar = page->importBar();
    QCOMPARE(bar->objectName(), QStringLiteral("ImportBarPhoto"));
    // What the last run scanned and did not copy waits in the bar: nothing is thrown away.
    QCOMPARE(bar->count(), 1);
    QCOMPARE(bar->record(0)->fileName(), QStringLiteral("import00-00-00-0000.bmp"));
    QVERIFY(QFileInfo::exists(path("install/LastImport/import00-00-00-0000.bmp")));

    // Paste To Album with no album open: told so.
    QTest::mouseClick(page->findChild<QPushButton *>("pushButtonPasteToAlbum"), Qt::LeftButton);
    QCOMPARE(m_prompter.messages.takeLast().text, QStringLiteral("You need to select an album before click here.\n"));
    QCOMPARE(bar->count(), 1);

    // The scanner chosen from those SANE finds, remembered in the settings.
    m_prompter.onExec = [](QDialog *dialog) {
        auto *list = dialog->findChild<QListWidget *>("scannerList");
        QTRY_COMPARE(list->count(), 2);
        list->setCurrentRow(1);
    };
    m_prompter.dialogResults << QDialog::Accepted;
    QTest::mouseClick(page->findChild<QPushButton *>("pushButtonSelectDevice"), Qt::LeftButton);
    QCOMPARE(m_fixture.pref->scannerDevice(), QStringLiteral("test:1"));
    m_prompter.onExec = nullptr;

    // A page: a bitmap file in the last-import folder, shown in the bar.
    QTest::mouseClick(page->findChild<QPushButton *>("pushButtonFromDevices"), Qt::LeftButton);
    QCOMPARE(m_prompter.messages.size(), 0);
    QCOMPARE(bar->count(), 2);
    QStringList scanned = QDir(path("install/LastImport")).entryList(QDir::Files, QDir::Name);
    QCOMPARE(scanned.size(), 2);
    scanned.removeOne("import00-00-00-0000.bmp");
    QVERIFY(QRegularExpression("^import\\d\\d-\\d\\d-\\d\\d-\\d{3}0\\.bmp$").match(scanned[0]).hasMatch());
    QCOMPARE(bar->record(1)->picturePath(), path("install/LastImport/") + scanned[0]);
    QVERIFY(!bar->record(1)->thumbnail().isNull());
    QCOMPARE(QImageReader(bar->record(1)->picturePath()).format(), QByteArray("bmp"));
    // A page the command-line tool scans while the window runs shows up too.
    QImage fromTool(40, 30, QImage::Format_RGB32);
    fromTool.fill(Qt::cyan);
    QVERIFY(fromTool.save(path("install/LastImport/import99-00-00-0000.bmp"), "BMP"));
    QTRY_COMPARE(bar->count(), 3);
    QCOMPARE(bar->record(2)->fileName(), QStringLiteral("import99-00-00-0000.bmp"));

    // Into a plain album: refused, the bar as it was.
    PlayList *plain = nullptr, *folder = nullptr;
    for (PlayList *album : page->albumList()->storedAlbums())
        (album->name() == QLatin1String("Plain") ? plain : folder) = album;
    page->slot_selectLibrary(plain);
    QTRY_VERIFY(!page->pictures()->isLoading());
    QTest::mouseClick(page->findChild<QPushButton *>("pushButtonPasteToAlbum"), Qt::LeftButton);
    QCOMPARE(m_prompter.messages.takeLast().text,
             QStringLiteral("Unable to add this photo.\nSelect a Dynamic Album in the AlbumBay first."));
    QCOMPARE(bar->count(), 3);
    // Into a dynamic album: the pictures in its folder and rows, the bar and the folder empty.
    page->slot_selectLibrary(folder);
    QTRY_VERIFY(!page->pictures()->isLoading());
    QTest::mouseClick(page->findChild<QPushButton *>("pushButtonPasteToAlbum"), Qt::LeftButton);
    for (const QString &name : {QStringLiteral("import00-00-00-0000.bmp"), scanned[0], QStringLiteral("import99-00-00-0000.bmp")}) {
        QVERIFY2(QFileInfo::exists(path("folder/") + name), qPrintable(name));
        QVERIFY2(folder->indexOfFile(name) >= 0, qPrintable(name));
    }
    QCOMPARE(QImage(path("folder/import99-00-00-0000.bmp")).pixelColor(5, 5), QColor(Qt::cyan));
    QCOMPARE(bar->count(), 0);
    QCOMPARE(QDir(path("install/LastImport")).entryList(QDir::Files).size(), 0);
    // Nothing more to paste: told so.
    QTest::mouseClick(page->findChild<QPushButton *>("pushButtonPasteToAlbum"), Qt::LeftButton);
    QVERIFY(m_prompter.messages.takeLast().text.startsWith("There is no imported picture to add."));
}

bool TestImport::inChild(const char *function, const QByteArray &extra)
{
    if (XDisplay::isChild())
        return true;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SANE_CONFIG_DIR", saneConfig(QString::fromLatin1(function), extra));
    XDisplay::runChild(environment, QCoreApplication::applicationFilePath(), {QString::fromLatin1(function)});
    return false;
}

AmbrioMainWindow *TestImport::startScanning()
{
    return m_fixture.start(path("install"), &m_prompter);
}

void TestImport::jammedScanIsTold()
{
    if (!inChild("jammedScanIsTold", "read-status-code \"SANE_STATUS_JAMMED\"\n"))
        return;
    AmbrioMainWindow *page = startScanning();
    page->ImportTwain();
    // SANE's own words under "Scanner Error"; nothing in the bar or the folder.
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(m_prompter.messages[0].caption, QStringLiteral("Scanner Error"));
    QCOMPARE(m_prompter.messages[0].icon, Prompter::Icon::Warning);
    QVERIFY2(m_prompter.messages[0].text.startsWith("Document feeder jammed"), qPrintable(m_prompter.messages[0].text));
    QCOMPARE(page->importBar()->count(), 0);
    QCOMPARE(QDir(path("install/LastImport")).entryList(QDir::Files).size(), 0);
}

void TestImport::cancelledScanWritesNothing()
{
    if (!inChild("cancelledScanWritesNothing", "read-delay true\nread-delay-duration 100000\nresolution 600\n"))
        return;
    AmbrioMainWindow *page = startScanning();
    // Cancel as soon as the progress shows.
    bool shown = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, page, [page, &shown, &poll] {
        if (auto *progress = page->findChild<QProgressDialog *>("scan progress"); progress && progress->isVisible()) {
            shown = true;
            poll.stop();
            QTest::mouseClick(progress->findChild<QPushButton *>(), Qt::LeftButton);
        }
    });
    poll.start();
    page->ImportTwain();
    QVERIFY(shown);
    QCOMPARE(m_prompter.messages.size(), 0);
    QCOMPARE(page->importBar()->count(), 0);
    QCOMPARE(QDir(path("install/LastImport")).entryList(QDir::Files).size(), 0);
}

void TestImport::feederBatchFromTheWindow()
{
    if (!inChild("feederBatchFromTheWindow", QByteArray()))
        return;
    AmbrioMainWindow *page = startScanning();
    // The feeder, in colour at 75 dpi, chosen and remembered.
    m_prompter.onExec = [](QDialog *dialog) {
        auto *list = dialog->findChild<QListWidget *>("scannerList");
        QTRY_COMPARE(list->count(), 2);
        list->setCurrentRow(0);
        auto pick = [dialog](const char *name, const QVariant &value) {
            auto *box = dialog->findChild<QComboBox *>(name);
            QVERIFY(box->findData(value) > 0);
            box->setCurrentIndex(box->findData(value));
        };
        pick("scannerSource", "adf");
        pick("scannerMode", "color");
        pick("scannerResolution", 75);
    };
    m_prompter.dialogResults << QDialog::Accepted;
    QTest::mouseClick(page->findChild<QPushButton *>("pushButtonSelectDevice"), Qt::LeftButton);
    m_prompter.onExec = nullptr;
    QTest::mouseClick(page->findChild<QPushButton *>("pushButtonFromDevices"), Qt::LeftButton);
    QCOMPARE(m_prompter.messages.size(), 0);
    // The test scanner's feeder holds ten sheets: ten pages, each a colour bitmap of
    // its 80 x 100 mm page at 75 dpi.
    QCOMPARE(page->importBar()->count(), 10);
    const QStringList files = QDir(path("install/LastImport")).entryList(QDir::Files);
    QCOMPARE(files.size(), 10);
    for (const QString &name : files) {
        QImageReader reader(path("install/LastImport/") + name);
        QCOMPARE(reader.format(), QByteArray("bmp"));
        const QImage page = reader.read();
        QVERIFY2(page.depth() == 32, qPrintable(name));  // 24-bit colour, not a grey palette
        QVERIFY2(qAbs(page.width() - 75 * 80 / 25.4) < 3 && qAbs(page.height() - 75 * 100 / 25.4) < 3,
                 qPrintable(QStringLiteral("%1: %2 x %3").arg(name).arg(page.width()).arg(page.height())));
    }
    // The choice is kept with the settings at close.
    page->close();
    auto store = SettingsStore::open();
    QCOMPARE(store->value("//Vellaro//ScannerSource").toString(), QStringLiteral("adf"));
    QCOMPARE(store->value("//Vellaro//ScannerMode").toString(), QStringLiteral("color"));
    QCOMPARE(store->value("//Vellaro//ScannerResolution").toInt(), 75);
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
