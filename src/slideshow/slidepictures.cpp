#include "slidepictures.h"
#include "imageeffects.h"

#include <QImageReader>
#include <QtConcurrent>

SlidePictures::SlidePictures(const QSize &screen, QObject *parent)
    : QObject(parent)
    , m_screen(screen)
{
}

QImage SlidePictures::decode(const QString &path, const QSize &screen)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize stored = reader.size();
    if (stored.isValid()) {
        // The reader scales before it turns the picture: a picture standing on its side
        // is fitted with the screen's sides swapped.
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        const QSize room = turned ? screen.transposed() : screen;
        const QSize fitted = ImageEffects::fittedSize(stored, room);
        if (fitted != stored && reader.supportsOption(QImageIOHandler::ScaledSize))
            reader.setScaledSize(fitted);
    }
    QImage image = reader.read();
    if (image.isNull())
        return image;
    // Readers that cannot scale while decoding: scaled here, still on the worker.
    const QSize fitted = ImageEffects::fittedSize(image.size(), screen);
    if (fitted != image.size())
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return image;
}

void SlidePictures::prepare(const QString &path)
{
    if (path.isEmpty() || m_jobs.contains(path))
        return;
    auto *job = new QFutureWatcher<QImage>(this);
    m_jobs.insert(path, job);
    connect(job, &QFutureWatcherBase::finished, this, [this, path] { Q_EMIT ready(path); });
    job->setFuture(QtConcurrent::run(&SlidePictures::decode, path, m_screen));
}

bool SlidePictures::isReady(const QString &path) const
{
    const QFutureWatcher<QImage> *job = m_jobs.value(path);
    return job && job->isFinished();
}

QImage SlidePictures::image(const QString &path) const
{
    const QFutureWatcher<QImage> *job = m_jobs.value(path);
    return job && job->isFinished() ? job->result() : QImage();
}

void SlidePictures::keepOnly(const QStringList &paths)
{
    for (auto it = m_jobs.begin(); it != m_jobs.end();) {
        if (paths.contains(it.key())) {
            ++it;
            continue;
        }
        QFutureWatcher<QImage> *job = it.value();
        job->disconnect(this);
        // A watcher must outlive its running decode; it goes once that ends.
        if (job->isFinished())
            job->deleteLater();
        else
            connect(job, &QFutureWatcherBase::finished, job, &QObject::deleteLater);
        it = m_jobs.erase(it);
    }
}
