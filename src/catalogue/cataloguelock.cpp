#include "cataloguelock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Open-file-description locks (Linux 3.15 and later) belong to the descriptor, not to
// the process, so two CatalogueLock objects of one process exclude each other, and
// they work over NFS. flock() gives the same ownership where they are missing.
bool lockDescriptor(int fd, int *error)
{
    int rc;
    do {
#ifdef F_OFD_SETLK
        struct flock range = {};
        range.l_type = F_WRLCK;
        range.l_whence = SEEK_SET;
        range.l_start = 0;
        range.l_len = 0;  // the whole file
        rc = ::fcntl(fd, F_OFD_SETLK, &range);
#else
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
#endif
    } while (rc < 0 && errno == EINTR);
    *error = rc < 0 ? errno : 0;
    return rc == 0;
}

bool heldByAnother(int error)
{
    return error == EAGAIN || error == EACCES || error == EWOULDBLOCK;
}

} // namespace

CatalogueLock::CatalogueLock(const QString &catalogueRoot)
    : m_path(catalogueRoot + QLatin1Char('/') + fileName())
{
}

CatalogueLock::~CatalogueLock()
{
    unlock();
}

CatalogueLock::Holder CatalogueLock::probe(const QString &catalogueRoot)
{
    const QByteArray path = QFile::encodeName(catalogueRoot + QLatin1Char('/') + fileName());
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return Holder::None;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return Holder::None;
    }
    bool held = false;
#ifdef F_OFD_GETLK
    struct flock range = {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_GETLK, &range) == 0)
        held = range.l_type != F_UNLCK;
#else
    // flock() cannot ask: taking and letting go at once tells the same.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        ::flock(fd, LOCK_UN);
    else
        held = heldByAnother(errno);
#endif
    ::close(fd);
    if (held)
        return Holder::Live;
    return info.st_size > 0 ? Holder::Stale : Holder::None;
}

int CatalogueLock::writerWaitMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("VELLARO_LOCK_WAIT_MS", &ok);
    return ok && ms >= 0 ? ms : 10000;
}

CatalogueLock::Result CatalogueLock::attempt()
{
    if (m_fd >= 0)
        return Result::Locked;
    m_error.clear();
    const QByteArray path = QFile::encodeName(m_path);
    // Never through a link: the holder's details are written into the file, and a link
    // could lead that write to any file.
    int fd;
    do {
        fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        m_error = QStringLiteral("The lock file %1 cannot be created: %2").arg(m_path, qt_error_string(errno));
        return Result::CannotCreate;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        m_error = QStringLiteral("The lock file %1 cannot be created: it is not a regular file").arg(m_path);
        return Result::CannotCreate;
    }
    int error = 0;
    if (!lockDescriptor(fd, &error)) {
        ::close(fd);
        if (heldByAnother(error))
            return Result::Busy;
        m_error = QStringLiteral("The lock file %1 cannot be locked: %2").arg(m_path, qt_error_string(error));
        return Result::CannotCreate;
    }
    m_fd = fd;
    // For whoever looks: nothing reads it back. A failure here changes nothing.
    const QByteArray holder = QByteArray::number(qint64(::getpid())) + '\n'
                              + QCoreApplication::applicationName().toUtf8() + '\n'
                              + QSysInfo::machineHostName().toUtf8() + '\n';
    if (::ftruncate(m_fd, 0) == 0) {
        const ssize_t written = ::pwrite(m_fd, holder.constData(), size_t(holder.size()), 0);
        Q_UNUSED(written);
    }
    return Result::Locked;
}

CatalogueLock::Result CatalogueLock::lock(int timeoutMs, const std::function<void()> &waiting)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const Result result = attempt();
        if (result != Result::Busy)
            return result;
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return Result::Busy;
        if (waiting)
            waiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(qMin<qint64>(50, left)));
    }
}

void CatalogueLock::unlock()
{
    if (m_fd < 0)
        return;
    // Emptied while still held, so the next holder's details are never cut short;
    // closing the descriptor releases the lock.
    const int emptied = ::ftruncate(m_fd, 0);
    Q_UNUSED(emptied);
    ::close(m_fd);
    m_fd = -1;
}
