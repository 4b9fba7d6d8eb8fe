// The library index and the album list built from it. The input is a small catalogue:
// library.db, then album files, each after a line "@@ <file name>" (written into the
// catalogue folder DataBase/db/); an input starting with such a line has no index.
//
//   NUMLIB=1
//   LIBRARY=NONE,Photo,Trip,Playlist,Trip05.01.2003.14.22.10.123
//   @@ Trip05.01.2003.14.22.10.123.db
//   KivDir=Trip05.01.2003.14.22.10.123
//   ...
//
// Loading must write nothing and create one album per index row. Then the index and
// every valid album are written back by their own writers, the catalogue is loaded
// again, and the albums and the index rows must come back as they were. An album that
// refuses writes (damaged, or leading outside the catalogue folder) must change no
// file and be shown invalid; a damaged index must refuse to be written, and so must
// every album of its catalogue.
#include "fuzzcommon.h"

#include "cataloguefile.h"
#include "catalogueloader.h"
#include "cataloguesave.h"
#include "directoryplaylist.h"
#include "libraryindex.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

namespace {

QString suffixOf(const QString &className)
{
    if (className == QLatin1String("Playlist"))
        return QStringLiteral(".db");
    if (className == QLatin1String("DirectoryPlaylist"))
        return QStringLiteral(".dir");
    return QStringLiteral(".group");
}

// Writes the input's files; false when it has no index file.
bool writeCatalogue(const QByteArray &input, const CatalogueContext &context)
{
    QList<qsizetype> starts;  // where each "@@ " line starts
    for (qsizetype at = input.startsWith("@@ ") ? 0 : input.indexOf("\n@@ "); at >= 0;
         at = input.indexOf("\n@@ ", at + 1))
        starts << (at == 0 && input.startsWith("@@ ") ? 0 : at + 1);
    const bool hasIndex = starts.isEmpty() || starts.first() > 0;
    if (hasIndex)
        Fuzz::writeFile(context.root + QStringLiteral("/library.db"), input.left(starts.isEmpty() ? input.size() : starts.first()));
    for (int i = 0; i < starts.size() && i < 64; ++i) {
        const qsizetype lineEnd = input.indexOf('\n', starts.at(i));
        const qsizetype end = i + 1 < starts.size() ? starts.at(i + 1) : input.size();
        QByteArray name = input.mid(starts.at(i) + 3, (lineEnd < 0 ? input.size() : lineEnd) - starts.at(i) - 3);
        if (name.endsWith('\r'))
            name.chop(1);
        const QString fileName = QString::fromUtf8(name);
        if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String("..")
            || fileName.contains(QLatin1Char('/')) || fileName.contains(QChar(0)) || Fuzz::nameTooLong(fileName))
            continue;
        const QByteArray content = lineEnd < 0 || lineEnd >= end ? QByteArray() : input.mid(lineEnd + 1, end - lineEnd - 1);
        Fuzz::writeFile(context.folder + QLatin1Char('/') + fileName, content);
    }
    return hasIndex;
}

// The album list as the window shows it and as the albums hold it, one line per album.
// `read` tells, album by album, whether its file was there to be read the first time:
// a missing file reads as an album created today, and once written it says so itself.
QStringList describe(QTreeWidget &list, QList<bool> *read)
{
    QStringList lines;
    int index = 0;
    for (QTreeWidgetItemIterator it(&list); *it; ++it, ++index) {
        auto *album = dynamic_cast<PlayList *>(*it);
        if (!album) {
            lines << QStringLiteral("not an album");
            continue;
        }
        QStringList values{album->className(),
                           QStringLiteral("under: ") + ((*it)->parent() ? (*it)->parent()->text(1) : QString()),
                           QStringLiteral("name: ") + album->name(),
                           QStringLiteral("group: ") + album->group(),
                           QStringLiteral("kivDir: ") + album->kivDir(),
                           QStringLiteral("title: ") + album->title(),
                           QStringLiteral("shown: ") + album->text(1),
                           QStringLiteral("tip: ") + album->toolTip(1),
                           album->isValid() ? QStringLiteral("valid") : QStringLiteral("invalid"),
                           album->fileState() == PlayList::FileState::Damaged ? QStringLiteral("damaged: ") + album->damage()
                                                                              : QStringLiteral("readable")};
        if (auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album)) {
            values << QStringLiteral("from: ") + dynamic->from()
                   << (dynamic->isFolderMissing() ? QStringLiteral("folder missing") : QStringLiteral("folder there"));
        }
        if (read->size() <= index)
            read->append(album->fileState() == PlayList::FileState::Loaded);
        if (read->at(index))
            values << QStringLiteral("created: ") + album->creationDate().toString(Qt::ISODate);
        const AlbumRows &rows = album->rowTable();
        for (int i = 0; i < rows.count(); ++i)
            values << QStringLiteral("row: ") + Fuzz::rowValue(rows.row(i)).join(QLatin1Char('|'));
        lines << Fuzz::show(values);
    }
    return lines;
}

