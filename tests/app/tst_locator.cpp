// The locator on made-up folder trees: which folders are picture folders, the walk's
// order, skips and links, a stop that leaves nothing behind, the albums made of what it
// finds, its dialog, and `vellaro-cli locate` as a process.
#include "ambriomainwindow.h"
#include "directoryplaylist.h"
#include "cataloguelock.h"
#include "clirun.h"
#include "fulldisk.h"
#include "librarylist.h"
#include "locator.h"
#include "locatordialog.h"
#include "locatorwalk.h"
#include "namelist.h"
#include "organiserfixture.h"
#include "pixmaplookup.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "testfiles.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

void makeJpeg(const QString &path, QSize size)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(QColor(90, 140, 200));
    QVERIFY(picture.save(path, "JPEG"));
}

// Counts the folders handed over, as the organiser page receives them.
class Receiver : public QObject
{
public:
    QStringList folders;

protected:
    void customEvent(QEvent *event) override
    {
        if (event->type() == LocatorEvent::FolderFound)
            folders << static_cast<LocatorEvent *>(event)->folder();
    }
};

} // namespace

class TestLocator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void whichFoldersQualify();
    void walkOrderSkipsAndLinks();
    void stopPostsNothingAfterwards();
    void foundFoldersBecomeAlbums();
    void dialogStartsStopsAndStores();
    void commandLine();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    // root/: a/ (none), a/deep (picture), B (picture), B/inner (picture), .hidden,
    // skip/ and skip/below, Vellaro/ and Vellaro/sub (pictures), and links back up.
    QString makeTree();
    // `count` picture folders below `root`, one picture each (hard links of one file).
    void manyFolders(const QString &root, int count);
    QStringList walked(const QStringList &roots, const QStringList &skips = {});
    QStringList albumNames() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompter m_prompter;
    OrganiserFixture m_fixture;
    QByteArray m_home;
};

void TestLocator::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_prompter = ScriptedPrompter();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path("settings"));
    PixmapLookup::configure(path("install"), false);
    m_home = qgetenv("HOME");
}

void TestLocator::cleanup()
{
    m_fixture.reset();
    qputenv("HOME", m_home);
    m_dir.reset();
}

QString TestLocator::makeTree()
{
    const QString root = path("root");
    makeJpeg(root + "/a/deep/IMG_1.jpg", {800, 600});
    makeJpeg(root + "/B/photo.JPG", {640, 480});
    makeJpeg(root + "/B/inner/x.jpeg", {1024, 768});
    makeJpeg(root + "/.hidden/h.jpg", {800, 600});
    makeJpeg(root + "/skip/s.jpg", {800, 600});
    makeJpeg(root + "/skip/below/s.jpg", {800, 600});
    makeJpeg(root + "/Vellaro/v.jpg", {800, 600});
    makeJpeg(root + "/Vellaro/sub/v.jpg", {800, 600});
    QFile::link(root, root + "/a/loop");
    QFile::link(root + "/B", root + "/link");
    return root;
}

void TestLocator::manyFolders(const QString &root, int count)
{
    const QString first = root + "/f0000/p.jpg";
    makeJpeg(first, {640, 480});
    for (int i = 1; i < count; ++i) {
        const QString folder = root + QStringLiteral("/f%1").arg(i, 4, 10, QLatin1Char('0'));
        QDir().mkpath(folder);
        QCOMPARE(::link(QFile::encodeName(first).constData(), QFile::encodeName(folder + "/p.jpg").constData()), 0);
    }
}

QStringList TestLocator::walked(const QStringList &roots, const QStringList &skips)
{
    QStringList found;
    const std::atomic_bool never{false};
    LocatorWalk::walk(roots, skips, [&found](const QString &folder) {
        found << folder;
        return true;
    }, never);
    return found;
}

QStringList TestLocator::albumNames() const
{
    QStringList names;
    for (PlayList *album : m_fixture.page->albumList()->storedAlbums())
        names << album->name();
    return names;
}

