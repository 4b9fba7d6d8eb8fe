#include "smartplaylist.h"

#include <algorithm>

#include <QHash>

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
    storedRows().reset();
    if (m_source)
        evaluateInto(*m_source, 0, m_source->rowTable().count(), storedRows());
    return storedRows();
}

bool SmartPlaylist::commit()
{
    return save(kivDir());
}

void SmartPlaylist::evaluate(const PlayList &source, int from, int to, AlbumRows &out) const
{
    if (m_attribute.isEmpty())
        SearchEngine::findText(source.rowTable(), source.kivDir(), m_keyword, out, from, to);
    else
        SearchEngine::find(source.rowTable(), source.kivDir(), m_keyword, m_attribute, m_condition, out, from,
                           to);
}

void AllPhoto::evaluate(const PlayList &source, int from, int to, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 6, QString(), out, from, to);
}

void Favorites::evaluate(const PlayList &source, int from, int to, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 5, QStringLiteral("5Equal"), out, from, to);
}

void Search::evaluate(const PlayList &source, int from, int to, AlbumRows &out) const
{
    SmartPlaylist::evaluate(source, from, to, out);
}

void Stats::evaluate(const PlayList &source, int from, int to, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 7, QStringLiteral("5Equal"), out, from, to);
}

void Stats::setRowTable(const AlbumRows &rows)
{
    // Result rows: type, source folder, file name, album id, view count, badge. A picture
    // held by several albums is one picture: its views are added up, and it stands once,
    // with the first album that holds it.
    constexpr int views = 4;
    QList<int> first;          // the first row of each picture, in catalogue order
    QList<int> total;          // its views, all albums together
    QHash<QString, int> seen;  // picture path -> its place in `first`
    for (int i = 0; i < rows.count(); ++i) {
        const QString picture = rows.fieldText(i, 1) + QLatin1Char('/') + rows.fieldText(i, 2);
        const int count = rows.field(i, views).toInt();
        const auto found = seen.constFind(picture);
        if (found != seen.cend()) {
            total[*found] += count;
            continue;
        }
        seen.insert(picture, int(first.size()));
        first.append(i);
        total.append(count);
    }
    QList<int> viewed;
    for (int k = 0; k < first.size(); ++k) {
        if (total.at(k) > 0)
            viewed.append(k);
    }
    std::stable_sort(viewed.begin(), viewed.end(), [&total](int a, int b) { return total.at(a) > total.at(b); });
    AlbumRows ranked;
    for (int i = 0; i < viewed.size() && i < Places; ++i) {
        QStringList row = rows.row(first.at(viewed.at(i)));
        if (row.size() > views)
            row[views] = QString::number(total.at(viewed.at(i)));
        ranked.append(row);
    }
    SmartPlaylist::setRowTable(ranked);
}

void BySubject::evaluate(const PlayList &source, int from, int to, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 8, keyword(), out, from, to);
}

void CategoryPl::evaluate(const PlayList &source, int from, int to, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 3, keyword(), out, from, to);
}

void LovedQuery::evaluate(const PlayList &source, int from, int to, AlbumRows &out) const
{
    SearchEngine::query(source.rowTable(), source.kivDir(), 5, QStringLiteral("5Equal"), out, from, to);
}
