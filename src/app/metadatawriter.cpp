#include "metadatawriter.h"

#include "applog.h"
#include "kivviewitem.h"

#include <QPointer>
#include <QTimer>

MetadataWriter::MetadataWriter(const QString &catalogueRoot, QObject *parent)
    : QObject(parent)
    , m_queue(catalogueRoot)
    , m_stop(std::make_shared<std::atomic<bool>>(false))
{
    m_pool.setMaxThreadCount(1);
}

MetadataWriter::~MetadataWriter()
{
    stop();
}

void MetadataWriter::enqueue(const KivViewItem &record, TagMetadata::Target target)
{
    const QString picture = record.picturePath();
    if (picture.isEmpty())
        return;
    m_batch.append({picture, target, TagMetadata::fromRecord(record)});
    if (!m_batchScheduled) {
        m_batchScheduled = true;
        QTimer::singleShot(0, this, &MetadataWriter::flushBatch);
    }
}

void MetadataWriter::flushBatch()
{
    m_batchScheduled = false;
    const QList<MetadataQueue::Entry> batch = std::exchange(m_batch, {});
    const QString why = m_queue.add(batch);
    if (!why.isEmpty()) {
        QList<MetadataQueue::Failure> failures;
        for (const MetadataQueue::Entry &entry : batch)
            failures.append({entry.picture, why});
        Q_EMIT failed(failures);
        return;
    }
    start();
}

void MetadataWriter::start()
{
    if (m_stop->load())
        return;
    if (m_running) {
        m_again = true;
        return;
    }
    if (m_queue.count() == 0) {
        Q_EMIT idle();
        return;
    }
    m_running = true;
    m_again = false;
    const QPointer<MetadataWriter> self(this);
    auto stopFlag = m_stop;
    MetadataQueue *queue = &m_queue;
    m_pool.start([self, stopFlag, queue] {
        const QList<MetadataQueue::Failure> failures = queue->writePending([stopFlag] { return stopFlag->load(); });
        QMetaObject::invokeMethod(
            self,
            [self, failures] {
                if (!self)
                    return;
                self->m_running = false;
                QList<MetadataQueue::Failure> fresh;
                for (const MetadataQueue::Failure &failure : failures) {
                    qCWarning(lcApp) << "tags not written into" << failure.picture << ":" << failure.reason;
                    if (!self->m_told.contains(failure.picture)) {
                        self->m_told.insert(failure.picture);
                        fresh.append(failure);
                    }
                }
                if (!fresh.isEmpty())
                    Q_EMIT self->failed(fresh);
                if (self->m_again && !self->m_stop->load())
                    self->start();
                else
                    Q_EMIT self->idle();
            },
            Qt::QueuedConnection);
    });
}

void MetadataWriter::stop()
{
    // Tags noted in this pass of the event loop are noted before the end.
    if (!m_batch.isEmpty()) {
        const QString why = m_queue.add(std::exchange(m_batch, {}));
        if (!why.isEmpty())
            qCWarning(lcApp) << "tags could not be noted for writing:" << why;
    }
    m_stop->store(true);
    m_pool.waitForDone();
    m_running = false;
}
