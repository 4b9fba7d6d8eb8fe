#include "smartplaylist.h"

#include <algorithm>

#include "cataloguecontext.h"
#include "cataloguefile.h"
#include "pixmaplookup.h"
#include "searchengine.h"

QPixmap SmartPlaylist::icon(bool)
{
    return kivPixmap(iconName());
}

bool SmartPlaylist::save(const QString &kivDir)
{
    if (!isDirty())
        return true;
    if (kivDir.isEmpty() || !context())
        return false;
    // A KivDir read from a file may climb out of the catalogue folder or hold a line end.
    if (!isSafeKivDir(kivDir)) {
        setLastError(QStringLiteral("\"%1\" cannot name an album file.").arg(kivDir));
        return false;
    }
    // The dirty flag stays set: a smart album is written whenever it is asked to.
    return CatalogueFile::writeLines(filePath(kivDir),
                                     {QStringLiteral("KivDir=") + kivDir, QStringLiteral("Title=") + title(),
                                      QStringLiteral("Dirty=") + QStringLiteral("True"),
                                      keywordKey() + m_keyword});
}

bool SmartPlaylist::load(const QString &path)
{
    bool ok = false;
    const QStringList lines = CatalogueFile::readLines(path, &ok);
    if (!ok)
        return false;
    auto value = [&lines](int index, int keyLength) {
        return index < lines.size() ? lines.at(index).mid(keyLength) : QString();
    };
    setKivDir(value(0, 7));
    setTitle(value(1, 6));
    setDirty(value(2, 6) != QLatin1String("True"));
    m_keyword = value(3, int(keywordKey().size()));
    return true;
}

const AlbumRows &SmartPlaylist::rows()
{
    m_rows.reset();
    if (m_source && !(usesKeyword() && m_keyword.isEmpty()))
        evaluate(*m_source, m_rows);
    return m_rows;
}

bool SmartPlaylist::commit()
{
    return save(kivDir());
}

void SmartPlaylist::evaluate(const PlayList &source, AlbumRows &out) const
{
    if (m_attribute.isEmpty())
        SearchEngine::findText(source.rowTable(), source.kivDir(), m_keyword, out);
    else
        SearchEngine::find(source.rowTable(), source.kivDir(), m_keyword, m_attribute, m_condition, out);
}

void AllPhoto::evaluate(const PlayList &source, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 6, QString(), out);
}

void Favorites::evaluate(const PlayList &source, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 5, QStringLiteral("5Equal"), out);
}

void Search::evaluate(const PlayList &source, AlbumRows &out) const
{
    SmartPlaylist::evaluate(source, out);
}

void Stats::evaluate(const PlayList &source, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 7, QStringLiteral("5Equal"), out);
}

void Stats::setRowTable(const AlbumRows &rows)
{
    // Result rows: type, source folder, file name, album id, view count, badge.
    constexpr int views = 4;
    QList<int> viewed;
    for (int i = 0; i < rows.count(); ++i) {
        if (rows.field(i, views).toInt() > 0)
            viewed.append(i);
    }
    std::stable_sort(viewed.begin(), viewed.end(),
                     [&rows](int a, int b) { return rows.field(a, views).toInt() > rows.field(b, views).toInt(); });
    AlbumRows ranked;
    for (int i = 0; i < viewed.size() && i < Places; ++i)
        ranked.appendLine(rows.line(viewed.at(i)));
    SmartPlaylist::setRowTable(ranked);
}

void BySubject::evaluate(const PlayList &source, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 8, keyword(), out);
}

void CategoryPl::evaluate(const PlayList &source, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 3, keyword(), out);
}

void LovedQuery::evaluate(const PlayList &source, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 5, QStringLiteral("5Equal"), out);
}
