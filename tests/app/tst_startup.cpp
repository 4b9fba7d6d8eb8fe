#include "ambriomainwindow.h"
#include "catalogueloader.h"
#include "librarylist.h"
#include "playlist.h"
#include "cataloguecontext.h"
#include "cataloguefile.h"
#include "cataloguelock.h"
#include "media.h"
#include "pixmaplookup.h"
#include "prefimplementation.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "splash.h"
#include "splashin.h"
#include "startup.h"
#include "testfiles.h"

#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

// Every test gets a settings store of its own in a temporary folder.
class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void defaultsWithNoSettings();
    void writeAllThenReadBack();
    void installDirectoryKey();
    void emptyInstallDirectoryStops();
    void stagesRunInOrder();
    void firstStartQuestion();
    void noQuestionAfterFirstRun();
    void closeWritesSettingsOnce();
    void topLevelWindow();
    void startPicturesAreReadBesideTheStart();
    void workAfterTheFirstPaintRunsOnce();
    void windowGrowsAndShrinks();
    void splashGeometry();
    void wholeProgramRun();
    void leftOversOfCutWritesAreSwept();
    void changeCutAmongItsRenamesIsFinishedBeforeTheAlbumsLoad();

private:
    std::unique_ptr<prefImplementation> freshPref();
    std::unique_ptr<QTemporaryDir> m_settingsDir;
    std::unique_ptr<QTemporaryDir> m_installDir;
};

void TestStartup::init()
{
    m_settingsDir = std::make_unique<QTemporaryDir>();
    m_installDir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir->path());
}

std::unique_ptr<prefImplementation> TestStartup::freshPref()
{
    auto pref = std::make_unique<prefImplementation>();
    pref->setInstallPath(m_installDir->path());
    pref->readSettings(*SettingsStore::open());
    return pref;
}

void TestStartup::defaultsWithNoSettings()
{
    auto pref = freshPref();
    QCOMPARE(pref->albumIconType(), true);
    QCOMPARE(pref->albumViewBy(), QStringLiteral("year"));
    QCOMPARE(pref->viewFileName(), false);
    QCOMPARE(pref->showAllFavorites(), false);
    QCOMPARE(pref->albumCache(), true);
    QCOMPARE(pref->paintFrame(), true);
    QCOMPARE(pref->frame(), QStringLiteral("Photo (default)"));
    QCOMPARE(pref->externalEditor(), QStringLiteral("gimp"));
    QCOMPARE(pref->menuBar(), false);
    QCOMPARE(pref->miniIcon(), false);
    QCOMPARE(pref->externalPrinter(), QString());
    QCOMPARE(pref->startLocator(), false);
    QCOMPARE(pref->firstStartup(), true);
    QCOMPARE(pref->fastThumbs(), true);
    QCOMPARE(pref->grayTheme(), false);
}

void TestStartup::writeAllThenReadBack()
{
    {
        auto pref = freshPref();
        pref->setMenuBar(true);
        pref->setAlbumViewBy(QStringLiteral("manual"));
        pref->setFrame(QStringLiteral("Film"));
        pref->setFastThumbs(false);
        pref->setStartLocator(true);
        QVERIFY(pref->firstStartup());
        pref->writeSettings(*SettingsStore::open());
    }
    // Every key is in the file, folded into the Vellaro group, FirstStartup false.
    const QString ini = m_settingsDir->filePath(QStringLiteral("Halvarin/Vellaro.conf"));
    QSettings file(ini, QSettings::IniFormat);
    file.beginGroup(QStringLiteral("Vellaro"));
    QCOMPARE(file.allKeys().size(), int(prefImplementation::SettingCount));
    QCOMPARE(file.value("FirstStartup").toString(), QStringLiteral("false"));
    QCOMPARE(file.value("ThumbsBay/Frame").toString(), QStringLiteral("Film"));
    QCOMPARE(file.value("ExternalPrinter").toString(), QString());
    QVERIFY(!file.contains("PATH_INSTALL"));  // read by the entry point, never written
    file.endGroup();

    // A restart reads the values back as text and types them.
    auto again = freshPref();
    QCOMPARE(again->menuBar(), true);
    QCOMPARE(again->albumViewBy(), QStringLiteral("manual"));
    QCOMPARE(again->frame(), QStringLiteral("Film"));
    QCOMPARE(again->fastThumbs(), false);
    QCOMPARE(again->startLocator(), true);
    QCOMPARE(again->firstStartup(), false);
    QCOMPARE(again->albumCache(), true);
}

