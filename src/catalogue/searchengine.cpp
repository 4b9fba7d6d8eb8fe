#include "searchengine.h"

#include "smartplaylist.h"

namespace SearchEngine {

namespace {

bool containsCI(QStringView text, QStringView value)
{
    return value.isEmpty() || text.contains(value, Qt::CaseInsensitive);
}

// Appends one result row built from row `i`.
void appendResult(const AlbumRows &rows, int i, const QString &kivDir, bool withViews, AlbumRows &out)
{
    const QChar bar(u'|');
    QString line;
    line.reserve(rows.line(i).size() + kivDir.size());
    line += rows.field(i, AlbumRows::FileType);
    line += bar;
    line += rows.field(i, AlbumRows::Folder);
    line += bar;
    line += rows.field(i, AlbumRows::FileName);
    line += bar;
    line += kivDir;
    line += bar;
    if (withViews) {
        line += rows.field(i, AlbumRows::Views);
        line += bar;
    }
    line += rows.field(i, AlbumRows::Badge);
    out.appendLine(line);
}

template<typename Test>
void collect(const AlbumRows &rows, const QString &kivDir, bool withViews, AlbumRows &out, Test test)
{
    for (int i = 0; i < rows.count(); ++i) {
        if (test(i))
            appendResult(rows, i, kivDir, withViews, out);
    }
}

int loveOf(const AlbumRows &rows, int i)
{
    return rows.field(i, AlbumRows::Love).toInt();
}

int leadingDigit(const QString &value)
{
    return value.left(1).toInt();
}

void containsField(const AlbumRows &rows, const QString &kivDir, int field, const QString &value, AlbumRows &out)
{
    collect(rows, kivDir, false, out, [&](int i) { return containsCI(rows.field(i, field), value); });
}

} // namespace

void query(const AlbumRows &rows, const QString &kivDir, int attribute, const QString &value, AlbumRows &out)
{
    switch (attribute) {
    case 0:
        return containsField(rows, kivDir, AlbumRows::FileName, value, out);
    case 1:
        return containsField(rows, kivDir, AlbumRows::Title, value, out);
    case 3:
        return containsField(rows, kivDir, AlbumRows::Category, value, out);
    case 4:
        return containsField(rows, kivDir, AlbumRows::Comment, value, out);
    case 5: {
        const int digit = leadingDigit(value);
        const QString word = value.mid(1, 10);
        collect(rows, kivDir, false, out, [&](int i) {
            const int love = loveOf(rows, i);
            if (word == QLatin1String("Equal"))
                return love == digit;
            if (word == QLatin1String("More"))
                return love >= digit;
            return love <= digit;
        });
        return;
    }
    case 6:
        return collect(rows, kivDir, false, out, [](int) { return true; });
    case 7:
        return collect(rows, kivDir, true, out, [](int) { return true; });
    case 8:
        return containsField(rows, kivDir, AlbumRows::Persons, value, out);
    default:
        return;
    }
}

void find(const AlbumRows &rows, const QString &kivDir, const QString &value, const QString &attribute,
          const QString &condition, AlbumRows &out)
{
    if (attribute == QLatin1String("Filename"))
        return containsField(rows, kivDir, AlbumRows::FileName, value, out);
    if (attribute == QLatin1String("Category"))
        return containsField(rows, kivDir, AlbumRows::Category, value, out);
    if (attribute == QLatin1String("Comment"))
        return containsField(rows, kivDir, AlbumRows::Comment, value, out);
    if (attribute == QLatin1String("Subject"))
        return containsField(rows, kivDir, AlbumRows::Persons, value, out);
    if (attribute == QLatin1String("All"))
        return collect(rows, kivDir, false, out, [](int) { return true; });
    if (attribute == QLatin1String("MostViewed"))
        return collect(rows, kivDir, true, out, [](int) { return true; });
    if (attribute == QLatin1String("Love")) {
        const int digit = leadingDigit(value);
        collect(rows, kivDir, false, out, [&](int i) {
            const bool textMatch = containsCI(rows.field(i, AlbumRows::Love), value);
            if (condition == QLatin1String("Equal To"))
                return textMatch;
            if (condition == QLatin1String("More Than"))
                return loveOf(rows, i) > digit || textMatch;
            return loveOf(rows, i) < digit || textMatch;
        });
        return;
    }
    containsField(rows, kivDir, AlbumRows::Title, value, out);
}

void findText(const AlbumRows &rows, const QString &kivDir, const QString &value, AlbumRows &out)
{
    if (value.contains(QLatin1Char('|'))) {
        // A value with "|" could match across two texts of the joined row: test text by text.
        collect(rows, kivDir, false, out, [&](int i) {
            const QStringList texts = rows.row(i);
            for (int f = 0; f < texts.size(); ++f) {
                if (f != AlbumRows::Folder && containsCI(texts.at(f), value))
                    return true;
            }
            return false;
        });
        return;
    }
    // Without "|" a match never spans two texts: search the joined row on both sides
    // of the source folder.
    const QChar bar(u'|');
    collect(rows, kivDir, false, out, [&](int i) {
        const QStringView line = rows.line(i);
        const qsizetype first = line.indexOf(bar);
        if (first < 0)
            return containsCI(line, value);
        if (containsCI(line.left(first), value))
            return true;
        const qsizetype second = line.indexOf(bar, first + 1);
        return second >= 0 && containsCI(line.mid(second + 1), value);
    });
}

bool fill(SmartPlaylist *album, const QList<PlayList *> &topLevel)
{
    for (const PlayList *candidate : topLevel) {
        if (!candidate->isValid())
            return false;
    }
    AlbumRows joined;
    for (PlayList *candidate : topLevel) {
        if (candidate->isSmart() || candidate->className() == QLatin1String("SmartPlaylist")
            || candidate->className() == QLatin1String("GroupYear"))
            continue;
        album->setSource(candidate);
        const AlbumRows &found = album->rows();
        for (int i = 0; i < found.count(); ++i)
            joined.appendLine(found.line(i));
    }
    album->setSource(nullptr);
    album->setRowTable(joined);
    return true;
}

} // namespace SearchEngine
