#include "albumadd.h"

#include "cataloguecontext.h"
#include "directoryplaylist.h"
#include "libraryindex.h"
#include "prompter.h"

#include <QFileInfo>

namespace AlbumAdd {

Result addFiles(PlayList *album, const QStringList &paths, bool fastThumbs, Prompter &prompter, QWidget *parent,
                const QString &duplicateText)
{
    Result result;
    if (!album)
        return result;
    auto *dynamic = dynamic_cast<DirectoryPlaylist *>(album);
    for (const QString &path : paths) {
        const std::unique_ptr<KivViewItem> record = album->createRecord(path);
        if (!record) {
            prompter.message(parent, {Prompter::Icon::Warning, QStringLiteral("Vellaro"),
                                      QStringLiteral("Could not open this file.\nThis file cannot be added to the "
                                                     "database\n\n"),
                                      {QStringLiteral("Retry"), QStringLiteral("Quit")}, 0, 1});
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
        photo->setAlbumFolder(album->albumFolder());
        photo->setFileName(record->fileName());
        photo->setSourceFolder(record->sourceFolder());
        photo->setOwnerAlbum(album);
        photo->readProperties();
        if (photo->fileType().isEmpty())
            photo->setFileType(KivViewItem::kindOfFile(photo->picturePath()));
        if (QFileInfo::exists(photo->thumbnailPath())) {
            // The thumbnail is there already: the picture's header gives its format,
            // without decoding the picture.
            photo->setThumbnail(QPixmap(photo->thumbnailPath()));
            const QSize size = ThumbnailMaker::pictureSize(photo->picturePath());
            if (size.isValid())
                photo->setFormat(QString::number(size.width()) + QLatin1Char('*') + QString::number(size.height()));
            photo->setFileTime(QFileInfo(photo->picturePath()).lastModified());
        } else {
            photo->makeThumbnail(fastThumbs);
        }
        photo->setUserBadge(-1);
        if (!album->addRecord(photo.get())) {
            prompter.information(parent, QStringLiteral("Unable to add this picture.\nA different file of that name "
                                                        "is already in the folder of this album."));
            ++result.refused;
            continue;
        }
        if (dynamic)
            photo->setSourceFolder(dynamic->from());
        result.added.push_back(std::move(photo));
    }
    album->save(album->kivDir());
    if (const CatalogueContext *context = album->context(); context && context->library) {
        context->library->updateAlbum(album);
        context->library->save();
    }
    return result;
}

} // namespace AlbumAdd
