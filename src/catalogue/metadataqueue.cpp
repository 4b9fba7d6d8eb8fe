#include "metadataqueue.h"

#include "cataloguefile.h"
#include "cataloguelog.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// After this many pictures written, or an eighth of those noted when more, the file is
// rewritten without them; a kill before that only makes the next run write them again.
// (Rewritten every 32 pictures, a queue of half a million would write its file some
// fifteen thousand times over.)
constexpr int CompactEvery = 32;

QJsonObject tagsObject(const TagMetadata::Tags &tags)
{
    QJsonObject object;
    if (tags.love)
        object.insert(QStringLiteral("love"), tags.love);
    auto text = [&](const char *key, const QString &value) {
        if (!value.isEmpty())
            object.insert(QLatin1String(key), value);
    };
    text("title", tags.title);
    text("comment", tags.comment);
    text("category", tags.category);
    if (!tags.persons.isEmpty())
        object.insert(QStringLiteral("persons"), QJsonArray::fromStringList(tags.persons));
    text("place", tags.place);
    text("event", tags.event);
    text("date", tags.date);
    if (tags.badge != TagMetadata::Tags::NoBadge)
        object.insert(QStringLiteral("badge"), tags.badge);
    return object;
}

TagMetadata::Tags tagsFrom(const QJsonObject &object)
{
    TagMetadata::Tags tags;
    tags.love = object.value(QStringLiteral("love")).toInt();
    tags.title = object.value(QStringLiteral("title")).toString();
    tags.comment = object.value(QStringLiteral("comment")).toString();
    tags.category = object.value(QStringLiteral("category")).toString();
    for (const QJsonValue &person : object.value(QStringLiteral("persons")).toArray())
        tags.persons << person.toString();
    tags.place = object.value(QStringLiteral("place")).toString();
    tags.event = object.value(QStringLiteral("event")).toString();
    tags.date = object.value(QStringLiteral("date")).toString();
    tags.badge = object.value(QStringLiteral("badge")).toInt(TagMetadata::Tags::NoBadge);
    return tags;
}

} // namespace

MetadataQueue::MetadataQueue(const QString &catalogueRoot)
    : m_path(catalogueRoot + QLatin1Char('/') + fileName())
{
}

QByteArray MetadataQueue::lineFor(const Entry &entry)
{
    const QJsonObject object{
        {"picture", entry.picture},
        {"target", entry.target == TagMetadata::Target::Embedded ? QStringLiteral("embedded") : QStringLiteral("sidecar")},
        {"tags", tagsObject(entry.tags)}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

bool MetadataQueue::parseLine(QByteArrayView line, Entry *entry)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    const QString picture = object.value(QStringLiteral("picture")).toString();
    const QString target = object.value(QStringLiteral("target")).toString();
    if (picture.isEmpty() || (target != QLatin1String("sidecar") && target != QLatin1String("embedded")))
        return false;
    entry->picture = picture;
    entry->target = target == QLatin1String("embedded") ? TagMetadata::Target::Embedded : TagMetadata::Target::Sidecar;
    entry->tags = tagsFrom(object.value(QStringLiteral("tags")).toObject());
    return true;
}

void MetadataQueue::mergeLocked(const QList<Entry> &entries)
{
    // A picture noted already takes its newer tags in its place; one looked up by name,
    // not along the list, for a change of thousands of pictures. The names' places hold
    // while entries are only added; taking one out makes them be found again.
    if (!m_placesValid) {
        m_places.clear();
        m_places.reserve(m_entries.size() + entries.size());
        for (qsizetype i = 0; i < m_entries.size(); ++i)
            m_places.insert(m_entries.at(i).picture, i);
        m_placesValid = true;
    }
    for (const Entry &entry : entries) {
        const auto found = m_places.constFind(entry.picture);
        if (found != m_places.cend()) {
            m_entries[*found] = entry;
        } else {
            m_places.insert(entry.picture, m_entries.size());
            m_entries.append(entry);
        }
    }
}

void MetadataQueue::loadLocked()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_entries.clear();
    m_placesValid = false;
    QByteArray bytes;
    if (!QFileInfo::exists(m_path) || !CatalogueFile::readBytes(m_path, &bytes))
        return;
    int skipped = 0;
    QList<Entry> read;
    for (const QByteArray &line : bytes.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        Entry entry;
        if (!parseLine(line, &entry)) {
            ++skipped;
            continue;
        }
        read.append(entry);
    }
    // A later line for the same picture holds its newer tags.
    mergeLocked(read);
    if (skipped)
        qCWarning(lcCatalogue) << "passed over" << skipped << "line(s) of" << m_path << "that were cut short";
}

QString MetadataQueue::storeLocked()
{
    if (m_entries.isEmpty()) {
        if (QFileInfo::exists(m_path) && !QFile::remove(m_path))
            return QStringLiteral("%1 could not be removed").arg(m_path);
        return {};
    }
    QByteArray bytes;
    for (const Entry &entry : std::as_const(m_entries))
        bytes += lineFor(entry);
    if (!CatalogueFile::writeBytes(m_path, bytes))
        return QStringLiteral("%1 could not be written (%2)").arg(m_path, CatalogueFile::lastWriteError());
    return {};
}

