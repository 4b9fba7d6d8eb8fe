#include "thumbsview.h"

#include "dropcopy.h"

#include "kivviewitem.h"
#include "photoitem.h"
#include "pixmaplookup.h"
#include "thumbspreferences.h"

#include <QApplication>
#include <QDir>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>

namespace {

const QColor kBackground(238, 238, 238);
const char *const kUserBadges[] = {"badge-special.png", "badge-ok.png",         "badge-important.png",
                                   "badge-urgent.png",  "badge-no.png",         "userbadge-toprint.png",
                                   "userbadge-toemail.png"};

} // namespace

thumbsView::thumbsView(QWidget *parent, const QString &name)
    : KivGridView(parent)
{
    setObjectName(name);
    setCellWidth(133);
    setCellHeight(140);
    viewport()->setMouseTracking(true);
    setGridMargins(3, 3);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kBackground);
    colours.setColor(QPalette::Base, kBackground);
    setPalette(colours);
    viewport()->setPalette(colours);
    viewport()->setAutoFillBackground(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    QApplication::setStartDragTime(1000);
}

void thumbsView::setFrame(const QString &name)
{
    m_frameName = name;
    m_frame = kivPixmap(name + QStringLiteral(".png"));
    m_selectedFrame = kivPixmap(name + QStringLiteral("-selected.png"));
}

void thumbsView::loadFrameFromPreferences()
{
    if (m_pref)
        setFrame(m_pref->frame());
}

void thumbsView::appendItem(KivViewItem *item)
{
    m_items.append(item);
}

void thumbsView::removeItem(KivViewItem *item)
{
    m_items.removeAll(item);
    for (KivViewItem **p : {&m_current, &m_anchor, &m_pressed, &m_hovered, &m_repaintItem}) {
        if (*p == item)
            *p = nullptr;
    }
}

void thumbsView::clear()
{
    m_items.clear();
    m_current = m_anchor = m_pressed = m_hovered = m_repaintItem = nullptr;
    // The multiple selection outlives the pictures shown: the tray still holds it, and
    // the next plain click, in whatever album, ends it and empties the tray.
    setNumRows(0);
    setNumCols(0);
    scrollToOrigin();
    viewport()->update();
}

void thumbsView::arrange(bool reload, QTreeWidgetItem *album, int from)
{
    if (reload) {
        clear();
        Q_EMIT librarySelected(album);
        return;
    }
    const int columns = viewport()->width() / cellWidth();
    // Every picture gone (all removed): no rows left for the scroll bar to count.
    if (m_items.isEmpty())
        setNumRows(0);
    for (int i = qMax(0, from); i < m_items.size(); ++i) {
        KivViewItem *item = m_items.at(i);
        if (i == 0) {
            setNumRows(1);
            setNumCols(columns);
            item->setCell(0, 0);
            continue;
        }
        // The record standing just before this one in the list: looking it up by file
        // name would find another picture when two share a name (search results and
        // All Photos hold pictures of several albums), and both would take one cell.
        const KivViewItem *before = m_items.at(i - 1);
        if (before->column() < numCols() - 1) {
            item->setCell(before->column() + 1, before->row());
        } else {
            setNumRows(numRows() + 1);
            item->setCell(before->column() - numCols() + 1, before->row() + 1);
        }
    }
    viewport()->update();
}

int thumbsView::firstIndexInSight() const
{
    return qMax(0, rowAt(contentsY())) * qMax(1, numCols());
}

int thumbsView::cellsInSight() const
{
    return (viewport()->height() / qMax(1, cellHeight()) + 2) * qMax(1, numCols());
}

void thumbsView::resizeEvent(QResizeEvent *event)
{
    KivGridView::resizeEvent(event);
    // A wider or narrower window holds another number of cells per row: the pictures
    // flow again, and the one the user works on stays in sight.
    if (m_items.isEmpty() || viewport()->width() / cellWidth() == numCols())
        return;
    arrange(false, nullptr);
    if (m_current)
        ensureCellVisible(m_current->row(), m_current->column());
}