void TestStartup::installDirectoryKey()
{
    ScriptedPrompter prompter;
    {
        auto pref = Startup::loadPreferences(*SettingsStore::open(), prompter);
        QVERIFY(pref);
        QCOMPARE(pref->installPath(), prefImplementation::defaultInstallPath());
    }
    SettingsStore::open()->setValue(QLatin1String(prefImplementation::installPathKey()), m_installDir->path());
    auto pref = Startup::loadPreferences(*SettingsStore::open(), prompter);
    QVERIFY(pref);
    QCOMPARE(pref->installPath(), m_installDir->path());
    QCOMPARE(pref->catalogueRoot(), m_installDir->path() + "/DataBase");
    QCOMPARE(pref->catalogueFolder(), m_installDir->path() + "/DataBase/db");
    QCOMPARE(pref->lastImportFolder(), m_installDir->path() + "/LastImport");
    QVERIFY(prompter.messages.isEmpty());
}

void TestStartup::emptyInstallDirectoryStops()
{
    SettingsStore::open()->setValue(QLatin1String(prefImplementation::installPathKey()), QString());
    ScriptedPrompter prompter;
    QVERIFY(!Startup::loadPreferences(*SettingsStore::open(), prompter));
    QCOMPARE(prompter.messages.size(), 1);
    const Prompter::Message box = prompter.messages.first();
    QCOMPARE(box.icon, Prompter::Icon::Critical);
    QCOMPARE(box.caption, QStringLiteral("Vellaro"));
    QVERIFY(box.text.startsWith("instalation have failed please do setup again\n or contact :"));
    QVERIFY(box.text.endsWith("\n\n"));
    // Through the whole entry point: the run ends with a failure and writes nothing.
    QCOMPARE(Startup::run(prompter, true), 1);
    QVERIFY(!QFile::exists(m_settingsDir->filePath("Halvarin/Vellaro.conf"))
            || !SettingsStore::open()->contains("//Vellaro//FirstStartup"));
}

void TestStartup::stagesRunInOrder()
{
    auto pref = freshPref();
    pref->setFirstStartup(false);
    ScriptedPrompter prompter;
    AmbrioMainWindow page;
    page.setPref(pref.get());
    page.setPrompter(&prompter);
    QStringList order;
    connect(&page, &AmbrioMainWindow::initSystem, this, [&] { order << "system"; });
    connect(&page, &AmbrioMainWindow::initClip, this, [&] { order << "clip"; });
    connect(&page, &AmbrioMainWindow::initDatabase, this, [&] { order << "database"; });
    connect(&page, &AmbrioMainWindow::initUi, this, [&] { order << "ui"; });
    page.startup();
    QCOMPARE(order, (QStringList{"system", "clip", "database", "ui"}));

    // Every stage's picture was shown on the splash, which is hidden at the end.
    splash *s = page.splashWindow();
    QVERIFY(s);
    QVERIFY(s->isHidden());
    for (const char *name : {"pixmapKernel", "pixmapClip", "pixmapAlbum", "pixmapUi"})
        QVERIFY2(!s->findChild<QLabel *>(name)->isHidden(), name);
    QCOMPARE(page.currentAlbumKind(), QStringLiteral("NONE"));
    QCOMPARE(page.currentMediaKind(), QStringLiteral("media"));

    // The catalogue folders exist after start-up.
    QVERIFY(QFileInfo(pref->catalogueFolder()).isDir());
    QVERIFY(QFileInfo(pref->lastImportFolder()).isDir());

    // The start-up panel lies over the thumbnail area and follows its size.
    page.resize(900, 640);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    splashin *panel = page.startupPanel();
    QCOMPARE(panel->objectName(), QStringLiteral("presentation"));
    QCOMPARE(panel->windowTitle(), QStringLiteral("splashin"));
    QTRY_COMPARE(panel->geometry(), page.thumbnailArea()->geometry());
    QVERIFY(panel->isVisible());
    QVERIFY(panel->findChild<QLabel *>("textLabelTitle")->text() == QStringLiteral("StartUp Panel"));
    QVERIFY(prompter.messages.isEmpty());
}

