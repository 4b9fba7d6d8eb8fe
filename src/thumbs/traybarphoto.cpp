#include "traybarphoto.h"

#include <QSet>

#include "kivviewitem.h"
#include "pixmaplookup.h"
#include "playlist.h"

#include <QDateTime>
#include <QPainter>

namespace {

// A picture of an album: its path as KivViewItem::picturePath() joins it (its folder, a
// separator unless the folder ends in one, its name), compared and hashed without
// joining it (gathering a whole catalogue makes no string per picture), and the folder
// of the album whose tags it shows. One picture in two albums has tags in each: All
// Photos shows it twice, and both are changed when both are chosen.
struct PathKey
{
    QString folder, name, album;  // shared with the record's own
    qsizetype folderLength = 0;
    QChar separator = QLatin1Char('/');
    size_t hash = 0;

    // `ofAlbum` false: the picture alone, whichever album it comes from.
    explicit PathKey(const KivViewItem *record, bool ofAlbum = true)
        : folder(record->sourceFolder())
        , name(record->fileName())
        , album(ofAlbum ? record->albumFolder() : QString())
        , folderLength(folder.size())
    {
        if (folderLength > 0 && (folder.back() == QLatin1Char('/') || folder.back() == QLatin1Char('\\'))) {
            separator = folder.back();
            --folderLength;
        }
        // FNV-1a over the joined path's UTF-16 units: equal paths hash alike however
        // their folder and name divide them.
        quint64 h = 14695981039346656037ull;
        auto feed = [&h](char16_t unit) { h = (h ^ unit) * 1099511628211ull; };
        for (qsizetype i = 0; i < folderLength; ++i)
            feed(folder.at(i).unicode());
        feed(separator.unicode());
        for (const QChar c : std::as_const(name))
            feed(c.unicode());
        hash = size_t(h);
    }
    qsizetype length() const { return folderLength + 1 + name.size(); }
    QChar at(qsizetype i) const
    {
        return i < folderLength ? folder.at(i) : i == folderLength ? separator : name.at(i - folderLength - 1);
    }
    bool operator==(const PathKey &other) const
    {
        if (hash != other.hash || length() != other.length() || album != other.album)
            return false;
        for (qsizetype i = 0, n = length(); i < n; ++i) {
            if (at(i) != other.at(i))
                return false;
        }
        return true;
    }
};

size_t qHash(const PathKey &key, size_t seed = 0) { return key.hash ^ seed; }

} // namespace

trayBarPhoto::trayBarPhoto(QWidget *parent)
    : KivGridView(parent)
    , m_background(kivPixmap(QStringLiteral("traybar-back.png")))
    , m_heldMark(kivPixmap(QStringLiteral("badge-ok.png")).scaled(8, 8, Qt::IgnoreAspectRatio,
                                                                    Qt::SmoothTransformation))
{
    setObjectName(QStringLiteral("trayBar"));
    setCellWidth(41);
    setCellHeight(35);
    setNumCols(1);
    setNumRows(1);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::StyledPanel);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, QColor(200, 200, 200));
    setPalette(palette);
    setFocusPolicy(Qt::NoFocus);
    setToolTip(QStringLiteral("Pictures tray: Ctrl+click pictures or press Hold to gather several"));
}

bool trayBarPhoto::contains(const KivViewItem *record) const
{
    return std::find(m_records.cbegin(), m_records.cend(), record) != m_records.cend();
}

bool trayBarPhoto::holdsPicture(const KivViewItem *record) const
{
    const PathKey path(record);
    return std::any_of(m_records.cbegin(), m_records.cend(),
                       [&path](const KivViewItem *held) { return PathKey(held) == path; });
}

void trayBarPhoto::add(KivViewItem *record, bool withCtrl)
{
    // The same picture shown again (its album reopened) is the same tray picture.
    if (!record || contains(record) || holdsPicture(record))
        return;
    if (withCtrl) {
        setNumRows(numRows() + 1);
        ++m_currentRow;
    } else if (m_lastAdded && !m_records.isEmpty()) {
        removeLast();
    }
    m_records.append(record);
    record->setHeld(false);
    repaintCell(m_currentRow, 0);
    m_lastAdded = record;
    ensureCellVisible(m_currentRow, 0);
}