void thumbsView::repaintAll()
{
    for (const KivViewItem *item : std::as_const(m_items))
        repaintCell(item->row(), item->column(), false);
}

KivViewItem *thumbsView::itemAt(int row, int column) const
{
    if (row < 0 || column < 0 || column >= numCols())
        return nullptr;
    // Cells are given in list order, row by row: the index follows from the cell.
    const int guess = row * numCols() + column;
    if (guess < m_items.size() && m_items.at(guess)->row() == row && m_items.at(guess)->column() == column)
        return m_items.at(guess);
    for (KivViewItem *item : m_items) {
        if (item->row() == row && item->column() == column)
            return item;
    }
    return nullptr;
}

int thumbsView::indexOfName(const KivViewItem *item) const
{
    if (!item)
        return -1;
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i) == item)
            return i;
    }
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i)->fileName() == item->fileName())
            return i;
    }
    return -1;
}

KivViewItem *thumbsView::previousItem(const KivViewItem *item) const
{
    if (!item)
        return nullptr;
    // The record itself first: two pictures of several albums may share a file name.
    if (const qsizetype i = m_items.indexOf(item); i >= 0)
        return i > 0 ? m_items.at(i - 1) : nullptr;
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i)->fileName() == item->fileName())
            return i > 0 ? m_items.at(i - 1) : nullptr;
    }
    return nullptr;
}

KivViewItem *thumbsView::nextItem(const KivViewItem *item) const
{
    if (!item)
        return nullptr;
    // The record itself first: two pictures of several albums may share a file name.
    if (const qsizetype i = m_items.indexOf(item); i >= 0)
        return i + 1 < m_items.size() ? m_items.at(i + 1) : nullptr;
    for (int i = 0; i < m_items.size(); ++i) {
        if (m_items.at(i)->fileName() == item->fileName())
            return i + 1 < m_items.size() ? m_items.at(i + 1) : nullptr;
    }
    return nullptr;
}

QPixmap thumbsView::thumbnailOf(const QString &fileName) const
{
    if (fileName.isEmpty())
        return {};
    for (const KivViewItem *item : m_items) {
        if (item->fileName() == fileName)
            return item->thumbnail();
    }
    return {};
}

QDateTime thumbsView::dateOf(const QString &fileName) const
{
    for (const KivViewItem *item : m_items) {
        if (item->fileName() == fileName)
            return item->fileTime();
    }
    return {};
}

KivViewItem *thumbsView::itemByPath(const QString &path) const
{
    for (KivViewItem *item : m_items) {
        QString folder = item->sourceFolder();
        folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
        if (folder + QLatin1Char('/') + item->fileName() == path)
            return item;
    }
    return nullptr;
}

KivViewItem *thumbsView::itemByCellText(const QString &text) const
{
    if (!text.contains(QLatin1Char('|')) || text.size() < 3)
        return nullptr;
    const int column = text.at(text.size() - 3).digitValue();
    const int row = text.at(text.size() - 1).digitValue();
    return itemAt(row, column);
}

void thumbsView::moveUp(KivViewItem *a, KivViewItem *b)
{
    if (!a || !b)
        return;
    const int ar = a->row(), ac = a->column();
    a->setCell(b->column(), b->row());
    b->setCell(ac, ar);
    repaintItem(a);
    repaintItem(b);
    const int ia = int(m_items.indexOf(a)), ib = int(m_items.indexOf(b));
    if (ia >= 0 && ib >= 0)
        m_items.swapItemsAt(ia, ib);
}

void thumbsView::moveDown(KivViewItem *a, KivViewItem *b)
{
    moveUp(a, b);
}