void TestStartup::firstStartQuestion()
{
    // The first start recommends the locator; Yes switches it on for every start.
    auto pref = freshPref();
    ScriptedPrompter prompter;
    prompter.answers << 0;  // Yes
    AmbrioMainWindow page;
    page.setPref(pref.get());
    page.setPrompter(&prompter);
    page.startup();
    QCOMPARE(prompter.messages.size(), 1);
    QCOMPARE(prompter.messages[0].text,
             QStringLiteral("Would you like to start the Locator at every startup ?\nThis feature will auto add all "
                            "your digital picture in the Database.\n\n We recomend yes.this feature is really cool !"));
    QCOMPARE(prompter.messages[0].buttons, (QStringList{"&Yes", "&No"}));
    QVERIFY(pref->startLocator());
    // The answer is kept before the window closes: a run killed now asks no more.
    const auto next = freshPref();
    QVERIFY(!next->firstStartup());
    QVERIFY(next->startLocator());
}

void TestStartup::noQuestionAfterFirstRun()
{
    {
        auto pref = freshPref();
        ScriptedPrompter prompter;
        prompter.answers << 1;  // No
        AmbrioMainWindow page;
        page.setPref(pref.get());
        page.setPrompter(&prompter);
        page.startup();
        QVERIFY(!pref->startLocator());
        page.close();
    }
    auto pref = freshPref();
    QVERIFY(!pref->firstStartup());
    ScriptedPrompter prompter;
    AmbrioMainWindow page;
    page.setPref(pref.get());
    page.setPrompter(&prompter);
    page.startup();
    QVERIFY(prompter.messages.isEmpty());
}

void TestStartup::closeWritesSettingsOnce()
{
    auto pref = freshPref();
    ScriptedPrompter prompter;
    media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &prompter);
    window.show();
    pref->setMiniIcon(true);
    // While the window runs it holds the catalogue: other writers are refused.
    CatalogueLock other(pref->catalogueRoot());
    QVERIFY(!other.tryLock());
    window.close();
    QVERIFY(other.tryLock());
    other.unlock();
    QVERIFY(SettingsStore::open()->value("//Vellaro//MiniIcon").toBool());
    QCOMPARE(SettingsStore::open()->value("//Vellaro//FirstStartup").toBool(), false);
    // A second close writes nothing more.
    pref->setMiniIcon(false);
    window.organiser()->close();
    QVERIFY(SettingsStore::open()->value("//Vellaro//MiniIcon").toBool());

    // A run that changes nothing leaves the file as it is: not replaced (the same inode),
    // its text unchanged. A run that changes one value rewrites it with that value.
    const QString ini = m_settingsDir->filePath(QStringLiteral("Halvarin/Vellaro.conf"));
    auto identity = [&ini] {
        struct stat st {};
        return ::stat(QFile::encodeName(ini).constData(), &st) == 0 ? qint64(st.st_ino) : -1;
    };
    const qint64 before = identity();
    const QByteArray text = readAll(ini);
    for (bool change : {false, true}) {
        auto again = freshPref();
        media next(nullptr, QStringLiteral("ambrio"), {}, again.get(), &prompter);
        next.show();
        if (change)
            again->setFrame(QStringLiteral("Film"));
        next.close();
        if (!change) {
            QCOMPARE(identity(), before);
            QCOMPARE(readAll(ini), text);
        }
    }
    QVERIFY(identity() != before);
    QCOMPARE(SettingsStore::open()->value("//Vellaro//ThumbsBay//Frame").toString(), QStringLiteral("Film"));
    QVERIFY(SettingsStore::open()->value("//Vellaro//MiniIcon").toBool());
}