void TestLocator::whichFoldersQualify()
{
    using LocatorWalk::isPictureFolder;
    // A JPEG of 640 x 480 or more, whatever the case of its extension.
    makeJpeg(path("big/IMG_0001.JPG"), {640, 480});
    QVERIFY(isPictureFolder(path("big")));
    makeJpeg(path("narrow/a.jpg"), {639, 480});
    QVERIFY(!isPictureFolder(path("narrow")));
    makeJpeg(path("low/a.jpg"), {640, 479});
    QVERIFY(!isPictureFolder(path("low")));
    // Any picture of the size will do, not only the first one tried.
    makeJpeg(path("mixed/a.jpg"), {32, 32});
    makeJpeg(path("mixed/b.jpg"), {1600, 1200});
    QVERIFY(isPictureFolder(path("mixed")));
    // ".jpeg" is a JPEG too.
    makeJpeg(path("long/a.JPEG"), {640, 480});
    QVERIFY(isPictureFolder(path("long")));
    // A name that holds ".jpg" is tried, and counts if it reads as such a picture.
    makeJpeg(path("named/x.jpg.txt"), {640, 480});
    QVERIFY(isPictureFolder(path("named")));
    writeFile(path("text/x.jpg.txt"), "not a picture at all");
    QVERIFY(!isPictureFolder(path("text")));
    // A name without ".jpg" is not tried, whatever it holds.
    QImage large(1000, 800, QImage::Format_RGB32);
    large.fill(Qt::red);
    QDir().mkpath(path("png"));
    QVERIFY(large.save(path("png/x.png"), "PNG"));
    QVERIFY(!isPictureFolder(path("png")));
    // "Vellaro" anywhere in the path (with its case) never qualifies.
    makeJpeg(path("Vellaro/in/a.jpg"), {800, 600});
    makeJpeg(path("MyVellaroPics/a.jpg"), {800, 600});
    makeJpeg(path("vellaro/a.jpg"), {800, 600});
    QVERIFY(!isPictureFolder(path("Vellaro/in")));
    QVERIFY(!isPictureFolder(path("MyVellaroPics")));
    QVERIFY(isPictureFolder(path("vellaro")));
    // A pipe named like a picture is never read (its read would never end); a folder
    // named like one is no picture; a folder that is not there does not qualify.
    QDir().mkpath(path("pipe"));
    QCOMPARE(mkfifo(QFile::encodeName(path("pipe/wait.jpg")).constData(), 0600), 0);
    QDir().mkpath(path("pipe/folder.jpg"));
    QVERIFY(!isPictureFolder(path("pipe")));
    QVERIFY(!isPictureFolder(path("gone")));
    // File systems never walked, whatever they hold; and those that are.
    QVERIFY(LocatorWalk::isPseudoFileSystem("/proc"));
    QVERIFY(LocatorWalk::isPseudoFileSystem("/sys"));
    QVERIFY(LocatorWalk::isPseudoFileSystem(QFile::encodeName(path("not there"))));
    QVERIFY(!LocatorWalk::isPseudoFileSystem(QFile::encodeName(path("big"))));
    // A link to a picture is read through.
    QDir().mkpath(path("linked"));
    QVERIFY(QFile::link(path("big/IMG_0001.JPG"), path("linked/l.jpg")));
    QVERIFY(isPictureFolder(path("linked")));
}

void TestLocator::walkOrderSkipsAndLinks()
{
    const QString root = makeTree();
    // Depth first, sub-folders in name order whatever their case; hidden folders,
    // "Vellaro" and everything below it, and links (a loop back up included) give nothing.
    QCOMPARE(walked({root}, {root + "/skip"}), (QStringList{root + "/a/deep", root + "/B", root + "/B/inner"}));
    // Without the skip, the skipped folder and the one below it are found.
    QCOMPARE(walked({root}).mid(3), (QStringList{root + "/skip", root + "/skip/below"}));
    // A root that holds pictures is found itself; a trailing "/" changes nothing; a root
    // that does not exist, or is skipped, gives nothing.
    QCOMPARE(walked({root + "/B/"}), (QStringList{root + "/B", root + "/B/inner"}));
    QCOMPARE(walked({path("nowhere"), root + "/B"}, {root + "/B/inner"}), QStringList{root + "/B"});
    QVERIFY(walked({root}, {root}).isEmpty());
    // A pseudo file system mounted below a root is not entered: from "/", with every
    // other top folder skipped, /proc and /sys give nothing and are not walked.
    QStringList others;
    for (const QString &top : QDir("/").entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (top != QLatin1String("proc") && top != QLatin1String("sys"))
            others << "/" + top;
    }
    LocatorWalk::Progress progress;
    const std::atomic_bool keepGoing{false};
    QStringList fromRoot;
    LocatorWalk::walk({"/"}, others, [&fromRoot](const QString &folder) {
        fromRoot << folder;
        return true;
    }, keepGoing, &progress);
    QVERIFY(fromRoot.isEmpty());
    QCOMPARE(progress.folders.load(), 1);
    // A walk is stopped by its caller's answer.
    QStringList first;
    const std::atomic_bool never{false};
    LocatorWalk::walk({root}, {}, [&first](const QString &folder) {
        first << folder;
        return false;
    }, never);
    QCOMPARE(first, QStringList{root + "/a/deep"});
}