void thumbsView::copyProperties(const KivViewItem *from, KivViewItem *to)
{
    if (!from || !to)
        return;
    to->setTitle(from->title());
    to->setFileName(from->fileName());
    to->setAuthor(from->author());
    to->setCategory(from->category());
    to->setComment(from->comment());
    to->setDate(from->date());
    to->setFileType(from->fileType());
    to->setFormat(from->format());
    to->setFrom(from->from());
    to->setLove(from->love());
    to->setSourceFolder(from->sourceFolder());
    to->setThumbnail(from->thumbnail());
    to->setUserBadge(from->userBadge());
    const auto *photoFrom = dynamic_cast<const PhotoItem *>(from);
    auto *photoTo = dynamic_cast<PhotoItem *>(to);
    if (photoFrom && photoTo) {
        photoTo->setFlag(photoFrom->flag());
        photoTo->setPersonInit(photoFrom->personInit());
        photoTo->setPlace(photoFrom->place());
    }
}

std::unique_ptr<KivViewItem> thumbsView::replaceItem(const KivViewItem *old, const KivViewItem *replacement)
{
    if (!old || !replacement)
        return nullptr;
    for (int i = 0; i < m_items.size(); ++i) {
        KivViewItem *standing = m_items.at(i);
        if (standing->fileName() != replacement->fileName())
            continue;
        auto fresh = std::make_unique<PhotoItem>(QStringLiteral("temp"));
        copyProperties(replacement, fresh.get());
        fresh->setCell(standing->column(), standing->row());
        fresh->setSelected(false);
        fresh->setThumbnail(old->thumbnail());
        removeItem(standing);
        m_items.insert(i, fresh.get());
        repaintItem(fresh.get());
        return fresh;
    }
    return nullptr;
}

void thumbsView::repaintItem(const KivViewItem *item)
{
    if (item)
        repaintCell(item->row(), item->column());
}

void thumbsView::KivRepaintCell()
{
    repaintItem(m_repaintItem);
}

QList<thumbsView::Badge> thumbsView::badgesFor(const KivViewItem *item) const
{
    QList<Badge> badges;
    int x = 5;
    if (const_cast<KivViewItem *>(item)->hasProperties()) {
        badges.append({QStringLiteral("badge-info.png"), QPoint(x, 96)});
        x += kivPixmap(QStringLiteral("badge-info.png")).width() + 1;
    }
    const int heart = kivPixmap(QStringLiteral("favorites.png")).width();
    const bool showAll = m_pref && m_pref->showAllFavorites();
    if (!showAll) {
        if (item->love() == 5) {
            badges.append({QStringLiteral("favorites.png"), QPoint(x, 98)});
            x += heart + 1;
        }
    } else if (item->love() != 1) {
        for (int i = 0; i < item->love(); ++i)
            badges.append({QStringLiteral("favorites.png"), QPoint(x + 15 * i, 98)});
        x += heart + 1;
    }
    if (item->isCopied())
        badges.append({QStringLiteral("badge-clip.png"), QPoint(97, 100)});
    const int badge = item->userBadge();
    if (badge >= 0 && badge <= 6)
        badges.append({QLatin1String(kUserBadges[badge]), QPoint(badge >= 5 ? 98 : 107, 0)});
    return badges;
}

QPixmap thumbsView::userBadgePixmap(int badge)
{
    if (badge < 0 || badge > 6)
        return QPixmap();
    return kivPixmap(QLatin1String(kUserBadges[badge]));
}

QString thumbsView::shownName(const QString &caption, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(caption) <= width)
        return caption;
    // A whole name is shortened in its middle (its start and extension kept); a caption
    // already cut short has its "..." made one ellipsis, kept when the rest fits.
    if (caption.endsWith(QLatin1String("...")))
        return metrics.elidedText(caption.chopped(3) + QChar(0x2026), Qt::ElideRight, width);
    return metrics.elidedText(caption, Qt::ElideMiddle, width);
}

