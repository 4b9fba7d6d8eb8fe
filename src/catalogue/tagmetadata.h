#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

class KivViewItem;

// A picture's tags in the standard places other programs read and write: XMP (embedded
// or in a sidecar file), EXIF and IPTC, through libexiv2. Albums and view counts stay
// in the catalogue only. Safe on any thread.
namespace TagMetadata {

// The user badges by the names written as the XMP label, index = badge number.
const QStringList &badgeNames();

// The tags of one picture as the metadata holds them. An empty text, a love of 0, a
// badge of NoBadge and an empty person list mean "not given".
struct Tags
{
    static constexpr int NoBadge = -2;

    int love = 0;  // 1..5
    QString title;
    QString comment;
    QString category;
    QStringList persons;
    QString place;
    QString event;
    QString date;  // ISO 8601: "2019-06-01T10:30:00" (or a day alone, "2019-06-01")
    int badge = NoBadge;  // -1 (none) .. 6

    bool isEmpty() const;
    bool operator==(const Tags &other) const;
    bool operator!=(const Tags &other) const { return !(*this == other); }
};

// One line of the mapping: a catalogue field and where it goes.
struct MappingRow
{
    const char *field;       // the catalogue's name for it
    const char *written;     // the properties written, first the one read first
    const char *read;        // what is read, when it differs from what is written
};
const QList<MappingRow> &mapping();

enum class Target { Sidecar, Embedded };

// Where a sidecar is written: the picture's whole name and ".xmp" (IMG_1.JPG.xmp).
QString sidecarPath(const QString &picturePath);
// The sidecar that is read: NAME.EXT.xmp, else NAME.xmp; empty when there is none.
QString sidecarToRead(const QString &picturePath);
// Whether a file is a sidecar (its name ends in ".xmp", any case).
bool isSidecarName(const QString &fileName);
// JPEG, TIFF and PNG hold the tags inside; other formats get a sidecar instead.
bool canEmbed(const QString &picturePath);

struct ReadResult
{
    Tags tags;
    // Why some metadata could not be read (damaged, unreadable): what could be read is
    // in `tags`.
    QString error;
};

// The tags of a picture: those of its sidecar first, the embedded ones for what the
// sidecar does not give. Values that cannot stand in the catalogue are made to fit:
// line breaks become spaces, "|" becomes "/", and "," in a person's name a space.
ReadResult read(const QString &picturePath);

// The tags where `target` keeps them: the sidecar alone, or the picture alone (the
// sidecar for a format that cannot hold them).
ReadResult readTarget(const QString &picturePath, Target target);

// The tags of the sidecar or packet text alone.
ReadResult readPacket(const QByteArray &packet);

// Writes `tags` into the picture's metadata: into its sidecar, or inside the picture
// (a format that cannot hold them gets a sidecar). A value not given leaves what the
// metadata holds, and so does one the metadata holds already (as read() gives it); one
// heart is written only to bring a higher rating down; a day without a time of day
// keeps the metadata's time. The picture's other metadata is kept; a first sidecar
// starts from the XMP inside the picture. The file is written whole
// beside the old one and renamed into place; the image data is never re-encoded.
// Returns an empty text on success, else why nothing was changed. `writtenTo` is the
// file written. A dry run makes every check and writes nothing. Metadata libexiv2
// reads only in part (a damaged EXIF block) is never rewritten: it is refused.
QString write(const QString &picturePath, const Tags &tags, Target target, QString *writtenTo = nullptr,
              bool dryRun = false);

// The tags of a catalogue record (persons, place and event from a picture record).
Tags fromRecord(const KivViewItem &record);

// One field changed in a record.
struct Change
{
    QString field;
    QString before;
    QString after;
};

// Fills the record's fields from `tags`: only the empty ones (no title, no love, ...),
// or every one the tags give when `overwrite`. Returns what changed.
QList<Change> applyToRecord(KivViewItem &record, const Tags &tags, bool overwrite);

// What writing `tags` would change in metadata that holds `present`.
QList<Change> differences(const Tags &present, const Tags &tags);

// "title \"Sunset\" (was \"\")", for printing.
QString describe(const Change &change);

// Prepares libexiv2's XMP toolkit for use from several threads. Called by read() and
// write(); call it before any other use of libexiv2's XMP.
void initialize();

} // namespace TagMetadata

Q_DECLARE_METATYPE(TagMetadata::Tags)
