#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Looks over a whole catalogue for what a crash, a full disk or a hand in the files
// can leave behind, and mends what can be mended without losing anything.
namespace CatalogueCheck {

// One thing found wrong. `kind` is one of the words below; `album` the album's id (or
// its name when it has no usable id), empty for the catalogue as a whole; `path` the
// file concerned; `detail` a sentence for the user.
struct Problem
{
    QString kind;
    QString album;
    QString path;
    QString detail;
};

// The kinds of problem, as the tool prints them.
namespace Kind {
inline const QString IndexDamaged = QStringLiteral("index-damaged");
inline const QString AlbumFileMissing = QStringLiteral("album-file-missing");
inline const QString AlbumFileUnreadable = QStringLiteral("album-file-unreadable");
inline const QString AlbumNotInIndex = QStringLiteral("album-not-in-index");
inline const QString AlbumOutsideCatalogue = QStringLiteral("album-outside-catalogue");
inline const QString PictureMissing = QStringLiteral("picture-missing");
inline const QString RowDisagrees = QStringLiteral("row-disagrees");
inline const QString OrphanThumbnail = QStringLiteral("orphan-thumbnail");
inline const QString OrphanPropertyFile = QStringLiteral("orphan-property-file");
inline const QString StaleLock = QStringLiteral("stale-lock");
inline const QString UnfinishedWrite = QStringLiteral("unfinished-write");
inline const QString PropertyFileDamaged = QStringLiteral("property-file-damaged");
inline const QString LockUnusable = QStringLiteral("lock-unusable");
} // namespace Kind

struct Report
{
    // False when the catalogue cannot be read at all (no catalogue folder, an index
    // that cannot be opened); `unreadable` then says why and there are no problems.
    bool readable = true;
    QString unreadable;
    // A running program holds the catalogue: what is found may be a write under way,
    // and nothing may be repaired.
    bool inUse = false;
    QList<Problem> problems;
};

// Reads the catalogue of the installation folder; changes nothing.
Report run(const QString &installDir);

// The repairs `report` calls for, one sentence each, in the order they are made. Only
// safe ones: a picture file, a property file, or the row of a picture that is merely
// missing (its drive may be unplugged) is never deleted.
QStringList plan(const Report &report);

struct Repaired
{
    QStringList done;  // one sentence per repair made
    QString error;     // why repairing stopped; empty when every repair was made
};

// Makes the repairs of `plan(report)` (the caller shows the plan first). With
// `backupFirst`, a backup of the catalogue is taken before anything is changed, and
// without it nothing is changed.
Repaired repair(const QString &installDir, const Report &report, bool backupFirst = true);

} // namespace CatalogueCheck
