#include "cataloguelock.h"

#include "ambriomainwindow.h"
#include "cataloguefile.h"
#include "organiserfixture.h"
#include "pixmaplookup.h"
#include "scriptedprompter.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "testfiles.h"

namespace {

const char busyMessage[] = "The catalogue is open in Vellaro.\nClose Vellaro before changing the catalogue from the "
                           "command line.\n";

// The other program, run as a child process of this test: this binary started with
// "--hold-lock ROOT [RELEASE_MS]". It takes the catalogue's lock, says "locked", and
// keeps it until its standard input closes, or for RELEASE_MS only, after which it
// unlocks, says "released" and stays alive until its input closes.
int holdLock(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    CatalogueLock lock(QString::fromLocal8Bit(argv[2]));
    if (!lock.tryLock()) {
        std::printf("not locked: %s\n", qPrintable(lock.errorString()));
        return 3;
    }
    std::puts("locked");
    std::fflush(stdout);
    if (argc >= 4) {
        QThread::msleep(QByteArray(argv[3]).toULong());
        lock.unlock();
        std::puts("released");
        std::fflush(stdout);
    }
    while (std::getchar() != EOF) {
    }
    return 0;
}

struct Run
{
    int code = -1;
    QString err;
    qint64 ms = 0;
};

} // namespace

// The catalogue's lock as two programs meet it: vellaro-cli and the window, each run
// against a holder that is another process.
class TestLock : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void leftoverFileNeverBlocks_data();
    void leftoverFileNeverBlocks();
    void liveHolderMakesTheToolWaitThenRefuse();
    void holderReleasingWithinTheWait();
    void killedHolderFreesTheLock();
    void twoHoldersInOneProcess();
    void lockThatCannotBeCreated_data();
    void lockThatCannotBeCreated();
    void windowWaitsForAWrite();
    void windowOpensReadOnlyWhileBusy();
    void windowCannotLock();

private:
    Run cli(const QStringList &args, const QString &waitMs = QString(), bool asNobody = false);
    bool startHolder(QProcess *holder, const QStringList &extra = {});
    QString root() const { return m_install + QStringLiteral("/DataBase"); }
    QString lockPath() const { return root() + QStringLiteral("/vellaro.lock"); }
    QByteArray index() const { return readAll(root() + QStringLiteral("/library.db")); }
    QStringList albumFiles() const { return QDir(root() + QStringLiteral("/db")).entryList(QDir::Files); }
    bool indexNames(const char *name) const { return index().contains(QByteArray(",") + name + ",Playlist,"); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_install;
    QList<QProcess *> m_holders;
};

void TestLock::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_install = m_dir->filePath("install");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath("settings"));
    PixmapLookup::configure(m_install, false);
    qunsetenv("VELLARO_LOCK_WAIT_MS");
    CatalogueFile::setReadOnly(false);
}

void TestLock::cleanup()
{
    for (QProcess *holder : std::as_const(m_holders)) {
        holder->kill();
        holder->waitForFinished();
        delete holder;
    }
    m_holders.clear();
    qunsetenv("VELLARO_LOCK_WAIT_MS");
    CatalogueFile::setReadOnly(false);
}

Run TestLock::cli(const QStringList &args, const QString &waitMs, bool asNobody)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", m_dir->path());
    env.insert("XDG_CONFIG_HOME", m_dir->filePath(".config"));
    env.remove("VELLARO_LOCK_WAIT_MS");
    if (!waitMs.isNull())
        env.insert("VELLARO_LOCK_WAIT_MS", waitMs);
    process.setProcessEnvironment(env);
    if (asNobody) {
        process.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(99);
        });
    }
    QElapsedTimer clock;
    clock.start();
    process.start(QStringLiteral(VELLARO_CLI), QStringList{"--install-dir", m_install} + args);
    Run run;
    if (!process.waitForFinished(60000))
        return run;
    run.ms = clock.elapsed();
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