void TestLocator::stopPostsNothingAfterwards()
{
    const QString root = path("many");
    manyFolders(root, 300);
    int cutShort = 0;
    for (int run = 0; run < 40; ++run) {
        Receiver receiver;
        LocatorThread thread;
        thread.setReceiver(&receiver);
        thread.setRoots({root});
        thread.start();
        if (run % 4)
            QThread::usleep(run * 150);
        thread.stop();
        const int posted = thread.foldersFound();
        QVERIFY(thread.wait(20000));
        QCoreApplication::sendPostedEvents(&receiver);
        // What was handed over is exactly what had been posted when the stop returned.
        QCOMPARE(thread.foldersFound(), posted);
        QCOMPARE(receiver.folders.size(), posted);
        cutShort += posted < 300;
    }
    QVERIFY(cutShort > 0);
    // Left alone, it finds them all, in order.
    Receiver receiver;
    LocatorThread thread;
    thread.setReceiver(&receiver);
    thread.setRoots({root});
    thread.start();
    QVERIFY(thread.wait(60000));
    QCoreApplication::sendPostedEvents(&receiver);
    QCOMPARE(receiver.folders.size(), 300);
    QCOMPARE(receiver.folders.last(), root + "/f0299");
}

void TestLocator::foundFoldersBecomeAlbums()
{
    const QString root = path("photos");
    makeJpeg(root + "/Summer/s.jpg", {800, 600});
    makeJpeg(root + "/Summer/s2.jpg", {80, 60});
    makeJpeg(root + "/Summer/Day1/d.jpg", {800, 600});
    QDir().mkpath(root + "/Docs");
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    const int before = albumNames().size();
    page->startLocator({root});
    QTRY_VERIFY(!page->isLocating());
    QTRY_COMPARE(albumNames().size(), before + 2);
    QCOMPARE(albumNames().mid(before), (QStringList{"Summer", "Day1"}));
    PlayList *summer = page->albumList()->storedAlbums().at(before);
    auto *dynamic = dynamic_cast<DirectoryPlaylist *>(summer);
    QVERIFY(dynamic);
    QCOMPARE(dynamic->from(), root + "/Summer");
    QCOMPARE(summer->rowCount(), 2);
    QCOMPARE(summer->background(1).color(), QColor(220, 220, 220));
    // Stored and indexed; not opened over what the user was looking at.
    QVERIFY(QFileInfo::exists(path("install/DataBase/db/") + summer->kivDir() + ".dir"));
    QVERIFY(readAll(path("install/DataBase/library.db")).contains(summer->kivDir().toUtf8()));
    QCOMPARE(page->currentAlbum(), nullptr);
    QCOMPARE(m_prompter.messages.size(), 0);

    // Found again, or through a link: no second album.
    QVERIFY(QFile::link(root, path("link to photos")));
    page->startLocator({root});
    QTRY_VERIFY(!page->isLocating() && !page->isAddingFoundFolders());
    page->startLocator({path("link to photos")});
    QTRY_VERIFY(!page->isLocating() && !page->isAddingFoundFolders());
    page->MediaDetectorAdd(path("link to photos/Summer"));
    // Nothing for a folder whose path could not stand in an album's rows ("|" in it).
    makeJpeg(root + "/we|ird/pics/p.jpg", {800, 600});
    page->MediaDetectorAdd(root + "/we|ird/pics");
    // Nothing for a blank path or a folder that is gone.
    page->MediaDetectorAdd(QString());
    page->MediaDetectorAdd(QStringLiteral(" "));
    page->MediaDetectorAdd(path("gone"));
    QTRY_VERIFY(!page->isAddingFoundFolders());
    QCOMPARE(albumNames().size(), before + 2);

    // Two folders of one name found in the same moment, and a name with a backslash:
    // each its own album, under an id that stays in the catalogue.
    makeJpeg(root + "/2023/Winter/w.jpg", {800, 600});
    makeJpeg(root + "/2024/Winter/w.jpg", {800, 600});
    makeJpeg(root + "/Back\\slash/b.jpg", {800, 600});
    page->MediaDetectorAdd(root + "/2023/Winter");
    page->MediaDetectorAdd(root + "/2024/Winter");
    page->MediaDetectorAdd(root + "/Back\\slash");
    QTRY_VERIFY(!page->isAddingFoundFolders());
    QCOMPARE(albumNames().mid(before + 2), (QStringList{"Winter", "Winter", "Back\\slash"}));
    QSet<QString> ids;
    for (PlayList *album : page->albumList()->storedAlbums()) {
        QVERIFY2(PlayList::isSafeKivDir(album->kivDir()), qPrintable(album->kivDir()));
        QVERIFY(QFileInfo::exists(path("install/DataBase/db/") + album->kivDir() + ".dir"));
        ids << album->kivDir();
    }
    QCOMPARE(ids.size(), before + 5);
    QCOMPARE(m_prompter.messages.size(), 0);

    // A stop drops what was found and not yet made an album: nothing appears after it.
    for (int i = 0; i < 30; ++i)
        makeJpeg(root + QStringLiteral("/later/%1/p.jpg").arg(i), {800, 600});
    for (int i = 0; i < 30; ++i)
        page->MediaDetectorAdd(root + QStringLiteral("/later/%1").arg(i));
    QVERIFY(page->isAddingFoundFolders());
    // The dialog counts them as the search, and its button stops them too.
    QString pendingStatus, pendingButton;
    m_prompter.onExec = [&](QDialog *dialog) {
        auto *button = dialog->findChild<QPushButton *>("buttonCancel");
        pendingButton = button->text();
        pendingStatus = dialog->findChild<QLabel *>("textLabelStatus")->text();
        QTest::mouseClick(button, Qt::LeftButton);
    };
    m_prompter.dialogResults << QDialog::Rejected;
    page->showLocator();
    m_prompter.onExec = nullptr;
    QCOMPARE(pendingButton, QStringLiteral("Stop Locator"));
    QVERIFY2(pendingStatus.startsWith("Making the albums: ") && pendingStatus.endsWith(", 30 still to add."),
             qPrintable(pendingStatus));
    QVERIFY(!page->isAddingFoundFolders());
    QTest::qWait(100);
    QCOMPARE(albumNames().size(), before + 5);

    // A folder the user put on the skip list, and what is below it, stays out even when
    // a walk started earlier still hands it over.
    makeJpeg(root + "/Hidden/h.jpg", {800, 600});
    makeJpeg(root + "/Hidden/deeper/h.jpg", {800, 600});
    m_prompter.fileAnswers << root + "/Hidden";
    m_prompter.onExec = [](QDialog *dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton *>("pushButton7"), Qt::LeftButton);
    };
    m_prompter.dialogResults << QDialog::Accepted;
    page->showLocator();
    m_prompter.onExec = nullptr;
    page->MediaDetectorAdd(root + "/Hidden");
    page->MediaDetectorAdd(root + "/Hidden/deeper");
    QTRY_VERIFY(!page->isAddingFoundFolders());
    QCOMPARE(albumNames().size(), before + 5);

    // A catalogue that cannot be written: one message, no album, the walk stopped.
    makeJpeg(root + "/Full/f.jpg", {800, 600});
    const QByteArray index = readAll(path("install/DataBase/library.db"));
    makeJpeg(root + "/Full2/f.jpg", {800, 600});
    {
        FullDisk full(16);
        page->MediaDetectorAdd(root + "/Full");
        page->MediaDetectorAdd(root + "/Full2");
        QTRY_VERIFY(!page->isAddingFoundFolders());
    }
    QCOMPARE(m_prompter.messages.size(), 1);
    QCOMPARE(m_prompter.messages[0].icon, Prompter::Icon::Warning);
    QCOMPARE(albumNames().size(), before + 5);
    QCOMPARE(readAll(path("install/DataBase/library.db")), index);
    QCOMPARE(QDir(path("install/DataBase/db")).entryList({"Full*"}, QDir::AllEntries).size(), 0);
}

