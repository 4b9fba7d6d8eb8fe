#pragma once

#include <QAbstractScrollArea>

// A grid of equal cells over a scroll area, the base of the thumbnail view, the
// pictures tray and the import bar. Cells are drawn one at a time by paintCell() with
// the painter at the cell's top-left corner; only the cells a repaint touches are drawn.
// "Contents" coordinates are those of the whole grid, scrolled or not.
class KivGridView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit KivGridView(QWidget *parent = nullptr);

    int cellWidth() const { return m_cellWidth; }
    int cellHeight() const { return m_cellHeight; }
    void setCellWidth(int width);
    void setCellHeight(int height);
    int numRows() const { return m_rows; }
    int numCols() const { return m_cols; }
    void setNumRows(int rows);
    void setNumCols(int cols);
    // Space around the grid inside the viewport.
    void setGridMargins(int left, int top);

    QRect cellGeometry(int row, int column) const;  // in contents coordinates
    int rowAt(int contentsY) const;                 // -1 outside the grid
    int columnAt(int contentsX) const;
    QPoint viewportToContents(const QPoint &p) const;
    int contentsX() const;
    int contentsY() const;

    // Repaints one cell (erasing its background first when `erase`).
    void repaintCell(int row, int column, bool erase = true);
    void ensureCellVisible(int row, int column);
    void scrollToOrigin();

    // How many cells were painted since the count was last reset (for tests and tuning).
    int paintedCells() const { return m_painted; }
    void resetPaintedCells() { m_painted = 0; }

Q_SIGNALS:
    // Other cells came into sight: the grid was scrolled or its viewport resized.
    void cellsInSightChanged();

protected:
    virtual void paintCell(QPainter *painter, int row, int column) = 0;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();

    int m_cellWidth = 100;
    int m_cellHeight = 100;
    int m_rows = 0;
    int m_cols = 0;
    int m_left = 0;
    int m_top = 0;
    int m_painted = 0;
};