QString MetadataQueue::add(const QList<Entry> &entries)
{
    if (entries.isEmpty())
        return {};
    QMutexLocker locker(&m_mutex);
    loadLocked();
    if (CatalogueFile::isReadOnly())
        return CatalogueFile::readOnlyReason();
    QByteArray lines;
    for (const Entry &entry : entries)
        lines += lineFor(entry);
    // Appended and made durable before anything is written into a picture. A kill in
    // the middle of the append leaves a last line cut short, which reading passes over.
    const QByteArray path = QFile::encodeName(m_path);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return QStringLiteral("%1 could not be written (%2)").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
    const off_t before = ::lseek(fd, 0, SEEK_END);
    // A line cut short by a kill must not swallow the first new one.
    char last = '\n';
    if (before > 0 && ::pread(fd, &last, 1, before - 1) == 1 && last != '\n')
        lines.prepend('\n');
    qsizetype done = 0;
    QString why;
    while (done < lines.size()) {
        const ssize_t n = ::write(fd, lines.constData() + done, size_t(lines.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            why = QString::fromLocal8Bit(std::strerror(n < 0 ? errno : ENOSPC));
            break;
        }
        done += n;
    }
    if (why.isEmpty() && ::fsync(fd) != 0)
        why = QString::fromLocal8Bit(std::strerror(errno));
    if (!why.isEmpty() && before >= 0) {
        // What was appended in part is taken back, so the file holds whole lines only.
        if (::ftruncate(fd, before) != 0)
            qCWarning(lcCatalogue) << "could not take back a partial line of" << m_path;
    }
    ::close(fd);
    if (!why.isEmpty())
        return QStringLiteral("%1 could not be written (%2)").arg(m_path, why);
    mergeLocked(entries);
    return {};
}

QString MetadataQueue::replaceAll(const QList<Entry> &entries)
{
    QMutexLocker locker(&m_mutex);
    loadLocked();
    const QList<Entry> before = std::exchange(m_entries, entries);
    ++m_generation;
    m_placesValid = false;
    const QString why = storeLocked();
    if (!why.isEmpty())
        m_entries = before;
    return why;
}

QList<MetadataQueue::Entry> MetadataQueue::pending()
{
    QMutexLocker locker(&m_mutex);
    loadLocked();
    return m_entries;
}

int MetadataQueue::count()
{
    QMutexLocker locker(&m_mutex);
    loadLocked();
    return int(m_entries.size());
}

QList<MetadataQueue::Failure> MetadataQueue::writePending(const std::function<bool()> &stop,
                                                          const std::function<void(const Entry &)> &written)
{
    QList<Failure> failures;
    QSet<QString> tried;
    // Every entry before this one was tried: the next is looked for from here, not
    // from the first (entries are only added at the end, or the list replaced whole).
    qsizetype from = 0;
    int generation = -1;
    int sinceStore = 0;
    auto store = [&] {
        QMutexLocker locker(&m_mutex);
        const QString why = storeLocked();
        if (!why.isEmpty())
            qCWarning(lcCatalogue) << why;
        sinceStore = 0;
    };
    while (!(stop && stop())) {
        Entry entry;
        {
            QMutexLocker locker(&m_mutex);
            loadLocked();
            if (generation != m_generation || from > m_entries.size()) {
                generation = m_generation;
                from = 0;
            }
            while (from < m_entries.size() && tried.contains(m_entries.at(from).picture))
                ++from;
            if (from == m_entries.size())
                break;
            entry = m_entries.at(from);
        }
        tried.insert(entry.picture);
        // Only what differs is written: the same tags again leave the file untouched.
        QString why;
        const QFileInfo picture(entry.picture);
        if (!picture.exists()) {
            // A picture deleted or renamed since has nothing left to write into; one
            // whose folder is gone too may be on a drive that is not plugged in.
            if (QFileInfo(picture.absolutePath()).isDir())
                qCWarning(lcCatalogue) << "the tags for" << entry.picture << "are dropped: the picture is gone";
            else
                why = QStringLiteral("%1 is not there, nor is its folder").arg(entry.picture);
        } else if (!TagMetadata::differences(TagMetadata::readTarget(entry.picture, entry.target).tags, entry.tags)
                        .isEmpty()) {
            why = TagMetadata::write(entry.picture, entry.tags, entry.target);
        }
        if (!why.isEmpty()) {
            failures.append({entry.picture, why});
            continue;
        }
        {
            QMutexLocker locker(&m_mutex);
            // Newer tags noted meanwhile stay, to be written in turn.
            auto isSame = [&entry](const Entry &e) {
                return e.picture == entry.picture && e.target == entry.target && e.tags == entry.tags;
            };
            const bool inPlace = generation == m_generation && from < m_entries.size() && isSame(m_entries.at(from));
            auto same = inPlace ? m_entries.begin() + from : std::find_if(m_entries.begin(), m_entries.end(), isSame);
            if (same != m_entries.end()) {
                m_entries.erase(same);
                m_placesValid = false;
                ++sinceStore;
                // Taken from elsewhere, it may have stood before the place looked from.
                if (!inPlace)
                    from = 0;
            } else {
                tried.remove(entry.picture);
                from = 0;
            }
        }
        if (written)
            written(entry);
        if (sinceStore >= qMax<qsizetype>(CompactEvery, count() / 8))
            store();
    }
    if (sinceStore > 0)
        store();
    return failures;
}