void thumbsView::paintCell(QPainter *p, int row, int column)
{
    p->setClipRect(QRect(0, 0, cellWidth(), cellHeight()));
    p->setPen(Qt::black);
    KivViewItem *item = itemAt(row, column);
    if (!item)
        return;
    const bool frame = !m_pref || m_pref->paintFrame();
    const bool names = m_pref && m_pref->viewFileName();
    const QRect nameRect(0, 125, 125, 20);
    const int nameFlags = Qt::AlignHCenter | Qt::AlignJustify | Qt::TextWordWrap;
    // The cell has room for one line of name. A name wider than the cell would wrap, its
    // first line spread letter by letter across the cell and the rest cut off: it is
    // shortened instead, in its middle for a whole name (its start and extension kept),
    // at its end for a caption already cut short ("...").
    auto drawName = [&] {
        const QString caption = item->caption();
        const QFontMetrics metrics = p->fontMetrics();
        if (metrics.horizontalAdvance(caption) <= nameRect.width())
            p->drawText(nameRect, nameFlags, caption);
        else
            p->drawText(nameRect, Qt::AlignHCenter, shownName(caption, metrics, nameRect.width()));
    };
    auto drawBadges = [&] {
        for (const Badge &badge : badgesFor(item))
            p->drawPixmap(badge.position, kivPixmap(badge.picture));
    };
    auto drawTitle = [&] {
        const QString title = item->title();
        if (title.isEmpty() || title == QLatin1String(" "))
            return;
        QFont normal = p->font();
        normal.setBold(false);
        p->setFont(normal);
        p->setPen(QColor(0, 0, 120));
        p->drawText(QRect(0, 4, m_frame.isNull() ? cellWidth() : m_frame.width(), 20),
                    Qt::AlignHCenter | Qt::AlignJustify, title);
        p->setPen(Qt::black);
    };

    if (!m_hoverPainted && !item->isSelected() && item == m_hovered) {
        // The picture under the mouse, drawn enlarged once.
        if (frame)
            p->drawPixmap(0, 0, m_frame);
        if (!item->thumbnail().isNull())
            p->drawPixmap(0, 0, item->thumbnail().scaled(121, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        if (names)
            drawName();
        drawBadges();
        m_hoverPainted = true;
        return;
    }
    if (item->isSelected()) {
        if (frame)
            p->drawPixmap(0, 0, m_selectedFrame);
        p->setPen(QColor(0, 0, 127));
        QFont bold = p->font();
        bold.setBold(true);
        p->setFont(bold);
        if (names)
            drawName();
        drawTitle();
        drawBadges();
        m_anchor = item;
    } else {
        if (frame)
            p->drawPixmap(0, 0, m_frame);
        if (names)
            drawName();
        drawTitle();
        drawBadges();
    }
    const QPixmap thumb = item->thumbnail();
    if (!thumb.isNull())
        p->drawPixmap(108 - thumb.width(), 93 - thumb.height(), thumb);
    p->setClipping(false);
}

KivViewItem *thumbsView::itemAtContents(const QPoint &contents) const
{
    return itemAt(rowAt(contents.y()), columnAt(contents.x()));
}

void thumbsView::select(KivViewItem *item)
{
    item->setSelected(true);
    Q_EMIT currentChanged(item);
    m_current = item;
    if (!m_ctrl && m_multiple) {
        clearSelection();
        return;
    }
    if (m_ctrl) {
        m_multiple = true;
        if (m_shift && m_anchor) {
            const KivViewItem *anchor = m_anchor;
            const int fromRow = anchor->row(), toRow = item->row();
            if (item->column() > anchor->column()) {
                for (int r = fromRow; r <= toRow; ++r)
                    for (int c = anchor->column() + 1; c <= item->column(); ++c)
                        selectCell(c, r);
            } else {
                for (int r = fromRow; r <= toRow; ++r)
                    for (int c = item->column(); c <= anchor->column(); ++c)
                        selectCell(c, r);
            }
        }
    }
    if (!m_ctrl && m_anchor && m_anchor != item) {
        m_anchor->setSelected(false);
        repaintItem(m_anchor);
    }
    // The anchor is also set when the selected cell is drawn; setting it here keeps
    // key moves right when several come before the next paint.
    m_anchor = item;
}

void thumbsView::selectCell(int column, int row)
{
    setFocus();
    KivViewItem *item = itemAt(row, column);
    if (item && !item->isSelected()) {
        select(item);
        repaintCell(row, column);
        ensureCellVisible(row, column);
    }
}

void thumbsView::clearSelection()
{
    if (m_anchor && !m_ctrl) {
        m_anchor->setSelected(false);
        repaintItem(m_anchor);
    }
    if (m_multiple) {
        for (KivViewItem *item : std::as_const(m_items)) {
            if (item->isSelected()) {
                item->setSelected(false);
                repaintItem(item);
            }
        }
        m_multiple = false;
    }
}

void thumbsView::selectAll()
{
    if (m_items.isEmpty())
        return;
    for (KivViewItem *item : std::as_const(m_items))
        item->setSelected(true);
    // The next plain click ends this selection, as it ends one made by Ctrl-clicks.
    m_multiple = true;
    if (!m_anchor)
        m_anchor = m_items.first();
    if (!m_current)
        m_current = m_anchor;
    viewport()->update();
}

QList<KivViewItem *> thumbsView::selectedItems() const
{
    QList<KivViewItem *> selected;
    for (KivViewItem *item : m_items) {
        if (item->isSelected())
            selected.append(item);
    }
    return selected;
}

bool thumbsView::viewportEvent(QEvent *event)
{
    // Drags and drops arrive at the viewport; the view handles them itself.
    switch (event->type()) {
    case QEvent::DragEnter:
        dragEnterEvent(static_cast<QDragEnterEvent *>(event));
        return true;
    case QEvent::DragMove:
        dragMoveEvent(static_cast<QDragMoveEvent *>(event));
        return true;
    case QEvent::Drop:
        dropEvent(static_cast<QDropEvent *>(event));
        return true;
    default:
        return KivGridView::viewportEvent(event);
    }
}

void thumbsView::mousePressEvent(QMouseEvent *event)
{
    // The click says which keys are held: the keyboard focus may be elsewhere (the
    // search bar), where this view never sees Ctrl or Shift go down or up.
    const Qt::KeyboardModifiers keys = event->modifiers();
    const bool ctrl = keys & (Qt::ControlModifier | Qt::ShiftModifier);
    const bool announce = ctrl && !m_ctrl;
    m_ctrl = ctrl;
    m_shift = keys & Qt::ShiftModifier;
    if (announce)
        Q_EMIT multiSelection();
    m_buttonDown = true;
    m_pressPos = viewportToContents(event->position().toPoint());
    if (!m_ctrl && m_multiple) {
        clearSelection();
        Q_EMIT cleartray();
    } else if (m_anchor) {
        if (m_ctrl) {
            m_multiple = true;
        } else {
            m_anchor->setSelected(false);
            repaintItem(m_anchor);
        }
    }
    const int row = rowAt(m_pressPos.y()), column = columnAt(m_pressPos.x());
    m_pressed = itemAt(row, column);
    if (m_pressed)
        select(m_pressed);
    else
        Q_EMIT currentChanged(nullptr);
    repaintCell(row, column);
    if (event->button() == Qt::RightButton)
        Q_EMIT contextMenuRequested(m_pressed, event->globalPosition().toPoint());
}

void thumbsView::mouseReleaseEvent(QMouseEvent *)
{
    m_buttonDown = false;
}

void thumbsView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (KivViewItem *item = itemAtContents(viewportToContents(event->position().toPoint())))
        Q_EMIT doubleClicked(item);
}

void thumbsView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint contents = viewportToContents(event->position().toPoint());
    KivViewItem *under = itemAtContents(contents);
    if (m_hovered && m_hovered->isHighlighted() && m_hovered != under) {
        m_hovered->setHighlighted(false);
        m_hoverPainted = true;
        repaintItem(m_hovered);
        m_hovered = nullptr;
    }
    if (under && !under->isHighlighted() && !under->isSelected()) {
        m_hoverPainted = false;
        m_hovered = under;
        under->setHighlighted(true);
        repaintItem(under);
    }
    if (m_buttonDown && (contents - m_pressPos).manhattanLength() > QApplication::startDragDistance())
        startDrag(m_pressed);  // the picture pressed on, wherever the pointer is now
}

