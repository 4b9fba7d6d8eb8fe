#include "printrun.h"

#include "outputlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryFile>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>
#include <numeric>

using PageComposition::Picture;

PrintRun::PrintRun(const QStringList &paths, PageComposition::Layout layout, PageComposition::Dimension mode,
                   int copies)
    : m_paths(paths)
    , m_layout(layout)
    , m_mode(mode)
    , m_copies(qMax(1, copies))
{
}

int PrintRun::pageCount() const
{
    return PageComposition::pageCount(m_layout, int(m_paths.size()));
}

QFuture<Picture> PrintRun::startPage(QThreadPool *pool, int page, const QSize &pageSize) const
{
    const int per = PageComposition::perPage(m_layout);
    QList<std::pair<QString, QSize>> jobs;
    const QStringList paths = m_paths.mid(qsizetype(page) * per, per);
    for (int i = 0; i < paths.size(); ++i)
        jobs.append({paths.at(i), PageComposition::cell(m_layout, pageSize, PageComposition::pageMargins(), i).size()});
    const PageComposition::Dimension mode = m_mode;
    return QtConcurrent::mapped(pool, std::move(jobs), [mode](const std::pair<QString, QSize> &job) {
        return PageComposition::load(job.first, job.second, mode, PixelsPerUnit);
    });
}

QList<Picture> PrintRun::loadPage(int page, const QSize &pageSize) const
{
    QThreadPool pool;
    return startPage(&pool, page, pageSize).results();
}

namespace {

// Whether `path` holds a whole PDF: its last bytes end the file.
bool wholePdf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
        return false;
    file.seek(file.size() - qMin<qint64>(file.size(), 64));
    return file.readAll().contains("%%EOF");
}

// What a new file may do under this process's umask (read from the kernel: setting it
// to learn it would race with the other threads).
QFileDevice::Permissions newFilePermissions()
{
    int mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const int read = line.mid(6).trimmed().toInt(&ok, 8);
                if (ok)
                    mask = read;
            }
        }
    }
    const int mode = 0666 & ~mask;
    QFileDevice::Permissions permissions;
    const struct {
        int bit;
        QFileDevice::Permissions permission;
    } bits[] = {{0400, QFileDevice::ReadOwner | QFileDevice::ReadUser},
                {0200, QFileDevice::WriteOwner | QFileDevice::WriteUser},
                {0040, QFileDevice::ReadGroup},
                {0020, QFileDevice::WriteGroup},
                {0004, QFileDevice::ReadOther},
                {0002, QFileDevice::WriteOther}};
    for (const auto &bit : bits) {
        if (mode & bit.bit)
            permissions |= bit.permission;
    }
    return permissions;
}

PrintRun::Result refused(const QString &why)
{
    PrintRun::Result result;
    result.error = why;
    return result;
}

} // namespace

PrintRun::Result PrintRun::print(QPrinter &printer, const Progress &progress) const
{
    if (m_paths.isEmpty())
        return refused(QStringLiteral("There is no picture to print."));
    if (printer.outputFormat() != QPrinter::PdfFormat) {
        Result result = paintAll(printer, progress);
        if (result.cancelled)
            printer.abort();
        return result;
    }
    const QString named = printer.outputFileName();
    QString target = named;
    // A link is written through: the file it leads to is the one replaced.
    if (QFileInfo(target).isSymLink())
        target = QFileInfo(target).symLinkTarget();
    if (target.isEmpty())
        return refused(QStringLiteral("No printer is set up on this computer.\nChoose \"Select and setup printer\" to "
                                       "print into a PDF file."));
    const QFileInfo info(target);
    if (info.isDir())
        return refused(QStringLiteral("Cannot print into %1: it is a folder.").arg(target));
    // Written beside the target, in its folder, then renamed over it in one step.
    QTemporaryFile part(info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".XXXXXX"));
    if (!part.open())
        return refused(QStringLiteral("Cannot write a PDF file in %1:\n%2").arg(info.absolutePath(), part.errorString()));
    part.close();
    printer.setOutputFileName(part.fileName());
    Result result = paintAll(printer, progress);
    printer.setOutputFileName(named);
    if (!result.printed)
        return result;
    if (!wholePdf(part.fileName())) {
        result.printed = false;
        result.error = QStringLiteral("The PDF file could not be written whole (is the disk full?):\n") + target;
        return result;
    }
    // The permissions of the file it replaces, or those a new file gets; not the private
    // ones of a temporary file.
    QFile::setPermissions(part.fileName(), info.exists() ? QFile::permissions(target) : newFilePermissions());
    if (std::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(target).constData()) != 0) {
        result.printed = false;
        result.error = QStringLiteral("The PDF file could not take its place:\n") + target;
        return result;
    }
    part.setAutoRemove(false);
    return result;
}

