#pragma once

#include "pagecomposition.h"

#include <QProgressDialog>
#include <QStringList>

class KivViewItem;

// Reads the previews of the pictures to print on a worker thread, showing each path as
// it goes; Cancel stops the reading and keeps what was read. The window stays live.
class ProgressLoadPrinter : public QProgressDialog
{
    Q_OBJECT

public:
    // The longest side of a preview, in pixels.
    static constexpr int PreviewSide = 320;

    explicit ProgressLoadPrinter(QWidget *parent = nullptr);

    // Reads the queued pictures. Returns their previews in order (null for a picture
    // that cannot be read); after Cancel, those read so far, and paths() is cut to them.
    QList<PageComposition::Picture> load();
    const QStringList &paths() const { return m_paths; }

public Q_SLOTS:
    void addPhoto(KivViewItem *item);
    void addPhoto(const QString &folder, const QString &fileName);

private:
    QStringList m_paths;
};
