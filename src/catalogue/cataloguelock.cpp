#include "cataloguelock.h"

#include <QDir>

CatalogueLock::CatalogueLock(const QString &catalogueRoot)
    : m_file(catalogueRoot + QLatin1Char('/') + fileName())
{
    // A running program holds the lock for hours: only a dead holder makes it stale.
    m_file.setStaleLockTime(0);
}

bool CatalogueLock::tryLock()
{
    return m_file.tryLock(0);
}

void CatalogueLock::unlock()
{
    m_file.unlock();
}