bool TestLock::startHolder(QProcess *holder, const QStringList &extra)
{
    QDir().mkpath(root());
    holder->start(QCoreApplication::applicationFilePath(), QStringList{"--hold-lock", root()} + extra);
    if (!holder->waitForStarted())
        return false;
    while (!holder->canReadLine()) {
        if (!holder->waitForReadyRead(30000))
            return false;
    }
    const QByteArray said = holder->readLine();
    if (said != "locked\n")
        qWarning() << "the holder said" << said << holder->readAllStandardError();
    return said == "locked\n";
}

// A writer killed between creating the file and filling it, an old lock's text naming
// a process that runs (this test), junk: none of it keeps a writer out.
void TestLock::leftoverFileNeverBlocks_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("junk") << QByteArray("\0\xff\xfe garbage\n\n\x01", 14);
    QTest::newRow("old lock naming a live process")
        << QByteArray::number(QCoreApplication::applicationPid()) + "\nvellaro\n"
               + QSysInfo::machineHostName().toUtf8() + "\n";
    QTest::newRow("old lock naming a dead process") << QByteArray("999999999\nvellaro\nnowhere\n");
}

void TestLock::leftoverFileNeverBlocks()
{
    QFETCH(QByteArray, contents);
    writeFile(lockPath(), contents);
    const Run run = cli({"new-album", "Holidays"}, "0");
    QCOMPARE(run.err, QString());
    QCOMPARE(run.code, 0);
    QVERIFY(indexNames("Holidays"));
}

// Another program holds the catalogue: the tool waits, then refuses, having written
// nothing; reading does not wait at all.
void TestLock::liveHolderMakesTheToolWaitThenRefuse()
{
    QCOMPARE(cli({"new-album", "First"}).code, 0);
    const QByteArray before = index();
    const QStringList filesBefore = albumFiles();
    auto *holder = new QProcess;
    m_holders << holder;
    QVERIFY(startHolder(holder));

    Run refused = cli({"new-album", "Second"}, "1500");
    QCOMPARE(refused.code, 1);
    QCOMPARE(refused.err, QString::fromLatin1(busyMessage));
    QVERIFY2(refused.ms >= 1500, qPrintable(QString::number(refused.ms)));
    QVERIFY2(refused.ms < 9000, qPrintable(QString::number(refused.ms)));
    QCOMPARE(index(), before);
    QCOMPARE(albumFiles(), filesBefore);

    // Without the variable the wait is ten seconds.
    refused = cli({"set", "First", "a.jpg", "title=x"});
    QCOMPARE(refused.code, 1);
    QCOMPARE(refused.err, QString::fromLatin1(busyMessage));
    QVERIFY2(refused.ms >= 10000 && refused.ms < 20000, qPrintable(QString::number(refused.ms)));

    const Run read = cli({"albums"});
    QCOMPARE(read.code, 0);
    QVERIFY2(read.ms < 5000, qPrintable(QString::number(read.ms)));
    QCOMPARE(index(), before);
}

// The holder unlocks a moment after the tool started waiting, and stays alive: the tool
// then writes.
void TestLock::holderReleasingWithinTheWait()
{
    auto *holder = new QProcess;
    m_holders << holder;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(startHolder(holder, {"1200"}));
    const Run run = cli({"new-album", "Late"}, "8000");
    QCOMPARE(run.err, QString());
    QCOMPARE(run.code, 0);
    QVERIFY2(clock.elapsed() >= 1200, qPrintable(QString::number(clock.elapsed())));
    QVERIFY2(run.ms < 8000, qPrintable(QString::number(run.ms)));
    QVERIFY(indexNames("Late"));
    QCOMPARE(albumFiles().filter(".db").size(), 1);
    QCOMPARE(holder->state(), QProcess::Running);  // released by unlocking, not by ending
}

// A holder that dies without unlocking leaves its details in the file; the lock is
// free all the same, at once.
void TestLock::killedHolderFreesTheLock()
{
    QProcess holder;
    QVERIFY(startHolder(&holder));
    const qint64 pid = holder.processId();
    CatalogueLock mine(root());
    QVERIFY(!mine.tryLock());
    QCOMPARE(mine.lock(200), CatalogueLock::Result::Busy);
    ::kill(pid_t(pid), SIGKILL);
    QVERIFY(holder.waitForFinished());
    QVERIFY(readAll(lockPath()).startsWith(QByteArray::number(pid) + "\n"));

    const Run run = cli({"new-album", "After"}, "0");
    QCOMPARE(run.code, 0);
    QVERIFY(indexNames("After"));
    QVERIFY(mine.tryLock());
    QVERIFY(mine.isLocked());
}

