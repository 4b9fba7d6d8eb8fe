#pragma once

#include <QFutureWatcher>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSize>
#include <QStringList>

// The pictures of a slideshow, decoded at the size of the screen on worker threads: a
// 24-megapixel photograph is read at screen size (the JPEG reader scales while it
// decodes), and the next picture is prepared while the current one shows. Images are
// made on the workers; the show turns them into pixmaps on the window's thread.
class SlidePictures : public QObject
{
    Q_OBJECT

public:
    // A decode still running when the show ends finishes on its worker, unwatched.
    explicit SlidePictures(const QSize &screen, QObject *parent = nullptr);

    // Starts decoding `path` unless it is ready or under way.
    void prepare(const QString &path);
    bool isReady(const QString &path) const;
    // The decoded picture (null when it could not be read); only once it is ready.
    QImage image(const QString &path) const;
    // Forgets every picture but these (a finished decode of another is dropped).
    void keepOnly(const QStringList &paths);

    // `path` decoded to fit within `screen`, turned as its orientation says; null when it
    // cannot be read (not a picture, too large for the allocation limit, damaged).
    static QImage decode(const QString &path, const QSize &screen);

Q_SIGNALS:
    void ready(const QString &path);

private:
    QSize m_screen;
    QHash<QString, QFutureWatcher<QImage> *> m_jobs;
};
