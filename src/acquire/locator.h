#pragma once

#include "locatorwalk.h"

#include <QEvent>
#include <QMutex>
#include <QPointer>
#include <QThread>

// The event that hands a found picture folder to the organiser page.
class LocatorEvent : public QEvent
{
public:
    static constexpr QEvent::Type FolderFound = QEvent::Type(1000);
    explicit LocatorEvent(const QString &folder)
        : QEvent(FolderFound)
        , m_folder(folder)
    {
    }
    QString folder() const { return m_folder; }

private:
    QString m_folder;
};

// The search for picture folders on a thread of its own. Each folder found is posted to
// the receiver as a LocatorEvent. stop() takes effect at once: once it returns nothing
// more is posted, and it never waits for the walk (which ends at its next check and
// deletes itself when its owner asked for that).
class LocatorThread : public QThread
{
    Q_OBJECT

public:
    explicit LocatorThread(QObject *parent = nullptr);
    ~LocatorThread() override;

    void setReceiver(QObject *receiver) { m_receiver = receiver; }
    void setSkipList(const QStringList &skips) { m_skips = skips; }
    // Empty: LocatorWalk::defaultRoots().
    void setRoots(const QStringList &roots) { m_roots = roots; }
    void stop();
    bool isStopped() const { return m_stop; }
    int foldersWalked() const { return m_progress.folders; }
    int foldersFound() const { return m_found; }

protected:
    void run() override;

private:
    QObject *m_receiver = nullptr;  // outlives the thread, which it owns
    QStringList m_skips;
    QStringList m_roots;
    std::atomic_bool m_stop{false};
    std::atomic<int> m_found{0};
    LocatorWalk::Progress m_progress;
    QMutex m_posting;
};