void trayBarPhoto::addAll(const QList<KivViewItem *> &records)
{
    if (records.isEmpty())
        return;
    add(records.first(), false);
    // The rest as add() with Ctrl would take them one by one, the pictures already in
    // the tray looked up in sets: a whole album of thousands is gathered at once.
    // A record already taken has its path taken too: the paths alone decide.
    QSet<PathKey> paths;
    paths.reserve(m_records.size() + records.size());
    m_records.reserve(m_records.size() + records.size());
    for (const KivViewItem *held : std::as_const(m_records))
        paths.insert(PathKey(held));
    int added = 0;
    for (qsizetype i = 1; i < records.size(); ++i) {
        KivViewItem *record = records.at(i);
        if (!record)
            continue;
        const qsizetype before = paths.size();
        paths.insert(PathKey(record));
        if (paths.size() == before)
            continue;
        m_records.append(record);
        record->setHeld(false);
        m_lastAdded = record;
        ++added;
    }
    if (added == 0)
        return;
    m_currentRow += added;
    setNumRows(numRows() + added);
    viewport()->update();
    ensureCellVisible(m_currentRow, 0);
}

void trayBarPhoto::removeLast()
{
    const int row = int(m_records.size()) - 1;
    m_records.removeLast();
    repaintCell(row, 0);
}

void trayBarPhoto::remove(KivViewItem *record)
{
    const qsizetype index = m_records.indexOf(record);
    if (index < 0)
        return;
    m_records.removeAt(index);
    if (m_lastAdded == record)
        m_lastAdded = nullptr;
    // One row fewer: no blank rows are left where pictures were.
    if (numRows() > 1)
        setNumRows(numRows() - 1);
    if (m_currentRow > 0)
        --m_currentRow;
    viewport()->update();
}

void trayBarPhoto::hold()
{
    for (int i = 0; i < m_records.size(); ++i) {
        m_records.at(i)->setHeld(true);
        repaintCell(i, 0);
    }
    ++m_currentRow;
    setNumRows(numRows() + 1);
    m_lastAdded = nullptr;
    Q_EMIT multiSelection();
}

void trayBarPhoto::clearUnHold()
{
    if (!m_records.isEmpty())
        removeLast();
}

void trayBarPhoto::clear()
{
    m_records.clear();
    m_currentRow = 0;
    m_lastAdded = nullptr;
    setNumRows(1);
    viewport()->update();
    Q_EMIT cleared();
}

void trayBarPhoto::newPlaylist()
{
    Q_EMIT AsknewPlayList();
    Q_EMIT insertPhotoToPl();
}

std::unique_ptr<PlayList> trayBarPhoto::makeSlideshowAlbum() const
{
    auto album = std::make_unique<PlayList>();
    album->setTitle(QStringLiteral("Tray Bar Slideshow"));
    album->setName(QStringLiteral("TrayBar Slideshow"));
    album->setKivDir(QStringLiteral("TrayBar Slideshow"));
    album->setCreationDate(QDate::currentDate());
    // Shown, printed or mailed, a picture chosen in two albums comes once.
    QSet<PathKey> shown;
    shown.reserve(m_records.size());
    for (const KivViewItem *record : m_records) {
        const qsizetype before = shown.size();
        shown.insert(PathKey(record, false));
        if (shown.size() == before)
            continue;
        album->addRecord(record);
        album->thumbCache().append({record->thumbnail(), record->fileName(), QDateTime()});
    }
    album->setDirty(false);
    return album;
}

void trayBarPhoto::paintCell(QPainter *painter, int row, int)
{
    // Each cell carries the strip's background picture behind it.
    painter->drawPixmap(0, 0, m_background);
    const KivViewItem *record = m_records.value(row);
    if (!record)
        return;
    painter->drawPixmap(QRect(1, 5, 38, 30), record->thumbnail());
    if (record->isHeld())
        painter->drawPixmap(30, 28, m_heldMark);
}
