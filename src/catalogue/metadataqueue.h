#pragma once

#include "tagmetadata.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QString>
#include <functional>

// Tags waiting to be written into pictures' metadata. Each is noted in the catalogue's
// file "metadata.pending" before it is written and taken out only once written, so a
// crash or a kill loses none: what is still noted is written by the next program that
// takes the queue up. Writing the same tags twice changes nothing, so a tag written
// but still noted when a kill came is harmless. One object per catalogue; its methods
// may be called from any thread.
class MetadataQueue
{
public:
    struct Entry
    {
        QString picture;
        TagMetadata::Target target = TagMetadata::Target::Sidecar;
        TagMetadata::Tags tags;
    };
    struct Failure
    {
        QString picture;
        QString reason;
    };

    explicit MetadataQueue(const QString &catalogueRoot);

    static QString fileName() { return QStringLiteral("metadata.pending"); }
    QString path() const { return m_path; }

    // Notes the entries (a picture noted already takes its newer tags). Returns an
    // empty text, or why they could not be noted (nothing is then noted).
    QString add(const QList<Entry> &entries);
    // Notes exactly these entries, in place of all (to take back what add() noted when
    // the change it belonged to could not be stored).
    QString replaceAll(const QList<Entry> &entries);
    QList<Entry> pending();
    int count();

    // Writes what is noted, in order, each picture once, and takes out what was
    // written; `stop` is asked between pictures. A picture that fails stays noted and
    // is told in the failures; so does one whose folder is gone (an unplugged drive).
    // A picture gone from a folder still there is dropped. `written` is told each
    // picture done.
    QList<Failure> writePending(const std::function<bool()> &stop = {},
                                const std::function<void(const Entry &)> &written = {});

    static QByteArray lineFor(const Entry &entry);
    static bool parseLine(QByteArrayView line, Entry *entry);

private:
    // Reads the file once; lines cut short by a kill are passed over.
    void loadLocked();
    // The entries noted after those there: a picture there already takes its newer tags.
    void mergeLocked(const QList<Entry> &entries);
    QString storeLocked();

    QMutex m_mutex;
    QString m_path;
    bool m_loaded = false;
    QList<Entry> m_entries;
    // Changes whenever the list is replaced whole, not only added to or taken from.
    int m_generation = 0;
    // Each noted picture's place in the list, while valid.
    QHash<QString, qsizetype> m_places;
    bool m_placesValid = false;
};
