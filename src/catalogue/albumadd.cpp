#include "albumadd.h"

#include "cataloguecontext.h"
#include "cataloguesave.h"
#include "cataloguetext.h"
#include "directoryplaylist.h"
#include "libraryindex.h"
#include "prompter.h"
#include "tagmetadata.h"
#include "thumbnailmaker.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace AlbumAdd {

namespace {

// Names the file that cannot be added; true when the user asks to try it again (a
// drive plugged in meanwhile), false to go on without it.
bool retryCannotOpen(Prompter &prompter, QWidget *parent, const QString &path)
{
    return prompter.message(parent, {Prompter::Icon::Warning, QStringLiteral("Vellaro"),
                                     QStringLiteral("Could not open this file.\nThis file cannot be added to the "
                                                    "database\n\n")
                                         + path,
                                     {QStringLiteral("Retry"), QStringLiteral("Quit")}, 0, 1})
        == 0;
}

bool isReadablePicture(const QString &path)
{
    QImageReader reader(path);
    return reader.canRead() && !reader.size().isEmpty();
}

// Why a picture whose header was read could not be decoded. Qt decodes no picture
// whose pixels would need more than its allocation limit (a header may claim
// 60,000 x 60,000 pixels, 14 GB, in a file of a few bytes): that one is told as too
// large; the others as damaged.
QString undecodableText(const QString &path)
{
    const QSize size = ThumbnailMaker::pictureSize(path);
    const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    if (limit > 0 && size.isValid() && qint64(size.width()) * size.height() * 4 > limit)
        return QStringLiteral("Unable to add this picture.\nIt is too large to be shown (%1 x %2 pixels):\n%3")
            .arg(size.width())
            .arg(size.height())
            .arg(path);
    return QStringLiteral("Unable to add this picture.\nIts pixels cannot be read (the file may be damaged or cut "
                          "short):\n")
           + path;
}

} // namespace

Result addFiles(PlayList *album, const QStringList &paths, bool fastThumbs, Prompter &prompter, QWidget *parent,
                const QString &duplicateText)
{
    Result result;
    if (!album)
        return result;
    auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album);
    // An album that cannot be written takes nothing; a dynamic album without its folder
    // has nowhere to copy a picture to.
    if (!album->isValid() || !album->writeRefusal().isEmpty() || (dynamic && dynamic->folderGone())) {
        prompter.message(parent, {Prompter::Icon::Warning, QStringLiteral("Album non valid"),
                                  QStringLiteral("Your album is invalid.Do refresh thumbs or remove for resolve the "
                                                 "issue."),
                                  {QStringLiteral("OK")}, 0, 0});
        result.refused = int(paths.size());
        return result;
    }
    const bool wasDirty = album->isDirty();
    const int rowsBefore = album->rowCount();
    QStringList copies;
    // Pictures given tags from their metadata: their property files hold the date,
    // place and event, which the album row does not.
    QList<const KivViewItem *> tagged;
    for (const QString &path : paths) {
        std::unique_ptr<KivViewItem> record = album->createRecord(path);
        while (!record || !isReadablePicture(path)) {
            if (!retryCannotOpen(prompter, parent, path))
                break;
            record = album->createRecord(path);
        }
        if (!record || !isReadablePicture(path)) {
            ++result.refused;
            continue;
        }
        // The folder and the name both stand in the album row.
        if (!CatalogueText::propertyRefusal(record->sourceFolder() + QLatin1Char('/') + record->fileName()).isEmpty()) {
            prompter.information(parent, QStringLiteral("Unable to add this picture.\nA file whose name or folder "
                                                        "holds \"|\" or a line break cannot be catalogued:\n")
                                             + path);
            ++result.refused;
            continue;
        }
        if (album->indexOfFile(record->fileName()) >= 0) {
            prompter.information(parent, duplicateText.isEmpty()
                                             ? QStringLiteral("Unable to add this picture.\nA photo already have "
                                                              "this filename.")
                                             : duplicateText);
            ++result.refused;
            continue;
        }

        auto photo = std::make_unique<PhotoItem>(record->fileName());
        // The album's folder is made only for a picture that is added.
        photo->setAlbumFolderPath(album->albumFolder());
        photo->setFileName(record->fileName());
        photo->setSourceFolder(record->sourceFolder());
        photo->setOwnerAlbum(album);
        photo->readProperties();
        const QString type = photo->fileType().trimmed();
        if (type.isEmpty() || type == QLatin1String("Undefined"))
            photo->setFileType(KivViewItem::kindOfFile(photo->picturePath()));
        // Always from the picture: a thumbnail file of that name may be left from a
        // different picture that once had the name. A picture that cannot be decoded
        // would be catalogued as a blank without its size: it is refused.
        const ThumbnailMaker::Result made = ThumbnailMaker::make(photo->picturePath(), fastThumbs);
        if (!made.loaded) {
            prompter.information(parent, undecodableText(path));
            ++result.refused;
            continue;
        }
        photo->setAlbumFolder(album->albumFolder());
        photo->applyThumbnail(made, !fastThumbs);
        if (fastThumbs)
            QFile::remove(photo->thumbnailPath());
        photo->setUserBadge(-1);
        // Fields the catalogue does not hold yet come from the picture's own metadata,
        // read beside its thumbnail; metadata that cannot be read is passed over.
        bool tagsRead = false;
        if (album->context() && album->context()->readTagsOnAdd) {
            const TagMetadata::ReadResult read = TagMetadata::read(photo->picturePath());
            tagsRead = !TagMetadata::applyToRecord(*photo, read.tags, false).isEmpty();
        }
        // A copy the dynamic album makes into its folder is taken back if nothing is stored.
        const QString copy = dynamic ? dynamic->from() + QLatin1Char('/') + photo->fileName() : QString();
        if (dynamic && !QFileInfo::exists(copy))
            copies << copy;
        album->setLastError(QString());
        if (!album->addRecord(photo.get())) {
            prompter.information(parent, album->lastError().isEmpty()
                                             ? QStringLiteral("Unable to add this picture.\nA different file of "
                                                              "that name is already in the folder of this album.")
                                             : album->lastError());
            ++result.refused;
            continue;
        }
        if (dynamic)
            photo->setSourceFolder(dynamic->from());
        if (tagsRead)
            tagged << photo.get();
        result.added.push_back(std::move(photo));
    }
    if (result.added.empty())
        return result;
    LibraryIndex *library = album->context() ? album->context()->library : nullptr;
    result.saveError = tagged.isEmpty() ? CatalogueSave::albumAndIndex(album, library)
                                        : CatalogueSave::albumThenProperties(album, tagged, library);
    if (!result.saveError.isEmpty()) {
        // Nothing was stored: the album goes back to the rows it had, and the pictures
        // are not shown as added.
        for (const auto &photo : result.added)
            album->dropRow(photo->fileName());
        for (const QString &copy : std::as_const(copies))
            QFile::remove(copy);
        album->setDirty(wasDirty || album->rowCount() != rowsBefore);
        result.refused += int(result.added.size());
        result.added.clear();
    }
    return result;
}

} // namespace AlbumAdd
