// Adding a picture to an album, as a drop or the file chooser does: the picture's header
// is read, the picture decoded under Qt's image allocation limit, its thumbnail made
// and written, its row stored in the album file and the library index. The input is
// the picture file, named by its first bytes (.jpg, .png, .gif, .bmp, .svg, .webp, else .tif,
// which Qt reads by content when the name misleads it); an input of odd length is added
// with the fast thumbnails, an even one with the smooth ones and their thumbnail file.
//
// A picture added must have been read: its row names its size and its thumbnail is
// 99 x 73, in the album file read back as well as in the record shown. A picture
// refused is told to the user, and leaves the album and its files as they were.
// libFuzzer's -rss_limit_mb and -malloc_limit_mb catch a picture that makes the
// program allocate past what a thumbnail needs.
#include "fuzzcommon.h"

#include "albumadd.h"
#include "libraryindex.h"
#include "playlist.h"
#include "thumbnailmaker.h"

#include <QImage>

namespace {

QString nameFor(const QByteArray &bytes)
{
    if (bytes.startsWith("\xff\xd8"))
        return QStringLiteral("IMG_0001.jpg");
    if (bytes.startsWith("\x89PNG"))
        return QStringLiteral("IMG_0001.png");
    if (bytes.startsWith("GIF8"))
        return QStringLiteral("IMG_0001.gif");
    if (bytes.startsWith("BM"))
        return QStringLiteral("IMG_0001.bmp");
    if (bytes.startsWith("<svg") || bytes.startsWith("<?xml"))
        return QStringLiteral("IMG_0001.svg");
    if (bytes.startsWith("RIFF"))
        return QStringLiteral("IMG_0001.webp");
    return QStringLiteral("IMG_0001.tif");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = Fuzz::bytesOf(data, size);
    const bool fast = size % 2 == 1;
    const QString root = Fuzz::folder() + QStringLiteral("/picture");
    Fuzz::emptyFolder(root);
    CatalogueContext context = CatalogueContext::forInstallation(root + QStringLiteral("/install"));
    QDir().mkpath(context.folder);
    const QString pictures = root + QStringLiteral("/pictures");
    QDir().mkpath(pictures);
    const QString path = pictures + QLatin1Char('/') + nameFor(bytes);
    Fuzz::writeFile(path, bytes);

    LibraryIndex index;
    index.setRoot(context.root);
    context.library = &index;
    PlayList album;
    album.setContext(&context);
    album.setName(QStringLiteral("Trip"));
    album.setKivDir(QStringLiteral("Trip05.01.2003.14.22.10.123"));
    index.insertAlbum(&album, nullptr);
    album.setDirty(true);
    if (!index.save() || !album.save(album.kivDir()))
        Fuzz::fail("the empty catalogue could not be written");
    const Fuzz::Tree before = Fuzz::snapshot(root);

    Fuzz::RecordingPrompter prompter;
    const AlbumAdd::Result result = AlbumAdd::addFiles(&album, {path}, fast, prompter);
    if (result.added.empty()) {
        if (result.refused != 1 || prompter.messages.isEmpty())
            Fuzz::fail("a picture was refused without a word to the user");
        if (album.rowCount() != 0)
            Fuzz::fail("a picture refused is in the album");
        if (Fuzz::snapshot(root) != before)
            Fuzz::fail("a picture refused changed the catalogue", Fuzz::difference(before, Fuzz::snapshot(root)));
        return 0;
    }
    if (result.added.size() != 1 || !result.saveError.isEmpty() || !prompter.messages.isEmpty())
        Fuzz::fail("one picture added gave other than one record and no message", result.saveError);

    const PhotoItem &photo = *result.added.front();
    const QSize pictureSize = ThumbnailMaker::pictureSize(path);
    const QString format = QString::number(pictureSize.width()) + QLatin1Char('*') + QString::number(pictureSize.height());
    if (!pictureSize.isValid() || photo.format() != format)
        Fuzz::fail("a picture added does not hold its size", photo.format() + QStringLiteral(" for ") + format);
    if (photo.thumbnail().size() != QSize(ThumbnailMaker::Width, ThumbnailMaker::Height))
        Fuzz::fail("a picture added was shown without its thumbnail");
    if (!fast && QImage(photo.thumbnailPath()).size() != QSize(ThumbnailMaker::Width, ThumbnailMaker::Height))
        Fuzz::fail("a picture added has no thumbnail file");

    // The album file and the index, read back.
    PlayList back;
    back.setContext(&context);
    if (!back.load(album.storedFilePath()) || back.rowCount() != 1)
        Fuzz::fail("the album the picture was added to does not read back", back.damage());
    const QStringList row = Fuzz::rowValue(back.rowTable().row(0));
    const QStringList expected = Fuzz::rowValue(PlayList::rowFor(&photo));
    if (row != expected)
        Fuzz::fail("the row of a picture added did not read back", Fuzz::show(expected) + QStringLiteral("\nthen\n")
                                                                        + Fuzz::show(row));
    LibraryIndex again;
    again.setRoot(context.root);
    if (!again.load() || again.rowCount() != 1 || again.row(0).value(4) != album.kivDir())
        Fuzz::fail("the index of the album the picture was added to does not read back", again.damage());
    return 0;
}