void TestStartup::topLevelWindow()
{
    auto pref = freshPref();
    pref->setFirstStartup(false);
    ScriptedPrompter prompter;
    {
        media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &prompter);
        QCOMPARE(window.objectName(), QStringLiteral("ambrio"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Vellaro 1.0"));
        QCOMPARE(window.size(), QSize(800, 580));
        QVERIFY(window.statusBar()->isHidden());
        QVERIFY(window.progressBar()->isHidden());
        auto *stack = window.findChild<QStackedWidget *>("widgetStack");
        QCOMPARE(stack->widget(0), window.organiser());
        QCOMPARE(stack->currentIndex(), 0);
        QCOMPARE(window.organiser()->objectName(), QStringLiteral("photo"));
        window.show();
        const auto *bar = window.findChild<QMenuBar *>();
        QVERIFY(!bar || bar->isHidden());
        for (const char *name : {"miniMeButton", "optionsButton", "locatorButton"})
            QVERIFY2(window.findChild<QWidget *>(name)->isVisible(), name);
        QVERIFY(window.findChild<QWidget *>("findButton")->isVisible());
    }
    pref->setMenuBar(true);
    media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &prompter);
    window.show();
    QVERIFY(window.menuBar()->isVisible());
    QStringList menus;
    for (const QAction *menu : window.menuBar()->actions())
        menus << menu->text();
    QCOMPARE(menus, QStringList({"File", "Album", "Photo", "Find"}));
}

void TestStartup::startPicturesAreReadBesideTheStart()
{
    auto pref = freshPref();
    pref->setFirstStartup(false);
    ScriptedPrompter prompter;
    PixmapLookup::configure(pref->installPath(), false);
    PixmapLookup::instance().preload(Startup::startPictures());
    {
        media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &prompter);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Every picture the start asked for was read beside it, and nothing else was but
        // the icon of an album of pictures (this catalogue has no album).
        QStringList unused;
        QCOMPARE(PixmapLookup::instance().endPreload(&unused), QStringList());
        QCOMPARE(unused, QStringList{"playlist-photo.png"});
    }
    // The same pictures as read without a preload.
    for (const QString &name : Startup::startPictures()) {
        const QImage preloaded = kivPixmap(name).toImage();
        QVERIFY2(!preloaded.isNull(), qPrintable(name));
        QCOMPARE(preloaded, QPixmap::fromImage(PixmapLookup::instance().image(name)).toImage());
    }
}

