#include "librarylist.h"

#include "dropcopy.h"

#include "cataloguecontext.h"
#include "directoryplaylist.h"
#include "libraryindex.h"
#include "pixmaplookup.h"
#include "playlistgroup.h"
#include "prefimplementation.h"
#include "smartplaylist.h"

#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QSet>
#include <QSignalBlocker>

namespace {

const QColor kBrowseColour(210, 210, 210);
const QColor kHighlight(255, 236, 160);

template<typename Kind>
Kind *computed(QTreeWidgetItem *parentItem, QTreeWidget *list, const QString &title, const QString &name,
               const QString &key)
{
    Kind *album = parentItem ? new Kind(parentItem) : new Kind(list);
    album->setName(name);
    album->setTitle(title);
    album->setText(1, title);
    album->setText(2, key);
    album->setFlags(album->flags() & ~Qt::ItemIsEditable);
    album->setIcon(0, album->icon(false));
    return album;
}

} // namespace

libraryList::libraryList(QWidget *parent)
    : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("ListRoll"));
    setColumnCount(3);
    setHeaderLabels({QString(), QStringLiteral("Vellaro"), QStringLiteral("date")});
    setRootIsDecorated(true);
    // A narrow branch column leaves room for the album icons in column 0.
    setIndentation(12);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    m_iconTimer.setSingleShot(true);
    connect(&m_iconTimer, &QTimer::timeout, this, &libraryList::fitPendingIcons);
}

void libraryList::setUp(bool smallIcons)
{
    QFont times(QStringLiteral("Times"));
    times.setPointSize(10);
    setFont(times);
    QPalette colours = palette();
    colours.setColor(QPalette::Text, QColor(200, 200, 200));
    setPalette(colours);
    setColumnHidden(2, true);
    setColumnWidth(1, 144);
    setLargeIcons(!smallIcons);
    setColumnWidth(0, (smallIcons ? 38 : 40) + indentation());
}

bool libraryList::isSmartEntry(const QTreeWidgetItem *item)
{
    const auto *album = dynamic_cast<const PlayList *>(item);
    return album && album->isSmart();
}

bool libraryList::isYearRow(const QTreeWidgetItem *item)
{
    const auto *album = dynamic_cast<const PlayList *>(item);
    return album && album->className() == QLatin1String("GroupYear");
}

void libraryList::addComputedAlbums(const QStringList &subjects)
{
    m_all = computed<AllPhoto>(nullptr, this, QStringLiteral("All Photos"), QStringLiteral("AllItem"),
                               QStringLiteral("9999-99-99"));
    m_favorites = computed<Favorites>(nullptr, this, QStringLiteral("Favorits"), QStringLiteral("Favorits"),
                                      QStringLiteral("9998-99-99"));
    m_lastSearch = computed<Search>(nullptr, this, QStringLiteral("Last Search"), QStringLiteral("LastSearch"),
                                    QStringLiteral("9997-99-99"));
    m_stats = computed<Stats>(nullptr, this, QStringLiteral("Statistics"), QStringLiteral("Statistics"),
                              QStringLiteral("9996-99-99"));
    m_browse = computed<ByCategory>(nullptr, this, QStringLiteral("Browse By..."), QStringLiteral("Property"),
                                    QStringLiteral("9996-99-99"));
    m_bySubject = computed<ByCategory>(m_browse, this, QStringLiteral("By Subject"), QStringLiteral("Subject"),
                                       QStringLiteral("9996-99-99"));
    m_byCategory = computed<ByCategory>(m_browse, this, QStringLiteral("By Category"), QStringLiteral("Category"),
                                        QStringLiteral("9996-99-99"));
    const QStringList words{"Family", "Friends", "Sexy", "Art", "WallPaper", "Holidays", "People", "Others"};
    const QStringList names{"CategoryFamily", "CategoryFriends", "CategorySexy", "CategoryArt",
                            "CategoryWallPaper", "CategoryHolidays", "CategoryPeople", "CategoryOther"};
    for (int i = 0; i < words.size(); ++i) {
        auto *category = computed<CategoryPl>(m_byCategory, this, words.at(i) + QStringLiteral(" Category"),
                                              names.at(i), QStringLiteral("9996-99-99"));
        category->setKeyword(words.at(i));
        category->setAttribute(QStringLiteral("Category"));
        category->setBackgroundColour(kBrowseColour);
    }
    for (PlayList *entry : {static_cast<PlayList *>(m_browse), static_cast<PlayList *>(m_bySubject),
                            static_cast<PlayList *>(m_byCategory)})
        entry->setBackgroundColour(kBrowseColour);
    for (PlayList *album : {static_cast<PlayList *>(m_all), static_cast<PlayList *>(m_favorites),
                            static_cast<PlayList *>(m_lastSearch), static_cast<PlayList *>(m_stats)})
        album->setContext(m_context);
    rebuildSubjects(subjects);
}

