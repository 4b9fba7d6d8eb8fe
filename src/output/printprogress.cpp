#include "printprogress.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QPrinter>
#include <QProgressDialog>
#include <QThreadPool>
#include <QtConcurrent>

#include <atomic>

namespace PrintProgress {

PrintRun::Result print(QWidget *parent, const PrintRun &run, QPrinter &printer)
{
    QProgressDialog progress(parent);
    progress.setObjectName(QStringLiteral("progress printing"));
    progress.setWindowTitle(QStringLiteral("Printing"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const int total = run.pageCount() * (printer.supportsMultipleCopies() ? 1 : run.copies());
    progress.setRange(0, total);
    progress.setLabelText(QStringLiteral("Printing page 1 of %1...").arg(total));
    std::atomic<bool> stop{false};
    QObject::connect(&progress, &QProgressDialog::canceled, [&stop] { stop = true; });

    QFutureWatcher<PrintRun::Result> watcher;
    QEventLoop wait;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &wait, &QEventLoop::quit);
    // Told from the worker; shown on the window's thread.
    QObject::connect(&watcher, &QFutureWatcherBase::progressValueChanged, &progress, [&progress, total](int done) {
        progress.setValue(done);
        progress.setLabelText(QStringLiteral("Printing page %1 of %2...").arg(qMin(done + 1, total)).arg(total));
    });
    // A thread of its own: the shared pool's threads also serve the window's painting,
    // which would wait behind a print that takes minutes.
    QThreadPool thread;
    thread.setMaxThreadCount(1);
    watcher.setFuture(QtConcurrent::run(&thread, [&run, &printer, &stop](QPromise<PrintRun::Result> &promise) {
        promise.setProgressRange(0, 1 << 30);
        promise.addResult(run.print(printer, [&promise, &stop](int done, int) {
            promise.setProgressValue(done);
            return !stop.load();
        }));
    }));
    progress.show();
    if (!watcher.isFinished())
        wait.exec();
    watcher.waitForFinished();
    progress.hide();
    return watcher.result();
}

} // namespace PrintProgress
