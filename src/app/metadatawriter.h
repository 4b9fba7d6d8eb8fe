#pragma once

#include "metadataqueue.h"

#include <QObject>
#include <QSet>
#include <QThreadPool>
#include <atomic>
#include <memory>

class KivViewItem;

// Writes tags into the pictures' metadata on a worker, so that no picture file is
// rewritten on the window's thread. Every tag is noted in the catalogue's queue before
// it is written (MetadataQueue): what a crash or a close leaves unwritten is written at
// the next start.
class MetadataWriter : public QObject
{
    Q_OBJECT

public:
    explicit MetadataWriter(const QString &catalogueRoot, QObject *parent = nullptr);
    ~MetadataWriter() override;

    // Notes the record's tags and has them written. The records of one pass of the
    // event loop are noted together; a failure to note them is told through failed().
    void enqueue(const KivViewItem &record, TagMetadata::Target target);
    // Writes what is noted (at start-up: what the last run left).
    void start();
    // Stops after the picture being written; what is left stays noted.
    void stop();
    bool isBusy() const { return m_running; }
    MetadataQueue &queue() { return m_queue; }

Q_SIGNALS:
    // Pictures whose tags could not be written; each is told once per run.
    void failed(const QList<MetadataQueue::Failure> &failures);
    // Nothing is being written any more.
    void idle();

private:
    void flushBatch();

    MetadataQueue m_queue;
    QThreadPool m_pool;
    std::shared_ptr<std::atomic<bool>> m_stop;
    QList<MetadataQueue::Entry> m_batch;
    QSet<QString> m_told;
    bool m_running = false;
    bool m_again = false;
    bool m_batchScheduled = false;
};