void libraryList::rebuildSubjects(const QStringList &subjects)
{
    if (!m_bySubject)
        return;
    qDeleteAll(m_bySubject->takeChildren());
    for (const QString &subject : subjects) {
        if (subject == QLatin1String("Undefined"))
            continue;
        auto *entry = computed<BySubject>(m_bySubject, this, subject, subject, QStringLiteral("9996-99-99"));
        entry->setKeyword(subject);
        entry->setAttribute(QStringLiteral("Subject"));
        entry->setBackgroundColour(kBrowseColour);
    }
}

bool libraryList::isYearView() const
{
    return !m_pref || m_pref->albumViewBy() != QLatin1String("Manual");
}

QList<PlayList *> libraryList::storedAlbums() const
{
    QList<PlayList *> albums;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        auto *album = dynamic_cast<PlayList *>(topLevelItem(i));
        if (album && !album->isSmart() && !isYearRow(album))
            albums.append(album);
    }
    return albums;
}

void libraryList::applyYearView()
{
    if (m_pref)
        m_pref->setAlbumViewBy(QStringLiteral("year"));
    // Every album at once, the list sorted once at the end: sorting it again for each
    // album took minutes with thousands of albums.
    setSortingEnabled(false);
    QSet<QString> years;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (isYearRow(topLevelItem(i)))
            years.insert(topLevelItem(i)->text(0));
    }
    QList<PlayList *> albums = storedAlbums();
    {
        // Each change to a laid-out row would have it measured again; the rows are laid
        // out once, after.
        const QSignalBlocker quiet(model());
        for (PlayList *album : std::as_const(albums)) {
            setPixmapPlaylistSoon(album);
            album->setText(2, dateKey(album->creationDate()));
        }
    }
    doItemsLayout();
    for (PlayList *album : std::as_const(albums)) {
        const QString year = QString::number(album->creationDate().year());
        if (!years.contains(year)) {
            years.insert(year);
            addYearRow(year);
        }
    }
    header()->setSortIndicator(2, Qt::DescendingOrder);
    // Sorts the list, once, each row's key fetched once.
    QList<PlayList *> rows;
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (auto *row = dynamic_cast<PlayList *>(*it)) {
            row->holdSortText(2);
            rows << row;
        }
    }
    setSortingEnabled(true);
    for (PlayList *row : std::as_const(rows))
        row->dropSortText();
    dropEmptyYearRows();
}

void libraryList::addYearRow(const QString &year)
{
    auto *row = new GroupYear(this);
    row->setName(year);
    row->setTitle(year);
    row->setText(0, year);
    row->setText(2, year + QStringLiteral("12-30"));
    // The year stands across the row, not squeezed into the icon column.
    row->setFirstColumnSpanned(true);
    // The row's own date is never valid ("YYYY-12-34"): year rows sort by their key.
    row->setCreationDate(QDate::fromString(year + QStringLiteral("-12-34"), Qt::ISODate));
}

