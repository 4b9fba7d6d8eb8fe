#include "progressloadprinter.h"

#include "kivviewitem.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QPromise>
#include <QThreadPool>
#include <QtConcurrent>

using PageComposition::Picture;

ProgressLoadPrinter::ProgressLoadPrinter(QWidget *parent)
    : QProgressDialog(parent)
{
    setObjectName(QStringLiteral("progress loading"));
    setWindowTitle(QStringLiteral("Loading pictures"));
    setWindowModality(Qt::WindowModal);
    setMinimumDuration(0);
    setAutoClose(false);
    setAutoReset(false);
}

void ProgressLoadPrinter::addPhoto(KivViewItem *item)
{
    if (item)
        m_paths << item->picturePath();
}

void ProgressLoadPrinter::addPhoto(const QString &folder, const QString &fileName)
{
    m_paths << (folder.endsWith(QLatin1Char('/')) ? folder + fileName : folder + QLatin1Char('/') + fileName);
}

QList<Picture> ProgressLoadPrinter::load()
{
    setRange(0, int(m_paths.size()));
    setValue(0);
    setLabelText(QStringLiteral("Loading the pictures to print..."));
    QFutureWatcher<Picture> watcher;
    QEventLoop wait;
    QList<Picture> pictures;
    connect(&watcher, &QFutureWatcherBase::resultReadyAt, this, [&](int index) {
        if (index != pictures.size())
            return;
        pictures << watcher.resultAt(index);
        setValue(index + 1);
        setLabelText(m_paths.at(index));
    });
    connect(&watcher, &QFutureWatcherBase::finished, &wait, &QEventLoop::quit);
    connect(this, &QProgressDialog::canceled, &watcher, &QFutureWatcherBase::cancel);
    const QStringList paths = m_paths;
    // A thread of its own, as the shared pool's threads also serve the window's painting.
    QThreadPool thread;
    thread.setMaxThreadCount(1);
    watcher.setFuture(QtConcurrent::run(&thread, [paths](QPromise<Picture> &promise) {
        for (const QString &path : paths) {
            if (promise.isCanceled())
                return;
            promise.addResult(PageComposition::loadPreview(path, PreviewSide));
        }
    }));
    show();
    if (!watcher.isFinished())
        wait.exec();
    watcher.waitForFinished();
    // Pictures read before the watcher told of them (a quick read ends before the loop
    // runs) are taken from the future itself, in order.
    const QFuture<Picture> future = watcher.future();
    for (int i = int(pictures.size()); i < future.resultCount() && future.isResultReadyAt(i); ++i)
        pictures << future.resultAt(i);
    hide();
    m_paths = m_paths.mid(0, pictures.size());
    return pictures;
}