void TestStartup::workAfterTheFirstPaintRunsOnce()
{
    QWidget window;
    window.resize(200, 100);
    int runs = 0;
    Startup::AfterFirstPaint watcher(&window, [&runs] { ++runs; });
    QCoreApplication::processEvents();
    QCOMPARE(runs, 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(runs, 1);
    window.repaint();
    window.repaint();
    QCoreApplication::processEvents();
    QCOMPARE(runs, 1);
    // The start's own work: the window icon, every size, once the window has painted;
    // the window stays open without --exit-when-shown.
    QApplication::setWindowIcon(QIcon());
    Startup::afterFirstPaint(false, &window);
    QVERIFY(QApplication::windowIcon().isNull());
    QTRY_VERIFY(!QApplication::windowIcon().isNull());
    QCOMPARE(QApplication::windowIcon().availableSizes().size(), 6);
    QTest::qWait(20);
    QVERIFY(window.isVisible());
}

void TestStartup::windowGrowsAndShrinks()
{
    auto pref = freshPref();
    pref->setFirstStartup(false);
    ScriptedPrompter prompter;
    media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &prompter);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
    QVERIFY(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    splashin *panel = window.organiser()->startupPanel();
    auto *scroll = panel->findChild<QScrollArea *>();
    QVERIFY(scroll);
    // As small as the window goes, and large: the start-up panel covers the thumbnail
    // area and every line of its text is in sight.
    for (const QSize size : {QSize(100, 100), QSize(1400, 950)}) {
        window.resize(size);
        QTRY_COMPARE(panel->size(), window.organiser()->thumbnailArea()->size());
        QCOMPARE(scroll->verticalScrollBar()->maximum(), 0);
        const QList<QLabel *> labels = panel->findChildren<QLabel *>();
        QCOMPARE(labels.size(), 8);
        for (const QLabel *label : labels) {
            if (label->wordWrap())
                QVERIFY2(label->height() >= label->heightForWidth(label->width()), qPrintable(label->objectName()));
        }
    }
    QVERIFY(window.width() >= 1400);
    // Below the text the panel's own light blue shows, not the window's grey.
    const QImage shot = panel->grab().toImage();
    const QColor corner = shot.pixelColor(shot.width() - 30, shot.height() - 10);
    QVERIFY2(corner.blue() > corner.red() + 10, qPrintable(corner.name()));
}

void TestStartup::splashGeometry()
{
    QCOMPARE(splash::centredPosition(QSize(1280, 1024)), QPoint(456, 401));
    QCOMPARE(splash::centredPosition(QSize(1025, 769)), QPoint(328, 273));
    splash s;
    QCOMPARE(s.size(), QSize(368, 222));
    QVERIFY(s.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(s.findChild<QLabel *>("pixmapAlbum")->geometry(), QRect(187, 139, 77, 69));
    QCOMPARE(s.findChild<QLabel *>("pixmapUi")->geometry(), QRect(270, 139, 76, 69));
}

void TestStartup::wholeProgramRun()
{
    // The program as a user starts it: its standard output at start and at close.
    QTemporaryDir home;
    QDir(home.path()).mkpath(".config/Halvarin");
    QSettings conf(home.filePath(".config/Halvarin/Vellaro.conf"), QSettings::IniFormat);
    conf.setValue("Vellaro/FirstStartup", false);
    conf.setValue("Vellaro/PATH_INSTALL", home.filePath("install"));
    conf.sync();
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    program.start(QStringLiteral(VELLARO_EXE), {"--exit-when-shown"});
    QVERIFY(program.waitForFinished(60000));
    const qint64 ended = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(program.exitCode(), 0);
    // The moment the window was shown, said once on standard error, within the run.
    const QByteArray err = program.readAllStandardError();
    const QRegularExpression stamp(QStringLiteral("(?:^|\n)vellaro: shown at (\\d+)\\.(\\d{9})\n"));
    const QRegularExpressionMatch shown = stamp.match(QString::fromUtf8(err));
    QVERIFY2(shown.hasMatch(), err.constData());
    QCOMPARE(err.count("shown at"), 1);
    const qint64 shownAt = shown.captured(1).toLongLong() * 1000 + shown.captured(2).left(3).toLongLong();
    QVERIFY2(shownAt >= started - 1 && shownAt <= ended + 1, err.constData());
    QCOMPARE(program.readAllStandardOutput(),
             QByteArray("Vellaro starting...\nloading Database******************************************************\n"
                        "thread zero\n"));
    QVERIFY(QFileInfo(home.filePath("install/DataBase/db")).isDir());
    QSettings after(home.filePath(".config/Halvarin/Vellaro.conf"), QSettings::IniFormat);
    QCOMPARE(after.value("Vellaro/AlbumViewBy").toString(), QStringLiteral("year"));

    // The libraries of commands most runs never give are not loaded to start: the
    // loader's own account of the files it opened, up to the window shown.
    env.insert("LD_DEBUG", "files");
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VELLARO_EXE), {"--exit-when-shown"});
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitCode(), 0);
    const QByteArray loaded = program.readAllStandardError();
    QVERIFY2(loaded.contains("file=libQt6Widgets.so.6"), "the loader's account is missing");
    for (const char *rare : {"libsane.so", "libarchive.so", "libgif.so", "libgmime-3.0.so"})
        QVERIFY2(!loaded.contains(QByteArray("file=") + rare), rare);
}

