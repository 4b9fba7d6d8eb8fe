#include "ambriomainwindow.h"
#include "kivpixmapview.h"
#include "favoriteswidget.h"
#include "kivviewitem.h"
#include "librarylist.h"
#include "openarguments.h"
#include "organiserfixture.h"
#include "picturecommands.h"
#include "pixmaplookup.h"
#include "playlist.h"
#include "propertytextlabel.h"
#include "scriptedprompter.h"
#include "testfiles.h"
#include "widgetactions.h"
#include "thumbsview.h"
#include "viewphoto.h"

#include <QDirIterator>
#include <QCryptographicHash>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// Pictures and folders named on the command line, as a file manager hands them over.
class TestOpening : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void whatArgumentsOpen();
    void pictureOutsideTheCatalogue();
    void addingKeepsTheTagsFromThenOn();
    void pictureOrFolderOfAStoredAlbum();
    void nothingToShow();
    void commandLine();

private:
    void start();
    void picture(const QString &path, const QColor &colour = Qt::red, const char *format = "JPEG");
    void type(const char *field, const QString &text);
    // Every file below `root`, with a digest of its bytes: what the program wrote.
    static QMap<QString, QByteArray> tree(const QString &root);

    std::unique_ptr<QTemporaryDir> m_dir;
    OrganiserFixture m_fixture;
    ScriptedPrompter m_prompter;
    AmbrioMainWindow *m_page = nullptr;
    QString m_install;
    QString m_db;
    QString m_pics;  // catalogued: a.jpg and b.jpg in Trip, the folder mirrored by "pics"
    QString m_loose;  // never catalogued
};

void TestOpening::picture(const QString &path, const QColor &colour, const char *format)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image(120, 80, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY(image.save(path, format));
}

void TestOpening::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath("settings"));
    m_install = m_dir->filePath("install");
    PixmapLookup::configure(m_install, false);
    m_db = m_install + "/DataBase/db";
    m_pics = m_dir->filePath("pics");
    m_loose = m_dir->filePath("loose");
    for (const char *name : {"a.jpg", "b.jpg", "c.jpg"})
        picture(m_pics + "/" + name);
    picture(m_loose + "/IMG_10.jpg", Qt::red);
    picture(m_loose + "/img_2.JPG", Qt::green);
    picture(m_loose + "/Beach.png", Qt::blue, "PNG");
    writeFile(m_loose + "/notes.txt", "not a picture\n");
    writeFile(m_install + "/DataBase/library.db",
              "NUMLIB=2\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\n"
              "LIBRARY=NONE,Photo,pics,DirectoryPlaylist,Pics1\r\n");
    const QByteArray pics = m_pics.toUtf8();
    writeFile(m_db + "/Trip1.db", "KivDir=Trip1\r\nTitle=Trip\r\nDirty=True\r\nCreationDate=2003-12-31\r\n"
                                  "NumFile=2\r\nFile=Photo|" + pics + "|a.jpg| | | |1|0|-1|120*80|\r\n"
                                  "File=Photo|" + pics + "|b.jpg| | | |1|0|-1|120*80|\r\n");
    writeFile(m_db + "/Pics1.dir", "KivDir=Pics1\r\nFrom=" + pics + "\r\nTitle=pics\r\nDirty=True\r\n"
                                   "CreationDate=2004-02-01\r\nNumFile=0\r\n");
    m_prompter = ScriptedPrompter();
}

void TestOpening::cleanup()
{
    m_fixture.reset();
    m_page = nullptr;
}

void TestOpening::start()
{
    m_page = m_fixture.start(m_install, &m_prompter);
    QVERIFY(QTest::qWaitForWindowExposed(m_page));
}

void TestOpening::type(const char *field, const QString &text)
{
    typeInto(m_page, field, text);
}

QMap<QString, QByteArray> TestOpening::tree(const QString &root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path, QCryptographicHash::hash(readAll(path), QCryptographicHash::Sha1));
    }
    return files;
}

