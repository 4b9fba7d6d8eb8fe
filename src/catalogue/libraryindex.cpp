#include "libraryindex.h"

#include "cataloguefile.h"
#include "playlist.h"

#include <QDir>
#include <QFileInfo>


QString LibraryIndex::filePath() const
{
    return m_root + QStringLiteral("/library.db");
}

namespace {

const QStringList kClasses{QStringLiteral("Playlist"), QStringLiteral("DirectoryPlaylist"),
                           QStringLiteral("PlayListGroup")};
constexpr int kStampLength = 23;  // "dd.MM.yyyy.hh.mm.ss.zzz"

} // namespace

QStringList LibraryIndex::parseRow(QStringView joined)
{
    // Each piece is made once, straight from the line (thousands of rows at every start).
    QStringList simple;
    simple.reserve(5);
    for (const QStringView piece : joined.tokenize(QLatin1Char(','), Qt::SkipEmptyParts))
        simple.append(piece.toString());
    if (simple.size() <= 5)
        return simple;
    // More than five pieces: a name (and so the id) holding ",".
    const QStringList pieces = joined.toString().split(QLatin1Char(','));
    for (int k = 3; k + 1 < pieces.size(); ++k) {
        if (!kClasses.contains(pieces.at(k)))
            continue;
        const QString name = pieces.mid(2, k - 2).join(QLatin1Char(','));
        const QString id = pieces.mid(k + 1).join(QLatin1Char(','));
        if (id.size() == name.size() + kStampLength && id.startsWith(name))
            return {pieces.at(0), pieces.at(1), name, pieces.at(k), id};
    }
    return simple;
}

bool LibraryIndex::load()
{
    m_damage.clear();
    const QString path = filePath();
    auto damaged = [this, &path](const QString &why) {
        m_state = State::Damaged;
        m_damage = QStringLiteral("The library index %1 is damaged: %2.").arg(path, why);
        return false;
    };
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
        // No index over album files that are there: it was lost, and a new one written
        // now would list none of them.
        const QStringList albums = QDir(m_root + QStringLiteral("/db"))
                                       .entryList({QStringLiteral("*.db"), QStringLiteral("*.dir"),
                                                   QStringLiteral("*.group")},
                                                  QDir::Files);
        if (!albums.isEmpty())
            return damaged(QStringLiteral("it is missing, yet %1 album files are in the catalogue folder")
                               .arg(albums.size()));
        m_state = State::Missing;
        return false;
    }
    QByteArray bytes;
    QString why;
    if (!CatalogueFile::readBytes(path, &bytes, &why))
        return damaged(QStringLiteral("it cannot be read (%1)").arg(why));
    QStringList lines;
    CatalogueFile::LineReader reader(bytes);
    while (!reader.atEnd())
        lines.append(reader.text(reader.next()));
    // A last line end leaves no extra line; blank lines at the end are not rows.
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.isEmpty() || !lines.first().startsWith(QLatin1String("NUMLIB=")))
        return damaged(QStringLiteral("its first line is not a \"NUMLIB=\" count"));
    bool numeric = false;
    const int count = lines.first().mid(7).trimmed().toInt(&numeric);
    if (!numeric || count < 0)
        return damaged(QStringLiteral("its count is not a number"));

    QList<QStringList> rows;
    QString broken;
    for (int i = 1; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        const QStringList row = line.startsWith(QLatin1String("LIBRARY=")) ? parseRow(QStringView(line).sliced(8)) : QStringList();
        if (row.size() == 5 && kClasses.contains(row.at(3)))
            rows.append(row);
        else if (broken.isEmpty())
            broken = QStringLiteral("line %1 is not an album row").arg(i + 1);
    }
    m_rows = rows;
    m_dirty = false;
    if (!broken.isEmpty())
        return damaged(broken);
    if (count != lines.size() - 1)
        return damaged(QStringLiteral("it counts %1 albums but holds %2 rows").arg(count).arg(lines.size() - 1));
    // Every line is written with its line end: a last row without one was cut short.
    if (count > 0 && !bytes.endsWith('\n'))
        return damaged(QStringLiteral("its last row was cut short"));
    m_state = count == 0 ? State::Empty : State::Read;
    return count > 0;
}

bool LibraryIndex::save()
{
    if (m_state == State::Damaged)
        return false;
    if (!m_dirty)
        return true;
    QStringList lines{QStringLiteral("NUMLIB=") + QString::number(m_rows.size())};
    for (const QStringList &row : std::as_const(m_rows)) {
        const QString joined = row.join(QLatin1Char(','));
        if (!joined.isEmpty())
            lines << QStringLiteral("LIBRARY=") + joined;
    }
    if (!CatalogueFile::writeLines(filePath(), lines))
        return false;
    m_dirty = false;
    m_state = m_rows.isEmpty() ? State::Empty : State::Read;
    return true;
}

bool LibraryIndex::contains(const QString &name) const
{
    for (const QStringList &row : m_rows) {
        if (row.size() > 2 && row.at(2) == name)
            return true;
    }
    return false;
}

int LibraryIndex::indexOf(const QString &id) const
{
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows.at(i).size() > 4 && m_rows.at(i).at(4) == id)
            return i;
    }
    return -1;
}

QStringList LibraryIndex::rowFor(PlayList *album)
{
    // Rows are joined with "," and read back without empty pieces: no text may be empty.
    const QString group = album->group().isEmpty() ? QStringLiteral("NONE") : album->group();
    const QString kind = album->contentKind().isEmpty() ? QStringLiteral("UNKNOW") : album->contentKind();
    return {group, kind, album->name(), album->className(), album->kivDir()};
}

void LibraryIndex::insertAlbum(PlayList *album, const PlayList *current)
{
    int position = -1;
    if (current) {
        for (int i = 0; i < m_rows.size(); ++i) {
            if (m_rows.at(i).size() > 4 && m_rows.at(i).at(4) == current->kivDir())
                position = i;
        }
    }
    if (position < 0)
        m_rows.append(rowFor(album));
    else
        m_rows.insert(position, rowFor(album));
    m_dirty = true;
}

void LibraryIndex::updateAlbum(PlayList *album)
{
    for (QStringList &row : m_rows) {
        if (row.size() > 4 && row.at(4) == album->kivDir())
            row = rowFor(album);
    }
    m_dirty = true;
}

void LibraryIndex::removeAlbum(const PlayList *album)
{
    const int index = indexOf(album->kivDir());
    if (index >= 0)
        m_rows.removeAt(index);
    m_dirty = true;
}

void LibraryIndex::moveUp(const PlayList *album)
{
    const int index = indexOf(album->kivDir());
    if (index <= 0)
        return;
    m_rows.swapItemsAt(index, index - 1);
    m_dirty = true;
}

void LibraryIndex::moveDown(const PlayList *album)
{
    const int index = indexOf(album->kivDir());
    if (index < 0 || index + 1 >= m_rows.size())
        return;
    m_rows.swapItemsAt(index, index + 1);
    m_dirty = true;
}

void LibraryIndex::replaceRows(const QList<QStringList> &rows)
{
    m_rows = rows;
    m_damage.clear();
    m_state = m_rows.isEmpty() ? State::Empty : State::Read;
    m_dirty = true;
}

void LibraryIndex::appendRow(const QStringList &row)
{
    m_rows.append(row);
    m_dirty = true;
}