QString libraryList::dateKey(const QDate &date)
{
    if (!date.isValid() || date.year() < 1 || date.year() > 9999)
        return date.toString(Qt::ISODate);
    int year = 0, month = 0, day = 0;
    date.getDate(&year, &month, &day);
    QString key(10, Qt::Uninitialized);
    QChar *out = key.data();
    auto digits = [&out](int value, int count) {
        for (int i = count - 1; i >= 0; --i, value /= 10)
            out[i] = QLatin1Char(char('0' + value % 10));
        out += count;
    };
    digits(year, 4);
    *out++ = QLatin1Char('-');
    digits(month, 2);
    *out++ = QLatin1Char('-');
    digits(day, 2);
    return key;
}

void libraryList::insertIntoYearView(PlayList *album)
{
    if (isYearView()) {
        const QDate created = album->creationDate();
        album->setText(2, dateKey(created));
        const QString year = QString::number(created.year());
        bool found = false;
        for (int i = 0; i < topLevelItemCount() && !found; ++i)
            found = isYearRow(topLevelItem(i)) && topLevelItem(i)->text(0) == year;
        if (!found)
            addYearRow(year);
    }
    removeEmptyYearRow();
}

void libraryList::removeEmptyYearRow()
{
    if (isSortingEnabled())
        sortItems(2, Qt::DescendingOrder);
    dropEmptyYearRows();
}

void libraryList::dropEmptyYearRows()
{
    // From the last row up, so each row's follower is known when it is looked at.
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem *item = topLevelItem(i);
        if (!isYearRow(item))
            continue;
        QTreeWidgetItem *next = i + 1 < topLevelItemCount() ? topLevelItem(i + 1) : nullptr;
        if (!next || isYearRow(next) || isSmartEntry(next))
            delete takeTopLevelItem(i);
    }
}

void libraryList::applyOwnOrder(const LibraryIndex &index)
{
    if (m_pref)
        m_pref->setAlbumViewBy(QStringLiteral("Manual"));
    setSortingEnabled(false);
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        if (isYearRow(topLevelItem(i)))
            delete takeTopLevelItem(i);
    }
    // The stored albums stand after the computed ones, in the library index order.
    QList<PlayList *> albums = storedAlbums();
    std::stable_sort(albums.begin(), albums.end(), [&index](const PlayList *a, const PlayList *b) {
        const int ia = index.indexOf(a->kivDir()), ib = index.indexOf(b->kivDir());
        return (ia < 0 ? INT_MAX : ia) < (ib < 0 ? INT_MAX : ib);
    });
    for (PlayList *album : albums)
        takeTopLevelItem(indexOfTopLevelItem(album));
    {
        const QSignalBlocker quiet(model());
        for (PlayList *album : albums)
            setPixmapPlaylistSoon(album);
    }
    for (PlayList *album : albums)
        addTopLevelItem(album);
}

void libraryList::setLargeIcons(bool large)
{
    m_largeIcons = large;
    setIconSize(QSize(iconExtent(), iconExtent()));
    setColumnWidth(0, (large ? 46 : 30) + indentation());
    rebuildIcons();
}

