#include "kivgridview.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

KivGridView::KivGridView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
}

void KivGridView::setCellWidth(int width)
{
    m_cellWidth = qMax(1, width);
    updateScrollBars();
}

void KivGridView::setCellHeight(int height)
{
    m_cellHeight = qMax(1, height);
    updateScrollBars();
}

void KivGridView::setNumRows(int rows)
{
    m_rows = qMax(0, rows);
    updateScrollBars();
}

void KivGridView::setNumCols(int cols)
{
    m_cols = qMax(0, cols);
    updateScrollBars();
}

void KivGridView::setGridMargins(int left, int top)
{
    m_left = left;
    m_top = top;
    updateScrollBars();
}

int KivGridView::contentsX() const
{
    return horizontalScrollBar()->value();
}

int KivGridView::contentsY() const
{
    return verticalScrollBar()->value();
}

QPoint KivGridView::viewportToContents(const QPoint &p) const
{
    return p + QPoint(contentsX(), contentsY());
}

QRect KivGridView::cellGeometry(int row, int column) const
{
    return QRect(m_left + column * m_cellWidth, m_top + row * m_cellHeight, m_cellWidth, m_cellHeight);
}

int KivGridView::rowAt(int contentsY) const
{
    const int y = contentsY - m_top;
    const int row = y < 0 ? -1 : y / m_cellHeight;
    return row >= 0 && row < m_rows ? row : -1;
}

int KivGridView::columnAt(int contentsX) const
{
    const int x = contentsX - m_left;
    const int column = x < 0 ? -1 : x / m_cellWidth;
    return column >= 0 && column < m_cols ? column : -1;
}

void KivGridView::repaintCell(int row, int column, bool)
{
    if (row < 0 || column < 0)
        return;
    viewport()->update(cellGeometry(row, column).translated(-contentsX(), -contentsY()));
}

void KivGridView::ensureCellVisible(int row, int column)
{
    const QRect cell = cellGeometry(row, column);
    const int top = contentsY(), height = viewport()->height();
    if (cell.top() < top)
        verticalScrollBar()->setValue(cell.top());
    else if (cell.bottom() > top + height)
        verticalScrollBar()->setValue(cell.bottom() - height + 1);
}

void KivGridView::scrollToOrigin()
{
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void KivGridView::updateScrollBars()
{
    const QSize contents(m_left + m_cols * m_cellWidth, m_top + m_rows * m_cellHeight);
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, qMax(0, contents.width() - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setRange(0, qMax(0, contents.height() - view.height()));
    verticalScrollBar()->setPageStep(view.height());
    viewport()->update();
}

void KivGridView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
    Q_EMIT cellsInSightChanged();
}

void KivGridView::scrollContentsBy(int dx, int dy)
{
    QAbstractScrollArea::scrollContentsBy(dx, dy);
    Q_EMIT cellsInSightChanged();
}

void KivGridView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect dirty = event->rect();
    painter.fillRect(dirty, viewport()->palette().color(viewport()->backgroundRole()));
    const QRect visible = dirty.translated(contentsX(), contentsY());
    if (m_rows == 0 || m_cols == 0)
        return;
    const int firstRow = qMax(0, (visible.top() - m_top) / m_cellHeight);
    const int lastRow = qMin(m_rows - 1, (visible.bottom() - m_top) / m_cellHeight);
    const int firstCol = qMax(0, (visible.left() - m_left) / m_cellWidth);
    const int lastCol = qMin(m_cols - 1, (visible.right() - m_left) / m_cellWidth);
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstCol; column <= lastCol; ++column) {
            const QRect cell = cellGeometry(row, column).translated(-contentsX(), -contentsY());
            if (!cell.intersects(dirty))
                continue;
            painter.save();
            painter.translate(cell.topLeft());
            paintCell(&painter, row, column);
            painter.restore();
            ++m_painted;
        }
    }
}