QStringList describe(const LibraryIndex &index)
{
    // No file and a file of no album both mean an empty catalogue; a file is written
    // where there was none.
    QStringList lines{index.state() == LibraryIndex::State::Damaged ? QStringLiteral("damaged")
                      : index.state() == LibraryIndex::State::Read  ? QStringLiteral("read")
                                                                    : QStringLiteral("empty")};
    for (int i = 0; i < index.rowCount(); ++i)
        lines << Fuzz::show(index.row(i));
    return lines;
}

QTreeWidget &albumList()
{
    static QTreeWidget *list = new QTreeWidget;
    return *list;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::start();
    albumList();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString root = Fuzz::folder() + QStringLiteral("/library");
    Fuzz::emptyFolder(root);
    CatalogueContext context = CatalogueContext::forInstallation(root + QStringLiteral("/install"));
    QDir().mkpath(context.folder);
    writeCatalogue(Fuzz::bytesOf(data, size), context);

    const Fuzz::Tree written = Fuzz::snapshot(root);
    LibraryIndex index;
    index.setRoot(context.root);
    context.library = &index;
    index.load();
    QTreeWidget &list = albumList();
    QStringList problems;
    const QList<PlayList *> albums = CatalogueLoader::load(&list, index, context, QStringLiteral("media"), nullptr,
                                                           &problems);
    if (Fuzz::snapshot(root) != written)
        Fuzz::fail("loading the catalogue changed its files", Fuzz::difference(written, Fuzz::snapshot(root)));
    if (albums.size() != index.rowCount())
        Fuzz::fail("the album list does not hold one album per index row",
                   QString::number(albums.size()) + QStringLiteral(" albums, ") + QString::number(index.rowCount())
                       + QStringLiteral(" rows"));
    QList<bool> read;
    const QStringList firstAlbums = describe(list, &read);
    const QStringList firstIndex = describe(index);

    if (index.isDamaged()) {
        // Nothing is written until it is repaired: neither the index, nor an album
        // through the program's way of storing one.
        index.setDirty(true);
        if (index.save())
            Fuzz::fail("a damaged index was written", index.damage());
        for (PlayList *album : albums) {
            if (!album->writeRefusal().isEmpty())
                continue;
            album->setDirty(true);
            if (CatalogueSave::albumAndIndex(album, &index).isEmpty())
                Fuzz::fail("an album of a catalogue with a damaged index was stored", album->kivDir());
        }
        if (Fuzz::snapshot(root) != written)
            Fuzz::fail("a catalogue with a damaged index was changed", Fuzz::difference(written, Fuzz::snapshot(root)));
        return 0;
    }

    // Albums that refuse writes first, while every file is as read.
    for (PlayList *album : albums) {
        if (!album->writeRefusal().isEmpty()) {
            if (album->isValid())
                Fuzz::fail("an album refusing writes is shown as valid", album->writeRefusal());
            Fuzz::checkRefuses(*album, root, "an album refusing writes was written");
        }
    }
    index.setDirty(true);
    if (!index.save())
        Fuzz::fail("the index read could not be written back", CatalogueFile::lastWriteError());
    for (int i = 0; i < albums.size(); ++i) {
        PlayList *album = albums.at(i);
        // Only albums shown as valid take changes: the window and the tool refuse the
        // others before anything is written (a dynamic album without its folder, one
        // whose file is missing), and those refusing writes were tried above.
        if (!album->writeRefusal().isEmpty() || !album->isValid())
            continue;
        // What an album writes must be what it is read from the next time: the file its
        // index row names (albums are made in the order of the rows).
        const QString readFrom = context.folder + QLatin1Char('/') + index.row(i).value(4)
                                 + suffixOf(album->className());
        if (album->storedFilePath() != readFrom)
            Fuzz::fail("an album writes another file than the one it is read from",
                       album->storedFilePath() + QStringLiteral(" instead of ") + readFrom);
        album->setDirty(true);
        if (!album->save(album->kivDir()) && !Fuzz::nameTooLong(album->kivDir() + suffixOf(album->className())))
            Fuzz::fail("an album read could not be written back", album->lastError());
    }

    LibraryIndex again;
    again.setRoot(context.root);
    context.library = &again;
    again.load();
    CatalogueLoader::load(&list, again, context, QStringLiteral("media"));
    const QStringList secondIndex = describe(again);
    if (secondIndex != firstIndex)
        Fuzz::fail("the index did not read back as written",
                   firstIndex.join(QLatin1Char('\n')) + QStringLiteral("\nthen\n") + secondIndex.join(QLatin1Char('\n')));
    const QStringList secondAlbums = describe(list, &read);
    if (secondAlbums != firstAlbums)
        Fuzz::fail("the albums did not read back as written",
                   firstAlbums.join(QLatin1Char('\n')) + QStringLiteral("\nthen\n") + secondAlbums.join(QLatin1Char('\n')));
    list.clear();
    return 0;
}
