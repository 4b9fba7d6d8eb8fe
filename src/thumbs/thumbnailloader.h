#pragma once

#include "tagmetadata.h"

#include <QDateTime>
#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <memory>

// Brings the thumbnails of an opened album in on worker threads, in album order, so
// that opening an album never blocks the window. A thumbnail file that exists is read;
// a missing one is made from the picture and written to the album folder, so it
// survives the next start. Results arrive on the window's thread through ready().
class ThumbnailLoader : public QObject
{
    Q_OBJECT

public:
    struct Job
    {
        QString thumbnailPath;  // the album folder's thumbnail file
        QString picturePath;    // the picture, to make a missing thumbnail from
        // Read the picture's own tags too when its thumbnail is made (a picture new to
        // the catalogue).
        bool readTags = false;
        // Make a missing thumbnail from the picture's embedded preview when it has a
        // fitting one ("Fast Thumbs").
        bool preview = false;
    };

    explicit ThumbnailLoader(QObject *parent = nullptr);
    ~ThumbnailLoader() override;

    // Starts loading; a run still going is cancelled first. Job i reports as index i.
    void start(const QList<Job> &jobs);
    void cancel();
    bool isRunning() const { return m_pending > 0; }

Q_SIGNALS:
    // `made`: the thumbnail was made from the picture (and written), `pictureSize` and
    // `fileTime` are then the picture's, and `tags` its own tags when the job asked.
    void ready(int index, const QImage &thumbnail, const QSize &pictureSize, const QDateTime &fileTime, bool made,
               const TagMetadata::Tags &tags);
    void finished();

private:
    QThreadPool m_pool;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    int m_pending = 0;
};