QPixmap libraryList::albumPixmap(PlayList *album, bool kindOnly) const
{
    const int extent = iconExtent();
    QPixmap icon = album->icon(kindOnly);
    QPixmap result;
    if (icon.isNull() && m_context && m_context->albumIconType) {
        result = album->icon(true);
    } else if (!icon.isNull()) {
        // Most albums show one of a few theme pictures: each is fitted once.
        const QPair<qint64, int> key{icon.cacheKey(), extent};
        result = m_fitted.value(key);
        if (result.isNull()) {
            // Drawn on an image that goes with its painter's engine: a pixmap painted on
            // keeps its engine, 1.6 KB for each of thousands of albums.
            QImage fitted(extent, extent, QImage::Format_ARGB32_Premultiplied);
            fitted.fill(Qt::transparent);
            const QPixmap scaled = icon.scaled(extent, extent, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            QPainter painter(&fitted);
            painter.drawPixmap((extent - scaled.width()) / 2, (extent - scaled.height()) / 2, scaled);
            painter.end();
            result = QPixmap::fromImage(fitted);
            // Pictures' own thumbnails are many and each used once: only the first few
            // pictures fitted are kept.
            if (m_fitted.size() < 64)
                m_fitted.insert(key, result);
        }
    }
    if (auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album)) {
        dynamic->setFolderMissing(dynamic->folderGone());
        if (dynamic->isFolderMissing() && !result.isNull()) {
            QPainter painter(&result);
            const QPixmap cd = kivPixmap(QStringLiteral("mini-cd.png"));
            if (m_largeIcons)
                painter.drawPixmap(15, 14, cd);
            else
                painter.drawPixmap(QRect(11, 11, 16, 16).intersected(result.rect()), cd);
        }
    }
    return result;
}

void libraryList::setPixmapPlaylist(PlayList *album)
{
    if (!album || album->isSmart() || isYearRow(album))
        return;
    album->setIconPending(false);
    album->setIcon(0, QIcon(albumPixmap(album)));
}

void libraryList::setPixmapPlaylistSoon(PlayList *album)
{
    if (!album || album->isSmart() || isYearRow(album))
        return;
    if (!m_context || !m_context->albumIconType || !album->promisesRows()) {
        setPixmapPlaylist(album);
        return;
    }
    // The picture of the album's kind, fitted once; its icon made once too.
    const QPixmap kind = albumPixmap(album, true);
    QIcon icon = m_kindIcons.value(kind.cacheKey());
    if (icon.isNull()) {
        icon = QIcon(kind);
        if (m_kindIcons.size() < 64)
            m_kindIcons.insert(kind.cacheKey(), icon);
    }
    album->setIcon(0, icon);
    album->setIconPending(true);
    // Until the list is first painted, a while (in case it never is while hidden).
    if (!m_iconTimer.isActive())
        m_iconTimer.start(m_painted ? 0 : 250);
}

void libraryList::paintEvent(QPaintEvent *event)
{
    QTreeWidget::paintEvent(event);
    if (!m_painted) {
        m_painted = true;
        if (m_iconTimer.isActive())
            m_iconTimer.start(0);
        Q_EMIT firstPainted();
    }
}

void libraryList::fitPendingIcons()
{
    QElapsedTimer spent;
    spent.start();
    auto fit = [this](QTreeWidgetItem *item) {
        auto *album = dynamic_cast<PlayList *>(item);
        if (album && album->iconPending())
            setPixmapPlaylist(album);
    };
    // The rows in sight first (the user may have scrolled), then the rest from the top,
    // a slice of time at a go.
    for (QTreeWidgetItem *item = itemAt(QPoint(0, 0)); item; item = itemBelow(item)) {
        if (visualItemRect(item).top() > viewport()->height())
            break;
        fit(item);
    }
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if (spent.elapsed() >= 10) {
            m_iconTimer.start(0);
            return;
        }
        fit(*it);
    }
}

void libraryList::rebuildIcons()
{
    {
        const QSignalBlocker quiet(model());
        QTreeWidgetItemIterator it(this);
        for (; *it; ++it)
            setPixmapPlaylistSoon(dynamic_cast<PlayList *>(*it));
    }
    doItemsLayout();
    viewport()->update();
}

bool libraryList::moveUp(PlayList *album)
{
    const int index = album ? indexOfTopLevelItem(album) : -1;
    if (index <= 0)
        return false;
    QTreeWidgetItem *above = topLevelItem(index - 1);
    if (isSmartEntry(above) || isYearRow(above))
        return false;
    takeTopLevelItem(index);
    insertTopLevelItem(index - 1, album);
    setCurrentItem(album);
    return true;
}