void thumbsView::leaveEvent(QEvent *event)
{
    KivGridView::leaveEvent(event);
    m_hoverPainted = true;
    if (m_hovered) {
        m_hovered->setHighlighted(false);
        m_hovered = nullptr;
    }
    viewport()->update();
}

void thumbsView::startDrag(KivViewItem *item)
{
    if (!m_pressed || !item)
        return;
    auto *drag = new QDrag(this);
    drag->setObjectName(QStringLiteral("dragitem"));
    auto *data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(QDir(item->sourceFolder()).filePath(item->fileName()))});
    drag->setMimeData(data);
    drag->setPixmap(item->thumbnail());
    drag->exec(Qt::CopyAction);
    m_buttonDown = false;
    m_repaintItem = nullptr;
}

void thumbsView::keyPressEvent(QKeyEvent *event)
{
    KivViewItem *current = m_current;
    if (event->matches(QKeySequence::SelectAll)) {
        m_selectAllRefused = false;
        Q_EMIT aboutToSelectAll();
        if (m_selectAllRefused)
            return;
        selectAll();
        Q_EMIT allSelected();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Control:
        m_ctrl = true;
        Q_EMIT multiSelection();
        return;
    case Qt::Key_Shift:
        m_ctrl = true;
        m_shift = true;
        Q_EMIT multiSelection();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Q_EMIT doubleClicked(current);
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        Q_EMIT removePhoto();
        return;
    case Qt::Key_0:
    case Qt::Key_1:
    case Qt::Key_2:
    case Qt::Key_3:
    case Qt::Key_4:
    case Qt::Key_5:
        Q_EMIT loveTyped(event->key() - Qt::Key_0);
        return;
    case Qt::Key_F2:
        Q_EMIT renameRequested();
        return;
    case Qt::Key_Up:
        if (current && current->row() > 0)
            selectCell(current->column(), current->row() - 1);
        return;
    case Qt::Key_Down:
        if (current && current->row() < numRows())
            selectCell(current->column(), current->row() + 1);
        return;
    case Qt::Key_Left:
        if (current && current->column() > 0)
            selectCell(current->column() - 1, current->row());
        return;
    case Qt::Key_Right:
        if (current && current->column() < numCols())
            selectCell(current->column() + 1, current->row());
        return;
    case Qt::Key_Home:
        selectCell(0, 0);
        return;
    case Qt::Key_End:
        if (!m_items.isEmpty())
            selectCell(m_items.last()->column(), m_items.last()->row());
        return;
    default:
        KivGridView::keyPressEvent(event);
    }
}

void thumbsView::keyReleaseEvent(QKeyEvent *event)
{
    m_ctrl = false;
    m_shift = false;
    KivGridView::keyReleaseEvent(event);
}

void thumbsView::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *data = event->mimeData();
    if (data->hasUrls() || data->hasImage() || data->hasText())
        acceptAsCopy(event);
    else
        event->ignore();
}

void thumbsView::dragMoveEvent(QDragMoveEvent *event)
{
    acceptAsCopy(event);
}

void thumbsView::dropEvent(QDropEvent *event)
{
    if (!acceptAsCopy(event))
        return;
    const QMimeData *data = event->mimeData();
    KivViewItem *target = itemAtContents(viewportToContents(event->position().toPoint()));
    if (data->hasUrls()) {
        QStringList files;
        for (const QUrl &url : data->urls()) {
            if (url.isLocalFile())
                files << url.toLocalFile();
        }
        Q_EMIT addFile(files, target);
    } else if (data->hasImage() && !qvariant_cast<QImage>(data->imageData()).isNull()) {
        Q_EMIT addImage(qvariant_cast<QImage>(data->imageData()));
    } else if (data->hasText() && target) {
        Q_EMIT itemDroped(target, data->text());
    }
}
