#include "importtraybar.h"

#include "kivviewitem.h"
#include "pixmaplookup.h"

#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

ImportTrayBar::ImportTrayBar(QWidget *parent)
    : KivGridView(parent)
    , m_background(kivPixmap(QStringLiteral("import-back.png")))
{
    setObjectName(QStringLiteral("ImportBarPhoto"));
    setCellWidth(CellWidth);
    setCellHeight(CellHeight);
    setNumRows(1);
    setNumCols(1);  // an empty bar shows one empty cell
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::StyledPanel);
}

ImportTrayBar::~ImportTrayBar() = default;

void ImportTrayBar::add(std::unique_ptr<KivViewItem> record)
{
    if (!record)
        return;
    m_records.push_back(std::move(record));
    setNumCols(count());
    viewport()->update();
}

KivViewItem *ImportTrayBar::record(int index) const
{
    return index >= 0 && index < count() ? m_records[size_t(index)].get() : nullptr;
}

QList<KivViewItem *> ImportTrayBar::records() const
{
    QList<KivViewItem *> list;
    for (const auto &record : m_records)
        list.append(record.get());
    return list;
}

KivViewItem *ImportTrayBar::recordAt(const QPoint &viewportPoint) const
{
    const QPoint at = viewportToContents(viewportPoint);
    if (rowAt(at.y()) != 0)
        return nullptr;
    return record(columnAt(at.x()));
}

void ImportTrayBar::clear()
{
    m_records.clear();
    setNumCols(1);
    viewport()->update();
}

void ImportTrayBar::paintCell(QPainter *painter, int, int column)
{
    painter->drawPixmap(0, 0, m_background);
    const KivViewItem *item = record(column);
    if (!item || item->thumbnail().isNull())
        return;
    const QPixmap thumbnail = item->thumbnail().scaled(ThumbnailBox, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    painter->drawPixmap(5, 22, thumbnail);
}

void ImportTrayBar::mousePressEvent(QMouseEvent *event)
{
    KivViewItem *item = event->button() == Qt::LeftButton ? recordAt(event->position().toPoint()) : nullptr;
    if (!item) {
        KivGridView::mousePressEvent(event);
        return;
    }
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(item->picturePath())});
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    if (!item->thumbnail().isNull())
        drag->setPixmap(item->thumbnail().scaled(ThumbnailBox, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}
