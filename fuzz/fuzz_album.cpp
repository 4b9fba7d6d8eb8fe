// The four kinds of album file. The first byte of the input picks the kind ("P" plain,
// "D" dynamic, "S" a search, "K" a query by keyword, "G" a group; any other byte its
// remainder by 5), the rest is the file. A file the album reads is written back by the
// album and read again: every value must come back. A file it refuses (damaged: a
// plain, dynamic or group file; a query album reads whatever it is given) must leave
// the album refusing every write, and every file as it was; so must an album whose
// KivDir names a place outside the catalogue folder.
#include "fuzzcommon.h"

#include "cataloguecontext.h"
#include "cataloguefile.h"
#include "directoryplaylist.h"
#include "playlistgroup.h"
#include "smartplaylist.h"

#include <limits>
#include <memory>

namespace {

enum class Kind { Plain, Dynamic, Search, Keyword, Group };

Kind kindOf(uint8_t byte)
{
    switch (byte) {
    case 'P': return Kind::Plain;
    case 'D': return Kind::Dynamic;
    case 'S': return Kind::Search;
    case 'K': return Kind::Keyword;
    case 'G': return Kind::Group;
    default: return Kind(byte % 5);
    }
}

std::unique_ptr<PlayList> albumOf(Kind kind, const CatalogueContext &context)
{
    std::unique_ptr<PlayList> album;
    switch (kind) {
    case Kind::Plain: album = std::make_unique<PlayList>(); break;
    case Kind::Dynamic: album = std::make_unique<DirectoryPlaylist>(); break;
    case Kind::Search: album = std::make_unique<Search>(); break;       // "Search=" keyword line
    case Kind::Keyword: album = std::make_unique<BySubject>(); break;   // "SearchKeyword=" keyword line
    case Kind::Group: album = std::make_unique<PlayListGroup>(); break;
    }
    album->setContext(&context);
    album->resetRows();
    return album;
}

QString suffixOf(Kind kind)
{
    switch (kind) {
    case Kind::Plain: return QStringLiteral(".db");
    case Kind::Dynamic: return QStringLiteral(".dir");
    case Kind::Search:
    case Kind::Keyword: return QStringLiteral(".smart");
    case Kind::Group: return QStringLiteral(".group");
    }
    return {};
}

bool hasRows(Kind kind)
{
    return kind == Kind::Plain || kind == Kind::Dynamic;
}

// Every value the album keeps from its file. Left out: the dirty flag, which tells
// whether the album is to be written, not what it holds. The writer writes only a
// dirty album and then always says "Dirty=True", so a file saying otherwise cannot be
// written back as it was; nothing is lost by that.
QStringList valuesOf(Kind kind, PlayList &album)
{
    QStringList values{QStringLiteral("title: ") + album.title()};
    // A group's file holds only its title; its id comes from the library index.
    if (kind != Kind::Group)
        values << QStringLiteral("kivDir: ") + album.kivDir();
    if (auto *dynamic = dynamic_cast<DirectoryPlaylist *>(&album))
        values << QStringLiteral("from: ") + dynamic->from();
    if (auto *smart = dynamic_cast<SmartPlaylist *>(&album))
        values << QStringLiteral("keyword: ") + smart->keyword();
    if (hasRows(kind)) {
        values << QStringLiteral("created: ") + album.creationDate().toString(Qt::ISODate);
        const AlbumRows &rows = album.rowTable();
        for (int i = 0; i < rows.count(); ++i)
            values << QStringLiteral("row: ") + Fuzz::rowValue(rows.row(i)).join(QLatin1Char('|'));
    }
    return values;
}

// What the row reader promises for love, views and badge, whatever the file holds.
void checkBounds(const AlbumRows &rows)
{
    auto within = [](const QString &text, qint64 low, qint64 high) {
        bool ok = false;
        const qint64 value = text.trimmed().toLongLong(&ok);
        return !ok || (value >= low && value <= high);
    };
    for (int i = 0; i < rows.count(); ++i) {
        const QStringList row = rows.row(i);
        if (row.size() <= AlbumRows::Badge)
            continue;
        if (!within(row.at(AlbumRows::Love), 0, 5) || !within(row.at(AlbumRows::Views), 0, std::numeric_limits<int>::max())
            || !within(row.at(AlbumRows::Badge), -1, 6))
            Fuzz::fail("a row holds a love, a view count or a badge out of range", Fuzz::show(row));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const Kind kind = kindOf(data[0]);
    const QString root = Fuzz::folder() + QStringLiteral("/album");
    Fuzz::emptyFolder(root);
    const CatalogueContext context = CatalogueContext::forInstallation(root + QStringLiteral("/install"));
    QDir().mkpath(context.folder);
    // A plain or dynamic album file is read only from the file its KivDir= line names:
    // the input is put there when that line names one, so that both a file in its place
    // and one naming another are tried.
    const QByteArray bytes = Fuzz::bytesOf(data + 1, size - 1);
    QString id = QStringLiteral("A05.01.2003.14.22.10.123");
    if (hasRows(kind)) {
        CatalogueFile::LineReader lines(bytes);
        const QByteArrayView first = lines.next();
        const QString named = first.startsWith("KivDir=") ? lines.text(first.sliced(7)) : QString();
        if (PlayList::isSafeKivDir(named) && !Fuzz::nameTooLong(named + suffixOf(kind)))
            id = named;
    }
    const QString path = context.folder + QLatin1Char('/') + id + suffixOf(kind);
    Fuzz::writeFile(path, bytes);

    std::unique_ptr<PlayList> album = albumOf(kind, context);
    const bool loaded = album->load(path);
    if (kind == Kind::Group)
        album->setKivDir(id);  // as the album list does: a group is named by its id
    if (!loaded) {
        if (kind == Kind::Search || kind == Kind::Keyword)
            Fuzz::fail("a regular file was not read");
        if (album->fileState() != PlayList::FileState::Damaged || album->damage().isEmpty())
            Fuzz::fail("a file that was not read is not told as damaged");
        if (album->writeRefusal().isEmpty())
            Fuzz::fail("a damaged album does not refuse writes");
        Fuzz::checkRefuses(*album, root, "a damaged album was written");
        return 0;
    }
    if (hasRows(kind)) {
        if (album->fileState() != PlayList::FileState::Loaded)
            Fuzz::fail("a file read is not told as read");
        checkBounds(album->rowTable());
    }
    const QStringList read = valuesOf(kind, *album);
    const QString kivDir = album->kivDir();

    if (!PlayList::isSafeKivDir(kivDir)) {
        if (album->writeRefusal().isEmpty())
            Fuzz::fail("an album naming a place outside the catalogue does not refuse writes", kivDir);
        Fuzz::checkRefuses(*album, root, "an album naming a place outside the catalogue was written");
        return 0;
    }

    const Fuzz::Tree before = Fuzz::snapshot(root);
    album->setDirty(true);
    if (!album->save(kivDir)) {
        // The one legitimate failure: a KivDir too long to name a file. Nothing is left
        // behind by it.
        if (!Fuzz::nameTooLong(kivDir + suffixOf(kind)))
            Fuzz::fail("an album read could not be written back", album->lastError() + QLatin1Char(' ')
                                                                          + CatalogueFile::lastWriteError());
        if (Fuzz::snapshot(root) != before)
            Fuzz::fail("a failed write left files behind", Fuzz::difference(before, Fuzz::snapshot(root)));
        return 0;
    }
    std::unique_ptr<PlayList> back = albumOf(kind, context);
    if (!back->load(context.folder + QLatin1Char('/') + kivDir + suffixOf(kind)))
        Fuzz::fail("an album written could not be read back", back->damage());
    if (kind == Kind::Group)
        back->setKivDir(kivDir);
    const QStringList again = valuesOf(kind, *back);
    if (again != read)
        Fuzz::fail("the album did not read back as written",
                   Fuzz::show(read) + QStringLiteral("\nthen\n") + Fuzz::show(again));
    return 0;
}
