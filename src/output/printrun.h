#pragma once

#include "pagecomposition.h"

#include <QFuture>
#include <QString>
#include <QStringList>

#include <functional>

class QPrinter;
class QThreadPool;

// Prints pictures with a layout: every page of it, as many copies as asked, each picture
// once. A page's pictures are read at the resolution the page needs while the page
// before is drawn, so memory holds two pages' pictures at most, whatever the album.
// print() may run on a worker thread (painting on a printer is allowed there).
class PrintRun
{
public:
    // Pixels a unit of the page (96 to the inch): pictures are printed at about 300 dpi.
    static constexpr qreal PixelsPerUnit = 3.0;

    struct Result
    {
        bool printed = false;
        bool cancelled = false;
        int pages = 0;   // pages given to the printer, copies included
        QString error;   // what went wrong, for the user
        QStringList unreadable;  // pictures that could not be read: their cells are blank
    };
    // Told after each page: pages done and pages in all; false stops the print.
    using Progress = std::function<bool(int done, int total)>;

    PrintRun(const QStringList &paths, PageComposition::Layout layout, PageComposition::Dimension mode,
             int copies = 1);

    const QStringList &paths() const { return m_paths; }
    PageComposition::Layout layout() const { return m_layout; }
    PageComposition::Dimension mode() const { return m_mode; }
    int copies() const { return m_copies; }
    // Pages of one copy.
    int pageCount() const;
    // The pictures of `page` read for a page of `pageSize` units.
    QList<PageComposition::Picture> loadPage(int page, const QSize &pageSize) const;

    // Prints on `printer`. A PDF file is written beside its name first and takes its
    // place only once complete: a failed or cancelled print leaves what was there.
    Result print(QPrinter &printer, const Progress &progress = {}) const;

private:
    // Starts reading the pictures of `page` on `pool`.
    QFuture<PageComposition::Picture> startPage(QThreadPool *pool, int page, const QSize &pageSize) const;
    Result paintAll(QPrinter &printer, const Progress &progress) const;

    QStringList m_paths;
    PageComposition::Layout m_layout;
    PageComposition::Dimension m_mode;
    int m_copies;
};
