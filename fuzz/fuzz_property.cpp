// A picture's property file (<picture>.kiv). The input is read by both kinds of record
// (the 10 lines of a plain record, the 13 of a picture), written back by the record's
// own writer and read again: every value must come back. A file the record finds
// damaged must not be applied nor written over. Then the picture's values go into an
// album row, as a rescan of a folder or an edit in the panel puts them there, and must
// come back from the album file as they were.
#include "fuzzcommon.h"

#include "cataloguecontext.h"
#include "cataloguefile.h"
#include "photoitem.h"
#include "playlist.h"

#include <memory>

namespace {

const QString kPicture = QStringLiteral("IMG_0001.JPG");

// Every value the reader keeps, as the getters give it.
QStringList valuesOf(const KivViewItem &record)
{
    QStringList values{record.title(),  record.format(), record.category(),
                       record.comment(), QString::number(record.love()),
                       record.author(), record.from(),   record.date(),
                       record.fileType(), QString::number(record.userBadge())};
    if (const auto *photo = dynamic_cast<const PhotoItem *>(&record))
        values << photo->personInit() << photo->event() << photo->place();
    return values;
}

template <class Record>
std::unique_ptr<Record> readRecord(const QString &albumFolder)
{
    auto record = std::make_unique<Record>(kPicture);
    record->setFileName(kPicture);
    record->setSourceFolder(Fuzz::folder() + QStringLiteral("/pictures"));
    record->setAlbumFolderPath(albumFolder);
    record->readProperties();
    return record;
}

// Null when the record found its file damaged: then it must have kept the values it
// had (none), and refuse to write over the file.
template <class Record>
std::unique_ptr<Record> roundTrip(const QString &albumFolder, const QByteArray &input)
{
    Fuzz::emptyFolder(albumFolder);
    const QString path = albumFolder + QLatin1Char('/') + KivViewItem::propertyFileNameFor(kPicture);
    Fuzz::writeFile(path, input);
    std::unique_ptr<Record> first = readRecord<Record>(albumFolder);
    const QStringList read = valuesOf(*first);
    if (!first->propertiesDamage().isEmpty()) {
        const Record untouched(kPicture);
        if (read != valuesOf(untouched))
            Fuzz::fail("a damaged property file was applied", Fuzz::show(read));
        first->setTitle(QStringLiteral("changed"));
        if (first->writeProperties() || Fuzz::readFile(path) != input)
            Fuzz::fail("a damaged property file was written over", first->propertiesDamage());
        return nullptr;
    }

    // What the reader promises whatever the file holds.
    if (first->love() < 1 || first->love() > KivViewItem::MaxLove)
        Fuzz::fail("a love outside 1..5 was read", Fuzz::show(read));
    if (first->userBadge() < -1 || first->userBadge() > KivViewItem::MaxBadge)
        Fuzz::fail("a badge outside -1..6 was read", Fuzz::show(read));

    if (!first->writeProperties())
        Fuzz::fail("the property file could not be written back", CatalogueFile::lastWriteError());
    const std::unique_ptr<Record> second = readRecord<Record>(albumFolder);
    if (valuesOf(*second) != read)
        Fuzz::fail("the property file did not read back as written",
                   Fuzz::show(read) + QStringLiteral("\nthen\n") + Fuzz::show(valuesOf(*second)));
    return first;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = Fuzz::bytesOf(data, size);
    const QString root = Fuzz::folder() + QStringLiteral("/property");
    const CatalogueContext context = CatalogueContext::forInstallation(root + QStringLiteral("/install"));
    const QString kivDir = QStringLiteral("R05.01.2003.14.22.10.123");

    roundTrip<KivViewItem>(context.albumFolder(kivDir), input);
    const std::unique_ptr<PhotoItem> photo = roundTrip<PhotoItem>(context.albumFolder(kivDir), input);
    if (!photo)
        return 0;

    // The picture's row in an album, written with the album and read back.
    PlayList album;
    album.setContext(&context);
    album.setKivDir(kivDir);
    album.addRecord(photo.get());
    if (!album.save(kivDir))
        Fuzz::fail("the album holding the picture could not be written", album.lastError());
    PlayList back;
    back.setContext(&context);
    if (!back.load(album.storedFilePath()) || back.rowCount() != 1)
        Fuzz::fail("the album holding the picture did not read back", back.damage());
    // A "|" cannot stand in a row, whose texts it separates: there it is the broken bar
    // (the property file keeps the "|").
    auto inRow = [](QString text) { return text.replace(QLatin1Char('|'), QChar(0x00A6)); };
    const QStringList expected = Fuzz::rowValue(
        {inRow(photo->fileType()), photo->sourceFolder(), photo->fileName(), inRow(photo->title()),
         inRow(photo->category()), inRow(photo->comment()), QString::number(photo->love()), QStringLiteral("0"),
         QString::number(photo->userBadge()), inRow(photo->format()), inRow(photo->personInit())});
    const QStringList row = Fuzz::rowValue(back.rowTable().row(0));
    if (row != expected)
        Fuzz::fail("the picture's values did not come back from its album row",
                   Fuzz::show(expected) + QStringLiteral("\nthen\n") + Fuzz::show(row));
    return 0;
}