QTEST_MAIN(TestStartup)
void TestStartup::leftOversOfCutWritesAreSwept()
{
    // What writes cut short by a kill left: new versions never renamed into place, in the
    // catalogue and in an album's folder. The window sweeps them on a thread of its own.
    const CatalogueContext context = CatalogueContext::forInstallation(m_installDir->path());
    QVERIFY(QDir().mkpath(context.folder + "/Trip"));
    const QStringList leftOvers{context.root + "/library.db.vellaro-new",
                                context.folder + "/Trip/a.jpg.kiv.vellaro-new"};
    for (const QString &path : leftOvers) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("NUMLIB=0\r\n");
    }
    // A link so named is not the catalogue's: it stays, and so does what it points to.
    const QString elsewhere = m_installDir->path() + "/elsewhere.txt";
    QFile target(elsewhere);
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.close();
    QVERIFY(QFile::link(elsewhere, context.folder + "/Trip/b.jpg.kiv.vellaro-new"));

    auto pref = freshPref();
    pref->setFirstStartup(false);
    ScriptedPrompter prompter;
    {
        media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &prompter);
        // Not while the albums load: once the window runs, with nothing written.
        for (const QString &path : leftOvers)
            QVERIFY2(QFileInfo::exists(path), qPrintable(path));
        window.show();
        // A modal window up meanwhile (the progress of a change the user began): what the
        // sweep found waits for it, rather than holding that change until answered.
        QProgressDialog busy(QStringLiteral("Saving the tags of 500 pictures..."), QString(), 0, 10, &window);
        busy.setWindowModality(Qt::ApplicationModal);
        busy.show();
        QTRY_VERIFY(!QFileInfo::exists(leftOvers[0]) && !QFileInfo::exists(leftOvers[1]));
        QCOMPARE(CatalogueFile::waitForSweep(), 2);
        QVERIFY(QFileInfo(context.folder + "/Trip/b.jpg.kiv.vellaro-new").isSymLink());
        QVERIFY(QFileInfo::exists(elsewhere));
        QTest::qWait(3 * AmbrioMainWindow::TellRetryMs);
        QCOMPARE(prompter.messages.size(), 0);
        busy.hide();
        // The change they were of was never kept: the user is told, once.
        QTRY_COMPARE(prompter.messages.size(), 1);
        QVERIFY2(prompter.messages.first().text.contains("that change was not kept")
                     && prompter.messages.first().text.contains("(2 unused files"),
                 qPrintable(prompter.messages.first().text));
        QTest::qWait(50);
        QCOMPARE(prompter.messages.size(), 1);
        prompter.messages.clear();
    }

    // A write before the put-off sweep begins neither waits for it nor begins it; the
    // sweep, once begun, takes the left-over and nothing of the write.
    QFile again(leftOvers[1]);
    QVERIFY(again.open(QIODevice::WriteOnly));
    again.close();
    CatalogueFile::startSweepUnfinished(context.root, true);
    QVERIFY(QFileInfo::exists(leftOvers[1]));
    QVERIFY(CatalogueFile::writeBytes(context.root + "/library.db", "NUMLIB=0\r\n"));
    QVERIFY(QFileInfo::exists(leftOvers[1]));
    CatalogueFile::startPutOffSweep();
    QCOMPARE(CatalogueFile::waitForSweep(), 1);
    QVERIFY(!QFileInfo::exists(leftOvers[1]));
    QCOMPARE(readAll(context.root + "/library.db"), QByteArray("NUMLIB=0\r\n"));
    // Closed before it began, the window leaves the sweep to the next start.
    QVERIFY(again.open(QIODevice::WriteOnly));
    again.close();
    {
        media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &prompter);
    }
    QVERIFY(QFileInfo::exists(leftOvers[1]));
    QCOMPARE(CatalogueFile::waitForSweep(), 0);
}