bool libraryList::moveDown(PlayList *album)
{
    const int index = album ? indexOfTopLevelItem(album) : -1;
    if (index < 0 || index + 1 >= topLevelItemCount())
        return false;
    if (isYearRow(topLevelItem(index + 1)))
        return false;
    takeTopLevelItem(index);
    insertTopLevelItem(index + 1, album);
    setCurrentItem(album);
    return true;
}

void libraryList::selectAndAnnounce(QTreeWidgetItem *item)
{
    if (item) {
        setCurrentItem(item);
        item->setSelected(true);
    } else {
        clearSelection();
        setCurrentItem(nullptr);
    }
    Q_EMIT librarySelected(item);
}

void libraryList::markOpen(QTreeWidgetItem *album)
{
    if (album && album->treeWidget() == this) {
        setCurrentItem(album);
        album->setSelected(true);
    } else {
        clearSelection();
        setCurrentItem(nullptr);
    }
}

void libraryList::mousePressEvent(QMouseEvent *event)
{
    QTreeWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        selectAndAnnounce(itemAt(event->position().toPoint()));
}

void libraryList::wheelEvent(QWheelEvent *event)
{
    QTreeWidgetItem *current = currentItem();
    if (!current) {
        event->accept();
        return;
    }
    QTreeWidgetItem *next = event->angleDelta().y() > 0 ? itemAbove(current) : itemBelow(current);
    if (next)
        selectAndAnnounce(next);
    event->accept();
}

void libraryList::keyPressEvent(QKeyEvent *event)
{
    // The arrows move along the list; Return opens the album they reached, as a click
    // does (and the commands then act on the album shown as chosen).
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()
        && state() != QAbstractItemView::EditingState) {
        selectAndAnnounce(currentItem());
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void libraryList::contextMenuEvent(QContextMenuEvent *event)
{
    QTreeWidgetItem *item = itemAt(event->pos());
    Q_EMIT contextMenuRequested(item, event->globalPos(), item ? columnAt(event->pos().x()) : -1);
}

void libraryList::setHighlighted(QTreeWidgetItem *item)
{
    if (m_highlighted == item)
        return;
    if (auto *old = dynamic_cast<PlayList *>(m_highlighted))
        old->setBackgroundColour(old->backgroundColour());
    m_highlighted = item;
    if (item) {
        for (int column = 0; column < columnCount(); ++column)
            item->setBackground(column, kHighlight);
    }
}

void libraryList::dragEnterEvent(QDragEnterEvent *event)
{
    const QMimeData *data = event->mimeData();
    if (data->hasUrls() || data->hasText() || data->hasImage())
        acceptAsCopy(event);
    else
        event->ignore();
}

void libraryList::dragMoveEvent(QDragMoveEvent *event)
{
    setHighlighted(itemAt(event->position().toPoint()));
    acceptAsCopy(event);
}

void libraryList::dragLeaveEvent(QDragLeaveEvent *event)
{
    setHighlighted(nullptr);
    QTreeWidget::dragLeaveEvent(event);
}

void libraryList::dropEvent(QDropEvent *event)
{
    // The album under the pointer takes the drop; the open album and the list's
    // selection stay as they are.
    QTreeWidgetItem *item = itemAt(event->position().toPoint());
    if (!acceptAsCopy(event)) {
        setHighlighted(nullptr);
        return;
    }
    const QMimeData *data = event->mimeData();
    if (data->hasUrls()) {
        QStringList files;
        for (const QUrl &url : data->urls()) {
            if (url.isLocalFile())
                files << url.toLocalFile();
        }
        if (item && !files.isEmpty())
            Q_EMIT filesDroppedOn(files, item);
    } else if (data->hasText()) {
        Q_EMIT addFile(data->text(), item);
    }
    Q_EMIT dropped(event);
    setHighlighted(nullptr);
}