PrintRun::Result PrintRun::paintAll(QPrinter &printer, const Progress &progress) const
{
    Result result;
    // A printer that makes copies itself is asked for them; otherwise each copy is
    // printed whole, one after the other.
    printer.setCopyCount(m_copies);
    const int copies = printer.supportsMultipleCopies() ? 1 : m_copies;
    QPainter painter;
    if (!painter.begin(&printer)) {
        result.error = printer.outputFormat() == QPrinter::PdfFormat
                           ? QStringLiteral("The PDF file cannot be written:\n") + printer.outputFileName()
                           : QStringLiteral("The printer \"%1\" cannot be used.").arg(printer.printerName());
        return result;
    }
    const QSize page(printer.width(), printer.height());
    const int pages = pageCount();
    // The pages in the order they go out. A printer that makes copies keeps its own
    // order and collation; for a file, the last page first when asked, and copies
    // collated (1 2 3, 1 2 3) or not (1 1, 2 2, 3 3) as the set-up dialog says.
    QList<int> order(pages);
    std::iota(order.begin(), order.end(), 0);
    if (!printer.supportsMultipleCopies() && printer.pageOrder() == QPrinter::LastPageFirst)
        std::reverse(order.begin(), order.end());
    QList<int> sequence;
    for (int i = 0; i < pages * copies; ++i)
        sequence << (printer.collateCopies() ? order.at(i % pages) : order.at(i / copies));
    const int total = int(sequence.size());
    const int per = PageComposition::perPage(m_layout);
    // The next page's pictures are read while this one is drawn, side by side on a pool
    // of this print's own (waiting on the shared pool from one of its threads could wait
    // for ever).
    QThreadPool pool;
    QFuture<Picture> loading = startPage(&pool, sequence.first(), page);
    QList<Picture> pictures;
    for (int done = 0; done < total; ++done) {
        // The same page again (copies not collated) keeps its pictures.
        if (done == 0 || sequence.at(done) != sequence.at(done - 1))
            pictures = loading.results();
        if (done + 1 < total && sequence.at(done + 1) != sequence.at(done))
            loading = startPage(&pool, sequence.at(done + 1), page);
        if (done > 0 && !printer.newPage()) {
            result.error = QStringLiteral("The printer stopped after %1 pages.").arg(done);
            break;
        }
        PageComposition::paint(painter, page, m_layout, m_mode, PageComposition::pageMargins(), pictures);
        for (int i = 0; i < pictures.size(); ++i) {
            const QString path = m_paths.at(sequence.at(done) * per + i);
            if (pictures.at(i).isNull() && !result.unreadable.contains(path))
                result.unreadable << path;
        }
        result.pages = done + 1;
        qCDebug(lcOutput) << "printed page" << done + 1 << "of" << total;
        if (progress && !progress(done + 1, total) && done + 1 < total) {
            result.cancelled = true;
            break;
        }
    }
    loading.waitForFinished();
    painter.end();
    if (result.error.isEmpty() && !result.cancelled && printer.printerState() == QPrinter::Error)
        result.error = QStringLiteral("The printer reported an error: nothing may have been printed.");
    result.printed = result.error.isEmpty() && !result.cancelled;
    return result;
}
