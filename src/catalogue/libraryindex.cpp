#include "libraryindex.h"

#include "cataloguefile.h"
#include "playlist.h"


QString LibraryIndex::filePath() const
{
    return m_root + QStringLiteral("/library.db");
}

bool LibraryIndex::load()
{
    QStringList lines;
    switch (CatalogueFile::readCounted(filePath(), 7, &lines)) {
    case CatalogueFile::Counted::Missing:
    case CatalogueFile::Counted::Empty:
        return false;
    case CatalogueFile::Counted::Unreadable:
        return true;  // the index stays as it was
    case CatalogueFile::Counted::Read:
        break;
    }
    m_rows.clear();
    for (const QString &line : std::as_const(lines))
        m_rows.append(line.mid(8).split(QLatin1Char(','), Qt::SkipEmptyParts));
    return true;
}

bool LibraryIndex::save()
{
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