// The lock belongs to the open file, not to the process: a second window or tool code
// in the same process is kept out too, and closing it does not free the first one.
void TestLock::twoHoldersInOneProcess()
{
    QVERIFY(QDir().mkpath(root()));
    auto first = std::make_unique<CatalogueLock>(root());
    QCOMPARE(first->lock(0), CatalogueLock::Result::Locked);
    {
        CatalogueLock second(root());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(second.lock(300), CatalogueLock::Result::Busy);
        QVERIFY(clock.elapsed() >= 300);
        QCOMPARE(second.errorString(), QString());
    }
    QCOMPARE(cli({"new-album", "Kept"}, "0").code, 1);
    first.reset();  // released when its owner goes
    CatalogueLock third(root());
    QVERIFY(third.tryLock());
    QVERIFY(third.isLocked());
    third.unlock();
    QVERIFY(!third.isLocked());
    QCOMPARE(cli({"new-album", "Free"}, "0").code, 0);
}

void TestLock::lockThatCannotBeCreated_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("reason");  // the system's words for it
    QTest::newRow("a folder in its place") << "folder" << "Is a directory";
    QTest::newRow("a link in its place") << "link" << "Too many levels of symbolic links";
    QTest::newRow("a catalogue folder that cannot be written") << "read-only" << "Permission denied";
}

// The tool says the lock file cannot be created, and why, at once, and writes nothing.
void TestLock::lockThatCannotBeCreated()
{
    QFETCH(QString, how);
    QFETCH(QString, reason);
    QCOMPARE(cli({"new-album", "First"}).code, 0);
    const QString outside = m_dir->filePath("outside.txt");
    writeFile(outside, "keep me\n");
    QVERIFY(QFile::remove(lockPath()));  // left by the first write, empty
    bool asNobody = false;
    if (how == "folder") {
        QVERIFY(QDir().mkdir(lockPath()));
    } else if (how == "link") {
        QVERIFY(QFile::link(outside, lockPath()));
    } else {
        QVERIFY(::chmod(QFile::encodeName(root()).constData(), 0555) == 0);
        // Root writes into any folder: the tool then runs as nobody, who must be able to
        // reach the catalogue.
        asNobody = ::geteuid() == 0;
        if (asNobody) {
            for (const QString &path : {m_dir->path(), m_install})
                QVERIFY(::chmod(QFile::encodeName(path).constData(), 0755) == 0);
            QVERIFY(::chmod(QFile::encodeName(root() + "/db").constData(), 0755) == 0);
        }
    }
    const QByteArray before = index();
    const QStringList filesBefore = albumFiles();
    const Run run = cli({"new-album", "Second"}, "5000", asNobody);
    ::chmod(QFile::encodeName(root()).constData(), 0755);
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains("The lock file " + lockPath() + " cannot be created: " + reason), qPrintable(run.err));
    QVERIFY(!run.err.contains("open in Vellaro"));
    QVERIFY2(run.ms < 4000, qPrintable(QString::number(run.ms)));  // no wait: waiting cannot help
    QCOMPARE(index(), before);
    QCOMPARE(albumFiles(), filesBefore);
    QCOMPARE(readAll(outside), QByteArray("keep me\n"));
}

// A tool's write under way when the window starts is waited for; the window then holds
// the catalogue and works as usual.
void TestLock::windowWaitsForAWrite()
{
    QCOMPARE(cli({"new-album", "First"}).code, 0);
    qputenv("VELLARO_LOCK_WAIT_MS", "8000");
    auto *holder = new QProcess;
    m_holders << holder;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(startHolder(holder, {"1000"}));
    ScriptedPrompter prompter;
    OrganiserFixture fixture;
    AmbrioMainWindow *page = fixture.start(m_install, &prompter);
    QVERIFY(clock.elapsed() >= 1000);
    QCOMPARE(prompter.messages.size(), 0);
    QVERIFY(!CatalogueFile::isReadOnly());

    prompter.onExec = [](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineEditName")->setText(QStringLiteral("Holidays"));
    };
    prompter.dialogResults << QDialog::Accepted;
    page->AddPlaylist();
    QVERIFY(indexNames("Holidays"));

    // The window holds it now: the tool is kept out.
    const Run refused = cli({"new-album", "Third"}, "0");
    QCOMPARE(refused.code, 1);
    QCOMPARE(refused.err, QString::fromLatin1(busyMessage));
    fixture.page->close();
    QCOMPARE(cli({"new-album", "Third"}, "0").code, 0);
}

