#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// The lock that keeps two writers off one catalogue: the program holds it while it
// runs, and the command-line tool takes it for the commands that write. A lock left
// by a process that no longer runs is taken over.
class CatalogueLock
{
public:
    explicit CatalogueLock(const QString &catalogueRoot);
    // True when this process now holds the lock.
    bool tryLock();
    void unlock();
    bool isLocked() const { return m_file.isLocked(); }
    static QString fileName() { return QStringLiteral("vellaro.lock"); }

private:
    QLockFile m_file;
};
