#pragma once

#include "kivgridview.h"

#include <QPixmap>
#include <memory>
#include <vector>

class KivViewItem;

// A strip of pictures side by side, one column per picture: the pictures a mail
// carries, the pictures just imported. The strip owns its records. Pressing a picture
// starts a copy drag of its file at once, so it can be dropped into an album.
class ImportTrayBar : public KivGridView
{
    Q_OBJECT

public:
    static constexpr int CellWidth = 50;
    static constexpr int CellHeight = 72;
    static constexpr QSize ThumbnailBox{40, 45};

    explicit ImportTrayBar(QWidget *parent = nullptr);
    ~ImportTrayBar() override;

    void add(std::unique_ptr<KivViewItem> record);
    int count() const { return int(m_records.size()); }
    KivViewItem *record(int index) const;
    QList<KivViewItem *> records() const;
    // The picture under a point of the viewport, or none.
    KivViewItem *recordAt(const QPoint &viewportPoint) const;

Q_SIGNALS:
    void AsknewPlayList();
    void insertPhotoToPl();
    void multiSelection();

public Q_SLOTS:
    void clear();

protected:
    void paintCell(QPainter *painter, int row, int column) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    std::vector<std::unique_ptr<KivViewItem>> m_records;
    QPixmap m_background;
};