void TestLocator::dialogStartsStopsAndStores()
{
    // A home of many picture folders, so that a search lasts a while.
    const QString home = path("home");
    manyFolders(home + "/Pictures", 1500);
    qputenv("HOME", QFile::encodeName(home));
    AmbrioMainWindow *page = m_fixture.start(path("install"), &m_prompter);
    QVERIFY(NameList::save(path("install/DataBase/hidedir.list"), {"/z/skip", "/a/skip"}));

    // At rest: "Start Locator"; the list sorted; add, remove, the check box; OK keeps the
    // list and the setting, and starts nothing.
    m_prompter.fileAnswers << "/m/skip";
    m_prompter.onExec = [](QDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Locator"));
        auto *button = dialog->findChild<QPushButton *>("buttonCancel");
        QCOMPARE(button->text(), QStringLiteral("Start Locator"));
        QCOMPARE(dialog->findChild<QLabel *>("textLabelStatus")->text(), QStringLiteral("The Locator is not searching."));
        auto *list = dialog->findChild<QListWidget *>("listBoxHide");
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("/a/skip"));
        QTest::mouseClick(dialog->findChild<QPushButton *>("pushButton7"), Qt::LeftButton);
        list->setCurrentRow(1);  // "/z/skip"
        QTest::mouseClick(dialog->findChild<QPushButton *>("pushButtonRemovePath"), Qt::LeftButton);
        auto *box = dialog->findChild<QCheckBox *>("checkBoxStartUp");
        QVERIFY(!box->isChecked());
        box->setChecked(true);
    };
    m_prompter.dialogResults << QDialog::Accepted;
    page->showLocator();
    QStringList stored;
    QVERIFY(NameList::load(path("install/DataBase/hidedir.list"), stored));
    QCOMPARE(stored, (QStringList{"/a/skip", "/m/skip"}));
    QVERIFY(m_fixture.pref->startLocator());
    QVERIFY(!page->locator());

    // Escape leaves the list and the check box as they were.
    m_prompter.onExec = [](QDialog *dialog) {
        dialog->findChild<QCheckBox *>("checkBoxStartUp")->setChecked(false);
        dialog->findChild<QListWidget *>("listBoxHide")->clear();
    };
    m_prompter.dialogResults << QDialog::Rejected;
    page->showLocator();
    QVERIFY(m_fixture.pref->startLocator());
    QVERIFY(NameList::load(path("install/DataBase/hidedir.list"), stored));
    QCOMPARE(stored.size(), 2);
    QVERIFY(!page->locator());

    // The start/stop button works in place: a search of the home folder starts, the
    // dialog shows it and its count, and the button stops it; nothing more arrives.
    QString running, status;
    m_prompter.onExec = [&](QDialog *dialog) {
        auto *button = dialog->findChild<QPushButton *>("buttonCancel");
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(page->isLocating());
        running = button->text();
        QTRY_VERIFY(dialog->findChild<QLabel *>("textLabelStatus")->text().contains(" picture folders found in "));
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!page->isLocating());
        QCOMPARE(button->text(), QStringLiteral("Start Locator"));
        QTRY_VERIFY(!page->locator());
        auto *label = dialog->findChild<QLabel *>("textLabelStatus");
        QTRY_VERIFY(label->text().startsWith("The last search was stopped: "));
        status = label->text();
    };
    m_prompter.dialogResults << QDialog::Rejected;
    page->showLocator();
    QCOMPARE(running, QStringLiteral("Stop Locator"));
    QVERIFY2(status.startsWith("The last search was stopped: "), qPrintable(status));
    const int albums = albumNames().size();
    QVERIFY(albums < 1500);
    QTest::qWait(300);
    QCOMPARE(albumNames().size(), albums);

    // The setting reaches the settings file when the window closes.
    m_fixture.pref->setStartLocator(true);
    page->close();
    QVERIFY(SettingsStore::open()->value("//Vellaro//StartLocator").toBool());
}

