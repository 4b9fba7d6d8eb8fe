#include "thumbnailloader.h"

#include "thumbnailmaker.h"

#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QThread>

ThumbnailLoader::ThumbnailLoader(QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(qMax(1, QThread::idealThreadCount()));
}

ThumbnailLoader::~ThumbnailLoader()
{
    cancel();
    m_pool.waitForDone();
}

void ThumbnailLoader::cancel()
{
    if (m_cancelled)
        m_cancelled->store(true);
    m_pending = 0;
}

void ThumbnailLoader::start(const QList<Job> &jobs)
{
    cancel();
    if (jobs.isEmpty()) {
        Q_EMIT finished();
        return;
    }
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_cancelled = cancelled;
    m_pending = int(jobs.size());
    auto next = std::make_shared<std::atomic<int>>(0);
    const QPointer<ThumbnailLoader> self(this);
    // Each worker takes the next job in album order, so thumbnails arrive in that order.
    auto work = [jobs, next, cancelled, self] {
        for (int i = next->fetch_add(1); i < jobs.size() && !cancelled->load(); i = next->fetch_add(1)) {
            const Job &job = jobs.at(i);
            QImage thumbnail;
            // A thumbnail older than its picture shows what the picture was: the
            // picture was edited since, or replaced by another of the same name.
            const QFileInfo stored(job.thumbnailPath);
            const QFileInfo picture(job.picturePath);
            if (stored.isFile() && !(picture.isFile() && picture.lastModified() > stored.lastModified()))
                thumbnail = QImageReader(job.thumbnailPath).read();
            bool made = false;
            QSize size;
            TagMetadata::Tags tags;
            // The picture's time goes with every thumbnail, read or made: a cached
            // thumbnail older than its picture is not used again.
            QDateTime time = picture.isFile() ? picture.lastModified() : QDateTime();
            if (thumbnail.isNull()) {
                ThumbnailMaker::Result result;
                if (job.preview)
                    result = ThumbnailMaker::fromPreview(job.picturePath);
                if (!result.loaded)
                    result = ThumbnailMaker::make(job.picturePath, false);
                thumbnail = result.image;
                if (result.loaded) {
                    made = true;
                    size = result.pictureSize;
                    time = result.fileTime;
                    ThumbnailMaker::save(thumbnail, job.thumbnailPath);
                    if (job.readTags)
                        tags = TagMetadata::read(job.picturePath).tags;
                }
            }
            if (cancelled->load())
                return;
            QMetaObject::invokeMethod(
                self,
                [self, cancelled, i, thumbnail, size, time, made, tags] {
                    if (!self || cancelled->load())
                        return;
                    Q_EMIT self->ready(i, thumbnail, size, time, made, tags);
                    if (--self->m_pending == 0)
                        Q_EMIT self->finished();
                },
                Qt::QueuedConnection);
        }
    };
    for (int t = 0; t < m_pool.maxThreadCount(); ++t)
        m_pool.start(work);
}