void TestStartup::changeCutAmongItsRenamesIsFinishedBeforeTheAlbumsLoad()
{
    // A change of two pictures killed among its renames: the album file and a.jpg's
    // property file still under their new versions' names, b.jpg's renamed already,
    // the journal naming all three. The window finishes it before it reads the albums:
    // it shows the change, on disk as in its rows, and says nothing.
    const CatalogueContext context = CatalogueContext::forInstallation(m_installDir->path());
    QVERIFY(QDir().mkpath(context.folder + "/Trip1"));
    auto album = [](const char *title) {
        QByteArray text = "KivDir=Trip1\r\nTitle=Trip\r\nDirty=False\r\nCreationDate=2004-01-01\r\nNumFile=2\r\n";
        for (const char *name : {"a.jpg", "b.jpg"})
            text += QByteArray("File=Photo|/pics|") + name + "|" + title + "| | |0|0|-1|1*1|\r\n";
        return text;
    };
    for (const int waitBeforeTelling : {60000, 0}) {
        writeFile(context.root + "/library.db", "NUMLIB=1\r\nLIBRARY=NONE,Photo,Trip,Playlist,Trip1\r\n");
        writeFile(context.folder + "/Trip1.db", album("Old"));
        writeFile(context.folder + "/Trip1.db.vellaro-new", album("New"));
        writeFile(context.folder + "/Trip1/a.jpg.kiv", "title=Old\r\n");
        writeFile(context.folder + "/Trip1/a.jpg.kiv.vellaro-new", "title=New\r\n");
        writeFile(context.folder + "/Trip1/b.jpg.kiv", "title=New\r\n");
        QByteArray journal = "VellaroJournal 1\n";
        const QByteArray albums = QFile::encodeName(context.folder), trip = QFile::encodeName(context.folder + "/Trip1");
        for (const auto &[folder, name] : {std::pair{albums, QByteArray("Trip1.db")}, std::pair{trip, QByteArray("a.jpg.kiv")},
                                           std::pair{trip, QByteArray("b.jpg.kiv")}})
            journal += folder.toPercentEncoding() + ' ' + name + ".vellaro-new " + name + '\n';
        journal += "End 3\n";
        writeFile(CatalogueFile::batchJournalPath(context.root), journal);

        auto pref = freshPref();
        pref->setFirstStartup(false);
        ScriptedPrompter prompter;
        // A long one says what the start waits for (told at once the second time); a
        // short one is over before that.
        const int delay = AmbrioMainWindow::FinishProgressDelay;
        AmbrioMainWindow::FinishProgressDelay = waitBeforeTelling;
        QStringList told;
        QTimer watch;
        connect(&watch, &QTimer::timeout, this, [&told] {
            for (QWidget *top : QApplication::topLevelWidgets()) {
                auto *bar = qobject_cast<QProgressDialog *>(top);
                if (bar && bar->objectName() == "finish progress" && bar->isVisible() && !told.contains(bar->labelText()))
                    told << bar->labelText();
            }
        });
        watch.start(0);
        media window(nullptr, QStringLiteral("ambrio"), {}, pref.get(), &prompter);
        watch.stop();
        AmbrioMainWindow::FinishProgressDelay = delay;
        if (waitBeforeTelling > 0)
            QCOMPARE(told, QStringList());
        else
            QCOMPARE(told, QStringList{"Finishing the change of 3 files that was cut short when Vellaro was last stopped..."});
        for (QWidget *top : QApplication::topLevelWidgets())
            QVERIFY(top->objectName() != "finish progress");
        QVERIFY(!QFileInfo::exists(CatalogueFile::batchJournalPath(context.root)));
        QCOMPARE(readAll(context.folder + "/Trip1.db"), album("New"));
        QCOMPARE(readAll(context.folder + "/Trip1/a.jpg.kiv"), QByteArray("title=New\r\n"));
        QCOMPARE(readAll(context.folder + "/Trip1/b.jpg.kiv"), QByteArray("title=New\r\n"));
        const QList<PlayList *> loaded = CatalogueLoader::storedAlbums(window.organiser()->albumList());
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first()->rowTable().field(0, AlbumRows::Title), QStringLiteral("New"));
        QCOMPARE(loaded.first()->rowTable().field(1, AlbumRows::Title), QStringLiteral("New"));
        QVERIFY(prompter.messages.isEmpty());
    }
    CatalogueFile::finishInterruptedBatch(QString());
}

#include "tst_startup.moc"