void TestLocator::commandLine()
{
    const QString root = makeTree();
    const QString install = path("install");
    auto cli = [&](const QStringList &args) { return runCli(path("clihome"), install, args); };
    // Printed as found, in walk order; the same as JSON.
    CliOutput out = cli({"locate", root, "--skip", root + "/skip"});
    QCOMPARE(out.code, 0);
    QCOMPARE(out.out, (root + "/a/deep\n" + root + "/B\n" + root + "/B/inner\n").toUtf8());
    out = cli({"--json", "locate", "--skip", root + "/skip", "--skip", root + "/a", root});
    QCOMPARE(out.code, 0);
    QCOMPARE(QJsonDocument::fromJson(out.out).object()["folders"].toArray().toVariantList(),
             (QVariantList{root + "/B", root + "/B/inner"}));
    // Wrong command lines.
    QCOMPARE(cli({"locate"}).code, 2);
    QCOMPARE(cli({"locate", root, "--skip"}).code, 2);
    QCOMPARE(cli({"locate", "--bogus", root}).code, 2);
    out = cli({"locate", path("nowhere")});
    QCOMPARE(out.code, 1);
    QVERIFY(out.err.contains("No such folder: " + path("nowhere")));

    // --add: each a dynamic album, once; the catalogue's hidden folders are skipped.
    QDir().mkpath(install + "/DataBase");
    QVERIFY(NameList::save(install + "/DataBase/hidedir.list", {root + "/skip"}));
    out = cli({"locate", "--add", root});
    QCOMPARE(out.code, 0);
    QCOMPARE(out.out.count('\n'), 3);
    QCOMPARE(cli({"locate", "--add", root}).code, 0);
    // The same folders through a link: the same albums.
    out = cli({"locate", "--add", root + "/a/loop/B"});
    QCOMPARE(out.code, 0);
    QCOMPARE(out.out, (root + "/B\n" + root + "/B/inner\n").toUtf8());
    const QString albums = QString::fromUtf8(cli({"albums"}).out);
    QCOMPARE(albums.count("DirectoryPlaylist"), 3);
    for (const char *name : {"\tdeep\t", "\tB\t", "\tinner\t"})
        QVERIFY2(albums.contains(name), name);
    // While the program holds the catalogue, --add is refused; looking is not.
    CatalogueLock window(install + "/DataBase");
    QVERIFY(window.tryLock());
    out = runCli(path("clihome"), install, {"locate", "--add", root}, 0,
                 {"VELLARO_LOCK_WAIT_MS=200"});
    QCOMPARE(out.code, 1);
    QVERIFY2(out.err.contains("The catalogue is open in Vellaro"), qPrintable(out.err));
    QCOMPARE(cli({"locate", root}).code, 0);
    window.unlock();

    // A folder that cannot be read is passed over in silence (tried as a user other
    // than root, whom no permission stops).
    makeJpeg(root + "/closed/inside/c.jpg", {800, 600});
    QVERIFY(QFile::setPermissions(root + "/closed", QFileDevice::Permissions()));
    for (const QString &folder : {m_dir->path(), root})
        chmod(QFile::encodeName(folder).constData(), 0755);
    QProcess walk;
    if (geteuid() == 0) {
        walk.setChildProcessModifier([] {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                _exit(99);
        });
    }
    walk.start(VELLARO_CLI, {"--install-dir", path("nobody-install"), "locate", root, "--skip", root + "/skip"});
    QVERIFY(walk.waitForFinished(60000));
    QCOMPARE(walk.exitCode(), 0);
    QCOMPARE(walk.readAllStandardOutput(), (root + "/a/deep\n" + root + "/B\n" + root + "/B/inner\n").toUtf8());
    QCOMPARE(walk.readAllStandardError(), QByteArray());
    QFile::setPermissions(root + "/closed", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QTEST_MAIN(TestLocator)
#include "tst_locator.moc"
