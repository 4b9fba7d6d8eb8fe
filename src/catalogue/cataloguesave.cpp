#include "cataloguesave.h"

#include "cataloguefile.h"
#include "cataloguebatch.h"
#include "kivviewitem.h"
#include "libraryindex.h"
#include "playlist.h"

#include <QFileInfo>
#include <QSet>

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

namespace {

int g_running = 0;  // changes letting the window answer while they run

// Puts back what the snapshots hold, the last taken first; several in one batch
// (thousands of files would take two flushes each). False when a file could not be
// put back.
bool putBack(const std::vector<const CatalogueFile::Snapshot *> &snapshots)
{
    std::optional<CatalogueFile::Batch> batch;
    if (snapshots.size() > 1)
        batch.emplace();
    bool all = true;
    for (auto it = snapshots.rbegin(); it != snapshots.rend(); ++it)
        all = (*it)->restore() && all;
    if (batch && !batch->commit())
        all = false;
    return all;
}

QString notAllPutBack(bool all)
{
    return all ? QString()
               : QStringLiteral(" Some files could not be put back as they were; the pictures show what their "
                                "files hold now.");
}

// The snapshots of the property files a failed commit renamed: those that changed.
std::vector<const CatalogueFile::Snapshot *> renamedOnes(const CatalogueFile::Batch &batch,
                                                         const QList<const KivViewItem *> &records,
                                                         const std::vector<std::unique_ptr<CatalogueFile::Snapshot>> &snapshots)
{
    const QStringList paths = batch.renamed();
    const QSet<QString> renamed(paths.cbegin(), paths.cend());
    std::vector<const CatalogueFile::Snapshot *> changed;
    for (std::size_t i = 0; i < snapshots.size() && i < std::size_t(records.size()); ++i) {
        if (renamed.contains(QFileInfo(records.at(qsizetype(i))->propertyFilePath()).absoluteFilePath()))
            changed.push_back(snapshots[i].get());
    }
    return changed;
}

// Writes (or stages) a record's property file, keeping what was there before in `kept`.
bool writeKeeping(const KivViewItem *record, std::vector<std::unique_ptr<CatalogueFile::Snapshot>> *kept)
{
    auto snapshot = std::make_unique<CatalogueFile::Snapshot>(record->propertyFilePath());
    if (!record->writeProperties())
        return false;
    kept->push_back(std::move(snapshot));
    return true;
}

QString propertyFailure(const KivViewItem *record)
{
    return message(QStringLiteral("The property file %1 could not be written (%2).")
                       .arg(record->propertyFilePath(), CatalogueFile::lastWriteError()));
}

} // namespace

bool changeRunning()
{
    return g_running > 0;
}