void TestOpening::whatArgumentsOpen()
{
    using OpenArguments::plan;
    const QString L = m_loose + "/";
    // One picture: its folder's pictures by name as a file manager sorts them (2 before
    // 10, case aside), the text file left out, starting at the picture named.
    OpenArguments::Plan one = plan({L + "img_2.JPG"});
    QCOMPARE(one.pictures, QStringList({L + "Beach.png", L + "img_2.JPG", L + "IMG_10.jpg"}));
    QCOMPARE(one.start, 1);
    QCOMPARE(one.title, QStringLiteral("loose"));
    QVERIFY(one.unusable.isEmpty());
    // Named through "..": the same pictures, by their plain paths.
    one = plan({m_pics + "/../loose/IMG_10.jpg"});
    QCOMPARE(one.pictures.value(one.start), L + "IMG_10.jpg");
    QCOMPARE(one.start, 2);

    // A picture whose name does not tell its kind is shown all the same, first; its
    // neighbours keep their order.
    QVERIFY(QFile::copy(L + "Beach.png", L + "scan-0001"));
    one = plan({L + "scan-0001"});
    QCOMPARE(one.pictures, QStringList({L + "scan-0001", L + "Beach.png", L + "img_2.JPG", L + "IMG_10.jpg"}));
    QCOMPARE(one.start, 0);
    QVERIFY(QFile::remove(L + "scan-0001"));

    // A folder: its pictures from the first; hidden files, sub-folders and other files
    // (whose names may end in digits) left out.
    picture(L + ".hidden.jpg");
    picture(L + "deeper/x.jpg");
    writeFile(L + "scan-7", "x");
    writeFile(L + "scan-12", "x");
    OpenArguments::Plan folder = plan({m_loose});
    QCOMPARE(folder.pictures, QStringList({L + "Beach.png", L + "img_2.JPG", L + "IMG_10.jpg"}));
    QCOMPARE(folder.start, 0);
    QCOMPARE(folder.title, QStringLiteral("loose"));

    // Several: in the order given, each once; the title names their one folder, or says
    // they come from several.
    OpenArguments::Plan several = plan({L + "IMG_10.jpg", L + "Beach.png", L + "IMG_10.jpg"});
    QCOMPARE(several.pictures, QStringList({L + "IMG_10.jpg", L + "Beach.png"}));
    QCOMPARE(several.start, 0);
    QCOMPARE(several.title, QStringLiteral("loose"));
    several = plan({m_pics + "/c.jpg", m_loose, m_dir->filePath("gone.jpg"), L + "notes.txt"});
    QCOMPARE(several.pictures,
             QStringList({m_pics + "/c.jpg", L + "Beach.png", L + "img_2.JPG", L + "IMG_10.jpg"}));
    QCOMPARE(several.title, QStringLiteral("Opened pictures"));
    QCOMPARE(several.unusable, QStringList({m_dir->filePath("gone.jpg"), L + "notes.txt"}));

    // Nothing to show: no start.
    QDir().mkpath(m_dir->filePath("empty"));
    const OpenArguments::Plan none = plan({m_dir->filePath("empty"), L + "notes.txt"});
    QCOMPARE(none.start, -1);
    QVERIFY(none.pictures.isEmpty());
    QCOMPARE(none.unusable.size(), 2);
    // A damaged file with a picture's name is still offered: the viewer says it cannot
    // be read, as for any album.
    writeFile(L + "broken.jpg", "no jpeg");
    QVERIFY(OpenArguments::isPicture(L + "broken.jpg"));
    QVERIFY(!OpenArguments::isPicture(L + "notes.txt"));
    QVERIFY(!OpenArguments::isPicture(m_loose));
}

