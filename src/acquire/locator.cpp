#include "locator.h"

#include <QCoreApplication>
#include <QMutexLocker>

LocatorThread::LocatorThread(QObject *parent)
    : QThread(parent)
{
    setObjectName(QStringLiteral("locator thread"));
}

LocatorThread::~LocatorThread()
{
    // A walk still under way ends at its next check: a folder or a picture header away.
    stop();
    wait();
}

void LocatorThread::stop()
{
    // Taken while a folder is being posted, so that none is posted after this returns.
    QMutexLocker lock(&m_posting);
    m_stop = true;
}

void LocatorThread::run()
{
    const QStringList roots = m_roots.isEmpty() ? LocatorWalk::defaultRoots() : m_roots;
    LocatorWalk::walk(
        roots, m_skips,
        [this](const QString &folder) {
            QMutexLocker lock(&m_posting);
            if (m_stop)
                return false;
            if (m_receiver)
                QCoreApplication::postEvent(m_receiver, new LocatorEvent(folder));
            ++m_found;
            return true;
        },
        m_stop, &m_progress);
}