QString propertiesAndAlbums(const QList<const KivViewItem *> &records, const QList<PlayList *> &albums,
                            LibraryIndex *library, const Progress &progress, bool *cancelled)
{
    if (cancelled)
        *cancelled = false;
    if (library && library->isDamaged())
        return message(indexFailure(library));
    // Several property files are staged, flushed together and renamed: a failure or a
    // cancel before the renames leaves every one as it was.
    std::optional<CatalogueFile::Batch> batch;
    if (records.size() > 1)
        batch.emplace();
    // While the window answers between two files, other changes wait for this one.
    struct Running
    {
        Running() { ++g_running; }
        ~Running() { --g_running; }
    };
    std::optional<Running> running;
    if (batch && progress)
        running.emplace();
    // A change stopped before its commit removes what it staged, the window told how
    // far that is (thousands of files take a while).
    auto drop = [&batch, &progress] {
        if (batch && progress) {
            batch->drop([&progress](qsizetype removed, qsizetype total) {
                const CatalogueFile::Batch::Pause pause;
                progress(Stage::Dropping, removed, total);
            });
        }
    };
    std::vector<std::unique_ptr<CatalogueFile::Snapshot>> properties;
    for (const KivViewItem *record : records) {
        if (!writeKeeping(record, &properties)) {
            const QString why = propertyFailure(record);
            drop();
            return why;
        }
        if (batch && progress) {
            bool goOn = false;
            {
                // What runs while the window answers is written as usual, not staged here.
                const CatalogueFile::Batch::Pause pause;
                goOn = progress(Stage::Staging, qsizetype(properties.size()), records.size());
            }
            if (!goOn) {
                if (cancelled)
                    *cancelled = true;
                drop();
                return {};
            }
        }
    }
    // The albums and the index join the batch: the whole change reaches the disk
    // together, is written down, and takes its names at once (finished at the next start
    // if it is cut short among them). Alone, each is written and can be put back.
    std::vector<std::unique_ptr<CatalogueFile::Snapshot>> albumFiles;
    auto undo = [&properties, &albumFiles] {
        std::vector<const CatalogueFile::Snapshot *> all;
        for (const auto &snapshot : properties)
            all.push_back(snapshot.get());
        for (const auto &snapshot : albumFiles)
            all.push_back(snapshot.get());
        return putBack(all);
    };
    QList<PlayList *> saved;
    // Nothing is renamed before the commit: a failure before it only drops what the
    // batch staged (when it closes), and every file is as it was.
    // What was staged goes; the albums staged stay to be written by the next change.
    auto takeBack = [&]() {
        for (PlayList *done : std::as_const(saved))
            done->setDirty(true);
        drop();
    };
    auto failed = [&](const QString &why) {
        takeBack();
        return message(batch ? why : why + notAllPutBack(undo()));
    };
    // Cancel is heard until the commit: while the albums and the index are staged (the
    // albums of a large All Photos take seconds), and once more just before it.
    auto cancelledNow = [&]() {
        if (!batch || !progress)
            return false;
        bool goOn = false;
        {
            const CatalogueFile::Batch::Pause pause;
            goOn = progress(Stage::Staging, qsizetype(records.size()), records.size());
        }
        if (goOn)
            return false;
        if (cancelled)
            *cancelled = true;
        takeBack();
        return true;
    };
    for (PlayList *album : albums) {
        const bool wasDirty = album->isDirty();
        auto snapshot = std::make_unique<CatalogueFile::Snapshot>(album->storedFilePath());
        if (!album->save(album->kivDir()))
            return failed(albumFailure(album));
        if (wasDirty) {
            albumFiles.push_back(std::move(snapshot));
            saved << album;
        }
        if (cancelledNow())
            return {};
    }
    if (library) {
        albumFiles.push_back(std::make_unique<CatalogueFile::Snapshot>(library->filePath()));
        for (PlayList *album : albums)
            library->updateAlbum(album);
        if (!library->save())
            return failed(indexFailure(library));
    }
    if (cancelledNow())
        return {};
    // The disk may take minutes: the window repaints meanwhile and shows how many files
    // have taken their new versions, told that no cancel is possible any more.
    std::function<void(qsizetype, qsizetype)> whileWriting;
    if (progress) {
        whileWriting = [&progress](qsizetype renamed, qsizetype total) {
            const CatalogueFile::Batch::Pause pause;
            progress(Stage::Writing, renamed, total);
        };
    }
    if (batch && !batch->commit(whileWriting)) {
        const QString why = CatalogueFile::lastWriteError();
        std::vector<const CatalogueFile::Snapshot *> renamed = renamedOnes(*batch, records, properties);
        const QStringList paths = batch->renamed();
        const QSet<QString> renamedPaths(paths.cbegin(), paths.cend());
        for (const auto &snapshot : albumFiles) {
            if (renamedPaths.contains(QFileInfo(snapshot->path()).absoluteFilePath()))
                renamed.push_back(snapshot.get());
        }
        const bool all = putBack(renamed);
        for (PlayList *done : std::as_const(saved))
            done->setDirty(true);
        return message(QStringLiteral("The property files of %1 pictures could not be written (%2).")
                           .arg(records.size())
                           .arg(why)
                       + notAllPutBack(all));
    }
    return {};
}

QString albumThenProperties(PlayList *album, const QList<const KivViewItem *> &records, LibraryIndex *library)
{
    if (library && library->isDamaged())
        return message(indexFailure(library));
    const CatalogueFile::Snapshot albumBefore(album->storedFilePath());
    std::optional<CatalogueFile::Snapshot> indexBefore;
    if (library)
        indexBefore.emplace(library->filePath());
    // The property files are staged first: a full disk stops the add before anything
    // changed. Then the album and the index, then the property files take their names.
    CatalogueFile::Batch batch;
    std::vector<std::unique_ptr<CatalogueFile::Snapshot>> properties;
    for (const KivViewItem *record : records) {
        if (!writeKeeping(record, &properties))
            return propertyFailure(record);
    }
    {
        const CatalogueFile::Batch::Pause pause;
        if (const QString error = albumAndIndex(album, library); !error.isEmpty())
            return error;
    }
    if (!batch.commit()) {
        const QString why = CatalogueFile::lastWriteError();
        std::vector<const CatalogueFile::Snapshot *> back = renamedOnes(batch, records, properties);
        back.insert(back.begin(), &albumBefore);
        if (indexBefore)
            back.insert(back.begin() + 1, &*indexBefore);
        const bool all = putBack(back);
        album->setDirty(true);
        return message(QStringLiteral("The property files of the new pictures could not be written (%1).").arg(why)
                       + (all ? QString()
                              : QStringLiteral(" The album's file could not be put back as it was: it lists the new "
                                               "pictures, which will show again at the next start.")));
    }
    return {};
}

} // namespace CatalogueSave