void TestOpening::pictureOutsideTheCatalogue()
{
    start();
    const QMap<QString, QByteArray> catalogue = tree(m_install + "/DataBase");
    const QMap<QString, QByteArray> loose = tree(m_loose);
    const QString albumList = readAll(m_install + "/DataBase/library.db");
    const int albums = m_page->albumList()->topLevelItemCount();

    QVERIFY(m_page->openPaths({m_loose + "/img_2.JPG"}));
    viewphoto *viewer = m_page->viewer();
    QVERIFY(viewer->isVisible());
    QCOMPARE(viewer->fileName(), m_loose + "/img_2.JPG");
    QVERIFY(!viewer->findChild<KIVPixmapView *>()->currentImage().isNull());
    PlayList *held = m_page->heldAlbum();
    QVERIFY(held && held->isHeldInMemory());
    QCOMPARE(m_page->currentAlbum(), held);
    QCOMPARE(m_page->photoView()->items().size(), 3);
    QCOMPARE(m_page->findChild<QLabel *>("textLabelAlbumType")->text(), QStringLiteral("Not in an album"));
    // Its name is the folder's, and cannot be changed: there is no album to rename.
    auto *albumTitle = m_page->findChild<propertyTextLabel *>("propertyTextLabelTitlePl");
    QCOMPARE(albumTitle->text(), QStringLiteral("loose"));
    QVERIFY(!albumTitle->isEditable());
    // In no list: the album list is as it was, with nothing chosen.
    QCOMPARE(m_page->albumList()->topLevelItemCount(), albums);
    QVERIFY(m_page->albumList()->selectedItems().isEmpty());

    // The other pictures of the folder are stepped through with the keys.
    auto *surface = viewer->findChild<KIVPixmapView *>();
    QTest::keyClick(surface, Qt::Key_Right);
    QCOMPARE(viewer->fileName(), m_loose + "/IMG_10.jpg");
    QTest::keyClick(surface, Qt::Key_Right);  // the last has no next
    QCOMPARE(viewer->fileName(), m_loose + "/IMG_10.jpg");
    QTest::keyClick(surface, Qt::Key_Home);
    QCOMPARE(viewer->fileName(), m_loose + "/Beach.png");
    QCOMPARE(qBlue(surface->currentImage().pixel(10, 10)), 255);
    // Back to the thumbnails: every one drawn, from the pictures themselves.
    QTest::keyClick(surface, Qt::Key_Escape);
    QVERIFY(!viewer->isVisible());
    QTRY_VERIFY(std::all_of(m_page->photoView()->items().begin(), m_page->photoView()->items().end(),
                            [](const KivViewItem *item) { return !item->thumbnail().isNull(); }));

    // A tag typed has nowhere to go: the user is told how to keep it, the panel goes
    // back to what the picture had, and no file is written anywhere.
    const int told = int(m_prompter.messages.size());
    type("propertyTextLabelTitle", "Harbour");
    QCOMPARE(int(m_prompter.messages.size()), told + 1);
    QCOMPARE(m_prompter.messages.last().text, PictureCommands::heldPictureMessage());
    QVERIFY(m_page->findChild<propertyTextLabel *>("propertyTextLabelTitle")->text().trimmed().isEmpty());
    // A love given with a key goes the same way.
    QTest::keyClick(m_page->photoView(), Qt::Key_4);
    QCOMPARE(int(m_prompter.messages.size()), told + 2);
    QCOMPARE(m_page->currentItem()->love(), 1);
    QCOMPARE(m_page->hearts()->value(), 1);
    // So does a tag typed for all three chosen at once: each keeps what it had, and so
    // does the panel.
    QTest::keyClick(m_page->photoView(), Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(m_page->photoView()->selectedItems().size(), 3);
    type("propertyTextLabelTitle", "Harbour");
    QCOMPARE(int(m_prompter.messages.size()), told + 3);
    QCOMPARE(m_prompter.messages.last().text, PictureCommands::heldPictureMessage());
    QVERIFY(m_page->findChild<propertyTextLabel *>("propertyTextLabelTitle")->text().trimmed().isEmpty());
    for (const KivViewItem *item : m_page->photoView()->items())
        QVERIFY(item->title().trimmed().isEmpty());
    QTest::mouseClick(m_page->photoView()->viewport(), Qt::LeftButton, {},
                      m_page->photoView()->cellGeometry(0, 0).center());
    QCOMPARE(m_page->photoView()->selectedItems().size(), 1);
    // Deleting or renaming is refused as in a query's results: the files stay.
    QTest::keyClick(m_page->photoView(), Qt::Key_Delete);
    QCOMPARE(m_page->photoView()->items().size(), 3);
    int dialogs = 0;
    m_prompter.onExec = [&dialogs](QDialog *) { ++dialogs; };
    QTest::keyClick(m_page->photoView(), Qt::Key_F2);
    QCOMPARE(dialogs, 0);

    QCOMPARE(tree(m_loose), loose);
    QCOMPARE(tree(m_install + "/DataBase"), catalogue);
    QCOMPARE(readAll(m_install + "/DataBase/library.db"), albumList.toUtf8());
    QVERIFY(!QFileInfo::exists("/Beach.png") && !QFileInfo::exists("/Beach.png.kiv"));

    // A file that is no picture under a picture's name, and one gone since: said, and
    // the viewer shows neither as the picture before.
    writeFile(m_loose + "/broken.jpg", "no jpeg here");
    QVERIFY(m_page->openPaths({m_loose + "/IMG_10.jpg"}));
    QVERIFY(!surface->currentImage().isNull());
    int before = int(m_prompter.messages.size());
    QTest::keyClick(viewer->findChild<KIVPixmapView *>(), Qt::Key_Home);
    QTest::keyClick(viewer->findChild<KIVPixmapView *>(), Qt::Key_Right);
    QCOMPARE(viewer->fileName(), m_loose + "/broken.jpg");
    QVERIFY(viewer->findChild<KIVPixmapView *>()->currentImage().isNull());
    QVERIFY(viewer->findChild<KIVPixmapView *>()->displayPixmap().isNull());
    QCOMPARE(int(m_prompter.messages.size()), before + 1);
    QVERIFY(m_prompter.messages.last().text.startsWith("This picture cannot be shown:\n" + m_loose + "/broken.jpg"));
    QTest::keyClick(viewer->findChild<KIVPixmapView *>(), Qt::Key_Right);
    QVERIFY(QFile::remove(m_loose + "/IMG_10.jpg"));
    QTest::keyClick(viewer->findChild<KIVPixmapView *>(), Qt::Key_Right);
    QVERIFY(m_prompter.messages.last().text.endsWith(m_loose + "/IMG_10.jpg"));
    QVERIFY(viewer->findChild<KIVPixmapView *>()->displayPixmap().isNull());
    picture(m_loose + "/IMG_10.jpg", Qt::red);
    QVERIFY(QFile::remove(m_loose + "/broken.jpg"));
    // A camera's 49-megapixel photograph, past Qt's default allocation limit, is shown.
    {
        QDir().mkpath(m_dir->filePath("big"));
        QImage huge(7000, 7000, QImage::Format_RGB32);
        huge.fill(Qt::darkGreen);
        QVERIFY(huge.save(m_dir->filePath("big/huge.jpg"), "JPEG", 50));
    }
    before = int(m_prompter.messages.size());
    QVERIFY(m_page->openPaths({m_dir->filePath("big/huge.jpg")}));
    QCOMPARE(viewer->findChild<KIVPixmapView *>()->currentImage().size(), QSize(7000, 7000));
    QCOMPARE(int(m_prompter.messages.size()), before);

    // Another album opened, then this one's pictures again: a new album in memory.
    m_page->slot_selectLibrary(m_page->albumList()->storedAlbums().first());
    QVERIFY(m_page->currentAlbum() != held);
    // No picture chosen there yet: F2 renames nothing.
    QCOMPARE(m_page->currentItem(), nullptr);
    QTest::keyClick(m_page->photoView(), Qt::Key_F2);
    QCOMPARE(dialogs, 0);
    // Its thumbnails made and stored first: they are that album's doing.
    QTRY_VERIFY(std::all_of(m_page->photoView()->items().begin(), m_page->photoView()->items().end(),
                            [](const KivViewItem *item) { return !item->thumbnail().isNull(); }));
    QTest::qWait(50);
    const QMap<QString, QByteArray> shown = tree(m_install + "/DataBase");
    QVERIFY(m_page->openPaths({m_loose}));
    QCOMPARE(m_page->viewer()->fileName(), m_loose + "/Beach.png");
    QVERIFY(m_page->heldAlbum() != held);
    QCOMPARE(tree(m_install + "/DataBase"), shown);
}

void TestOpening::addingKeepsTheTagsFromThenOn()
{
    // Dropped on an album of the list, a picture opened from outside is catalogued there,
    // with its thumbnail; tags typed then are kept.
    start();
    QVERIFY(m_page->openPaths({m_loose + "/Beach.png"}));
    QTest::keyClick(m_page->viewer()->findChild<KIVPixmapView *>(), Qt::Key_Escape);
    libraryList *list = m_page->albumList();
    PlayList *trip = nullptr;
    for (PlayList *album : list->storedAlbums())
        trip = album->name() == "Trip" ? album : trip;
    QVERIFY(trip);
    QVERIFY(dropFilesOn(list, trip, {m_loose + "/Beach.png"}));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|" + m_loose.toUtf8() + "|Beach.png|"));
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|Beach.png| | | |1|0|-1|120*80|"));

    // Opened again from outside, the picture is now Trip's: tagging it is kept.
    QVERIFY(m_page->openPaths({m_loose + "/Beach.png"}));
    QCOMPARE(m_page->currentAlbum(), trip);
    QTest::keyClick(m_page->viewer()->findChild<KIVPixmapView *>(), Qt::Key_Escape);
    type("propertyTextLabelTitle", "Harbour");
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|Beach.png|Harbour|"));
}

void TestOpening::pictureOrFolderOfAStoredAlbum()
{
    start();
    libraryList *list = m_page->albumList();
    PlayList *trip = nullptr, *pics = nullptr;
    for (PlayList *album : list->storedAlbums()) {
        trip = album->name() == "Trip" ? album : trip;
        pics = album->name() == "pics" ? album : pics;
    }
    QVERIFY(trip && pics);
    // A picture Trip holds opens Trip, chosen in the list, at that picture; the view
    // is counted in Trip's row as for any picture opened.
    QVERIFY(m_page->openPaths({m_pics + "/b.jpg"}));
    QCOMPARE(m_page->currentAlbum(), trip);
    QCOMPARE(list->currentItem(), trip);
    QCOMPARE(list->selectedItems(), QList<QTreeWidgetItem *>({trip}));
    QCOMPARE(m_page->viewer()->fileName(), m_pics + "/b.jpg");
    QCOMPARE(m_page->heldAlbum(), nullptr);
    QVERIFY(readAll(m_db + "/Trip1.db").contains("|b.jpg| | | |1|1|"));
    // Reached through a link to its folder: the same album.
    QVERIFY(QFile::link(m_pics, m_dir->filePath("link")));
    QVERIFY(m_page->openPaths({m_dir->filePath("link") + "/a.jpg"}));
    QCOMPARE(m_page->currentAlbum(), trip);
    QCOMPARE(m_page->viewer()->fileName(), m_pics + "/a.jpg");
    // c.jpg is in no plain album, but in the folder "pics" mirrors: the folder's album.
    QVERIFY(m_page->openPaths({m_pics + "/c.jpg"}));
    QCOMPARE(m_page->currentAlbum(), pics);
    QCOMPARE(m_page->viewer()->fileName(), m_pics + "/c.jpg");
    // The folder itself: its album, at its first picture.
    QVERIFY(m_page->openPaths({m_pics + "/"}));
    QCOMPARE(m_page->currentAlbum(), pics);
    QCOMPARE(list->currentItem(), pics);
    QCOMPARE(m_page->viewer()->fileName(), m_pics + "/a.jpg");
    QCOMPARE(m_page->heldAlbum(), nullptr);
}

void TestOpening::nothingToShow()
{
    start();
    const QMap<QString, QByteArray> catalogue = tree(m_install + "/DataBase");
    QDir().mkpath(m_dir->filePath("empty"));
    QVERIFY(!m_page->openPaths({m_dir->filePath("gone.jpg"), m_dir->filePath("empty")}));
    QCOMPARE(m_prompter.messages.size(), 1);
    QVERIFY(m_prompter.messages.first().text.contains(m_dir->filePath("gone.jpg")));
    QVERIFY(m_prompter.messages.first().text.contains(m_dir->filePath("empty")));
    QVERIFY(!m_page->viewer()->isVisible());
    QCOMPARE(m_page->currentAlbum(), nullptr);
    QCOMPARE(tree(m_install + "/DataBase"), catalogue);
    // One usable among the unusable: the rest is told, the picture shown.
    QVERIFY(m_page->openPaths({m_loose + "/notes.txt", m_loose + "/IMG_10.jpg"}));
    QCOMPARE(m_prompter.messages.size(), 2);
    QCOMPARE(m_page->viewer()->fileName(), m_loose + "/IMG_10.jpg");
    QVERIFY(m_page->openPaths({}) == false);
}

void TestOpening::commandLine()
{
    // The program as a user's session starts it: its own home, settings and catalogue.
    auto prepare = [this](QProcess &program) {
        QDir(m_dir->path()).mkpath("home/.config/Halvarin");
        QSettings conf(m_dir->filePath("home/.config/Halvarin/Vellaro.conf"), QSettings::IniFormat);
        conf.setValue("Vellaro/FirstStartup", false);
        conf.setValue("Vellaro/PATH_INSTALL", m_install);
        conf.sync();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", m_dir->filePath("home"));
        env.insert("XDG_CONFIG_HOME", m_dir->filePath("home/.config"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_LOGGING_RULES", "vellaro.app.debug=true");
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(m_loose);
    };
    auto run = [&prepare](const QStringList &args, int *code, QByteArray *out, QByteArray *err) {
        QProcess program;
        prepare(program);
        program.start(QStringLiteral(VELLARO_EXE), args);
        QVERIFY(program.waitForFinished(90000));
        *code = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
        *out = program.readAllStandardOutput();
        *err = program.readAllStandardError();
    };
    int code = -1;
    QByteArray out, err;
    run({"--version"}, &code, &out, &err);
    QCOMPARE(code, 0);
    QCOMPARE(out, QByteArray("vellaro 1.0\n"));
    run({"--help"}, &code, &out, &err);
    QCOMPARE(code, 0);
    QVERIFY(out.startsWith("usage: vellaro [--exit-when-shown] [PICTURE | FOLDER]...\n"));
    run({"--colour", m_loose + "/IMG_10.jpg"}, &code, &out, &err);
    QCOMPARE(code, 2);
    QVERIFY(err.contains("unknown option --colour"));
    QVERIFY(out.isEmpty());

    // The whole program with a picture: the viewer opens on it before the first paint,
    // and nothing is catalogued. Qt's own options are Qt's, not pictures.
    const QMap<QString, QByteArray> catalogue = tree(m_db);
    run({"-platform", "offscreen", "--exit-when-shown", m_loose + "/IMG_10.jpg"}, &code, &out, &err);
    QCOMPARE(code, 0);
    QVERIFY2(err.contains(QByteArray("viewing \"") + m_loose.toUtf8() + "/IMG_10.jpg\" of \"loose\" (held in memory)"),
             err.constData());
    QCOMPARE(tree(m_db), catalogue);
    // Without --exit-when-shown the window stays once the picture is shown.
    {
        QProcess program;
        prepare(program);
        program.start(QStringLiteral(VELLARO_EXE), {m_loose + "/IMG_10.jpg"});
        QTRY_VERIFY_WITH_TIMEOUT(program.readAllStandardError().contains("(held in memory)")
                                     || program.state() != QProcess::Running,
                                 90000);
        QTest::qWait(1500);
        QCOMPARE(program.state(), QProcess::Running);
        program.kill();
        program.waitForFinished();
    }
    // A name starting with "-" after "--" is a picture.
    QVERIFY(QFile::copy(m_loose + "/Beach.png", m_loose + "/-dash.png"));
    run({"--exit-when-shown", "--", "-dash.png"}, &code, &out, &err);
    QCOMPARE(code, 0);
    QVERIFY2(err.contains("-dash.png\" of \"loose\" (held in memory)"), err.constData());
}

QTEST_MAIN(TestOpening)
#include "tst_opening.moc"
