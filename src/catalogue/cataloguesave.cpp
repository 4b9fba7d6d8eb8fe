#include "cataloguesave.h"

#include "cataloguefile.h"
#include "cataloguebatch.h"
#include "kivviewitem.h"
#include "libraryindex.h"
#include "playlist.h"

#include <memory>
#include <optional>
#include <vector>

namespace CatalogueSave {

namespace {

QString albumFailure(const PlayList *album)
{
    const QString why = album->lastError();
    return why.isEmpty() ? QStringLiteral("The album \"%1\" could not be written.").arg(album->name()) : why;
}

} // namespace

QString indexFailure(const LibraryIndex *library)
{
    if (library->isDamaged())
        return library->damage() + QStringLiteral(" Nothing is written until it is repaired.");
    return QStringLiteral("The library index %1 could not be written (%2).")
        .arg(library->filePath(), CatalogueFile::lastWriteError());
}

QString message(const QString &detail)
{
    QString text = QStringLiteral("Your change could not be saved.\n\n") + detail;
    if (CatalogueFile::isReadOnly())
        text += QStringLiteral("\n\n") + CatalogueFile::readOnlyReason();
    return text;
}

QString albumAndIndex(PlayList *album, LibraryIndex *library)
{
    if (!album)
        return {};
    // A damaged index takes no row until it is repaired: the album is not written
    // either (putting it back afterwards would still leave the folder a first write makes).
    if (library && library->isDamaged())
        return message(indexFailure(library));
    const bool wasDirty = album->isDirty();
    const CatalogueFile::Snapshot before(album->storedFilePath());
    if (!album->save(album->kivDir()))
        return message(albumFailure(album));
    if (!library)
        return {};
    library->updateAlbum(album);
    if (!library->save()) {
        if (wasDirty) {
            before.restore();
            album->setDirty(true);
        }
        return message(indexFailure(library));
    }
    return {};
}

QString propertiesAndAlbums(const QList<const KivViewItem *> &records, const QList<PlayList *> &albums,
                            LibraryIndex *library, const Progress &progress, bool *cancelled)
{
    if (cancelled)
        *cancelled = false;
    if (library && library->isDamaged())
        return message(indexFailure(library));
    std::vector<std::unique_ptr<CatalogueFile::Snapshot>> written;
    auto undo = [&written] {
        // Thousands of files are put back as they were written: in one batch.
        std::optional<CatalogueFile::Batch> batch;
        if (written.size() > 1)
            batch.emplace();
        for (auto it = written.rbegin(); it != written.rend(); ++it)
            (*it)->restore();
        if (batch)
            batch->commit();
    };
    // Several property files are staged, flushed together and renamed: a failure or a
    // cancel before the renames leaves every one as it was.
    std::optional<CatalogueFile::Batch> batch;
    if (records.size() > 1)
        batch.emplace();
    for (const KivViewItem *record : records) {
        auto snapshot = std::make_unique<CatalogueFile::Snapshot>(record->propertyFilePath());
        if (!record->writeProperties())
            return message(QStringLiteral("The property file %1 could not be written (%2).")
                               .arg(record->propertyFilePath(), CatalogueFile::lastWriteError()));
        written.push_back(std::move(snapshot));
        if (batch && progress && !progress(qsizetype(written.size()), records.size())) {
            if (cancelled)
                *cancelled = true;
            return {};
        }
    }
    if (batch && !batch->commit()) {
        const QString why = CatalogueFile::lastWriteError();
        undo();
        return message(QStringLiteral("The property files of %1 pictures could not be written (%2).")
                           .arg(records.size())
                           .arg(why));
    }
    QList<PlayList *> saved;
    for (PlayList *album : albums) {
        const bool wasDirty = album->isDirty();
        auto snapshot = std::make_unique<CatalogueFile::Snapshot>(album->storedFilePath());
        if (!album->save(album->kivDir())) {
            undo();
            for (PlayList *done : std::as_const(saved))
                done->setDirty(true);
            return message(albumFailure(album));
        }
        if (wasDirty) {
            written.push_back(std::move(snapshot));
            saved << album;
        }
    }
    if (library) {
        for (PlayList *album : albums)
            library->updateAlbum(album);
        if (!library->save()) {
            undo();
            for (PlayList *done : std::as_const(saved))
                done->setDirty(true);
            return message(indexFailure(library));
        }
    }
    return {};
}

QString albumThenProperties(PlayList *album, const QList<const KivViewItem *> &records, LibraryIndex *library)
{
    const CatalogueFile::Snapshot albumBefore(album->storedFilePath());
    std::optional<CatalogueFile::Snapshot> indexBefore;
    if (library)
        indexBefore.emplace(library->filePath());
    if (const QString error = albumAndIndex(album, library); !error.isEmpty())
        return error;
    if (const QString error = propertiesAndAlbums(records, {}, nullptr); !error.isEmpty()) {
        albumBefore.restore();
        if (indexBefore)
            indexBefore->restore();
        album->setDirty(true);
        return error;
    }
    return {};
}

} // namespace CatalogueSave
