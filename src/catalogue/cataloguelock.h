#pragma once

#include <QString>
#include <functional>

// The lock that keeps two writers off one catalogue: the program holds it while it
// runs, and the command-line tool takes it for the commands that write.
//
// It is the operating system's advisory lock on DataBase/vellaro.lock, held through a
// descriptor kept open for the holder's life. The system drops it when the holder
// ends, however it ends (a crash, a kill), so only a live holder keeps others out;
// what the file holds (the holder's pid and program, written for whoever looks, an
// old lock's text, nothing at all) is never read. The lock is held per open file,
// not per process: a second CatalogueLock in the same process is kept out as well.
class CatalogueLock
{
public:
    enum class Result {
        Locked,       // this object holds the lock
        Busy,         // a live holder has it
        CannotCreate  // the lock file cannot be created or locked; errorString() says why
    };

    explicit CatalogueLock(const QString &catalogueRoot);
    ~CatalogueLock();
    CatalogueLock(const CatalogueLock &) = delete;
    CatalogueLock &operator=(const CatalogueLock &) = delete;

    // One attempt, no wait. True when this object now holds the lock.
    bool tryLock() { return lock(0) == Result::Locked; }
    // Tries until the lock is taken or `timeoutMs` has passed, every 50 ms; a lock
    // that cannot be created is reported at once, waiting cannot change that.
    // `waiting` runs between two attempts (the window keeps painting there).
    Result lock(int timeoutMs, const std::function<void()> &waiting = {});
    void unlock();
    bool isLocked() const { return m_fd >= 0; }

    // Why the last attempt gave CannotCreate: the lock file's path and the system's
    // reason.
    QString errorString() const { return m_error; }
    QString filePath() const { return m_path; }
    static QString fileName() { return QStringLiteral("vellaro.lock"); }

    // What the lock file says, found without taking the lock or writing anything.
    enum class Holder {
        None,   // no lock file, or the empty one a holder leaves when it lets go
        Stale,  // a holder's details, but no holder: it ended without letting go (a kill)
        Live    // a running program holds the catalogue
    };
    static Holder probe(const QString &catalogueRoot);

    // How long a writer waits for a busy catalogue before giving up: 10 s, or the
    // milliseconds in VELLARO_LOCK_WAIT_MS when it is set (the tests shorten the wait
    // with it).
    static int writerWaitMs();

private:
    Result attempt();

    QString m_path;
    QString m_error;
    int m_fd = -1;
};