// The holder keeps the catalogue past the wait: the window says so and runs read-only,
// every write refused.
void TestLock::windowOpensReadOnlyWhileBusy()
{
    QCOMPARE(cli({"new-album", "First"}).code, 0);
    const QString album = root() + "/db/" + albumFiles().filter(".db").first();
    const QByteArray albumBefore = readAll(album);
    const QByteArray before = index();
    const QStringList filesBefore = albumFiles();
    qputenv("VELLARO_LOCK_WAIT_MS", "700");
    auto *holder = new QProcess;
    m_holders << holder;
    QVERIFY(startHolder(holder));

    ScriptedPrompter prompter;
    OrganiserFixture fixture;
    QElapsedTimer clock;
    clock.start();
    AmbrioMainWindow *page = fixture.start(m_install, &prompter);
    QVERIFY(clock.elapsed() >= 700);
    QCOMPARE(prompter.messages.size(), 1);
    const Prompter::Message shown = prompter.messages.first();
    QCOMPARE(shown.icon, Prompter::Icon::Warning);
    QVERIFY2(shown.text.contains("in use by another program"), qPrintable(shown.text));
    QVERIFY2(shown.text.contains("read-only: no change will be saved"), qPrintable(shown.text));
    QVERIFY(CatalogueFile::isReadOnly());
    QVERIFY(!CatalogueFile::readOnlyReason().isEmpty());

    QVERIFY(!CatalogueFile::writeLines(album, {"KivDir=x"}));
    QVERIFY(!CatalogueFile::writeBytes(root() + "/db/new.db", "x"));
    prompter.onExec = [](QDialog *dialog) {
        dialog->findChild<QLineEdit *>("lineEditName")->setText(QStringLiteral("Holidays"));
    };
    prompter.dialogResults << QDialog::Accepted;
    page->AddPlaylist();
    QCOMPARE(readAll(album), albumBefore);
    QCOMPARE(index(), before);
    QCOMPARE(albumFiles(), filesBefore);

    // The holder is still the holder: the window took nothing from it.
    QCOMPARE(holder->state(), QProcess::Running);
    CatalogueLock probe(root());
    QVERIFY(!probe.tryLock());
}

void TestLock::windowCannotLock()
{
    QCOMPARE(cli({"new-album", "First"}).code, 0);
    const QByteArray before = index();
    QVERIFY(QFile::remove(lockPath()));
    QVERIFY(QDir().mkdir(lockPath()));
    qputenv("VELLARO_LOCK_WAIT_MS", "8000");
    ScriptedPrompter prompter;
    OrganiserFixture fixture;
    QElapsedTimer clock;
    clock.start();
    fixture.start(m_install, &prompter);
    QVERIFY(clock.elapsed() < 6000);
    QCOMPARE(prompter.messages.size(), 1);
    const QString text = prompter.messages.first().text;
    QVERIFY2(text.contains("The lock file " + lockPath() + " cannot be created: Is a directory"), qPrintable(text));
    QVERIFY2(text.contains("read-only: no change will be saved"), qPrintable(text));
    QVERIFY(CatalogueFile::isReadOnly());
    QVERIFY(CatalogueFile::readOnlyReason().contains("Is a directory"));
    QVERIFY(!CatalogueFile::writeLines(root() + "/library.db", {"NUMLIB=0"}));
    QCOMPARE(index(), before);
}

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--hold-lock") == 0)
        return holdLock(argc, argv);
    QApplication app(argc, argv);
    TestLock test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_lock.moc"
