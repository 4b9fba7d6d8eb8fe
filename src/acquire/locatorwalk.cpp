#include "locatorwalk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <QStorageInfo>

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace LocatorWalk {

bool isPseudoFileSystem(const QByteArray &path)
{
    struct statfs info;
    if (statfs(path.constData(), &info) != 0)
        return true;
    switch (static_cast<unsigned long>(info.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case PSTOREFS_MAGIC:
    case BPF_FS_MAGIC:
    case 0x62656570:  // configfs
    case 0x19800202:  // mqueue
    case 0x42494e4d:  // binfmt_misc
    case 0x65735543:  // fusectl
    case 0xde5e81e4:  // efivarfs
        return true;
    default:
        return false;
    }
}

namespace {

// The size a JPEG file's frame header states, read with a few small reads; invalid
// when the file is no JPEG or its header cannot be found.
QSize jpegSize(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    QSize size;
    uchar head[10];
    off_t at = 2;
    if (::pread(fd, head, 2, 0) == 2 && head[0] == 0xFF && head[1] == 0xD8) {
        for (int segments = 0; segments < 256; ++segments) {
            if (::pread(fd, head, sizeof head, at) != ssize_t(sizeof head) || head[0] != 0xFF)
                break;
            const uchar marker = head[1];
            if (marker == 0xFF) {  // fill byte
                ++at;
                continue;
            }
            const int length = head[2] << 8 | head[3];
            const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (frame) {
                size = QSize(head[7] << 8 | head[8], head[5] << 8 | head[6]);
                break;
            }
            if (marker == 0xDA || marker == 0xD9 || length < 2)
                break;  // picture data, or the end, before any frame header
            at += 2 + length;
        }
    }
    ::close(fd);
    return size;
}

struct FolderId
{
    dev_t device;
    ino_t inode;
    bool operator==(const FolderId &other) const { return device == other.device && inode == other.inode; }
};

size_t qHash(const FolderId &id, size_t seed = 0)
{
    return ::qHash(quint64(id.inode), seed) ^ ::qHash(quint64(id.device), seed);
}

class Walker
{
public:
    Walker(const QStringList &skips, const std::function<bool(const QString &)> &found, const std::atomic_bool &stop,
           Progress *progress)
        : m_found(found)
        , m_stop(stop)
        , m_progress(progress)
    {
        // Paths are compared as the file system names them, links resolved: the walk
        // itself follows none.
        for (const QString &skip : skips) {
            const QString clean = QDir::cleanPath(skip.trimmed());
            if (clean.isEmpty())
                continue;
            m_skips.insert(clean);
            const QString real = QFileInfo(clean).canonicalFilePath();
            if (!real.isEmpty())
                m_skips.insert(real);
        }
    }

    // False once the walk is to end.
    bool walkRoot(const QString &root)
    {
        // A root reached through a link is walked under its own name, so that a folder is
        // found under one path only.
        QString clean = QFileInfo(QDir::cleanPath(root)).canonicalFilePath();
        if (clean.isEmpty())
            clean = QDir::cleanPath(root);
        struct stat info;
        if (m_skips.contains(clean) || stat(QFile::encodeName(clean).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
            return !m_stop;
        m_visited.insert({info.st_dev, info.st_ino});
        // A root that holds pictures itself is one of the folders found.
        if (isPictureFolder(clean, &m_stop) && (m_stop || !m_found(clean)))
            return false;
        return walk(clean, info.st_dev);
    }

private:
    bool walk(const QString &folder, dev_t device)
    {
        if (m_stop)
            return false;
        if (m_progress)
            ++m_progress->folders;
        const QByteArray encoded = QFile::encodeName(folder);
        DIR *dir = opendir(encoded.constData());
        if (!dir)
            return true;  // unreadable: passed over
        QStringList children;
        while (const dirent *entry = readdir(dir)) {
            const char *name = entry->d_name;
            if (name[0] == '.')
                continue;  // ".", ".." and hidden folders
            if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN)
                continue;  // files, and links that are not followed
            children << QFile::decodeName(name);
        }
        closedir(dir);
        // In name order, whatever order the file system keeps.
        std::sort(children.begin(), children.end(), [](const QString &a, const QString &b) {
            const int order = a.compare(b, Qt::CaseInsensitive);
            return order != 0 ? order < 0 : a < b;
        });
        for (const QString &name : std::as_const(children)) {
            if (m_stop)
                return false;
            const QString path = folder == QLatin1String("/") ? folder + name : folder + QLatin1Char('/') + name;
            if (m_skips.contains(path))
                continue;
            const QByteArray child = QFile::encodeName(path);
            struct stat info;
            if (lstat(child.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
                continue;
            // A folder met again (a bind mount looping back) is not walked twice.
            if (m_visited.contains({info.st_dev, info.st_ino}))
                continue;
            m_visited.insert({info.st_dev, info.st_ino});
            if (info.st_dev != device && isPseudoFileSystem(child))
                continue;
            if (isPictureFolder(path, &m_stop)) {
                if (m_stop || !m_found(path))
                    return false;
            }
            if (!walk(path, info.st_dev))
                return false;
        }
        return true;
    }

    QSet<QString> m_skips;
    QSet<FolderId> m_visited;
    const std::function<bool(const QString &)> &m_found;
    const std::atomic_bool &m_stop;
    Progress *m_progress;
};

} // namespace

bool isPictureFolder(const QString &folder, const std::atomic_bool *stop)
{
    if (folder.contains(QLatin1String("Vellaro")))
        return false;
    DIR *dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    QStringList candidates;
    while (const dirent *entry = readdir(dir)) {
        if (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        if (name.contains(QLatin1String(".jpg"), Qt::CaseInsensitive)
            || name.contains(QLatin1String(".jpeg"), Qt::CaseInsensitive))
            candidates << name;
    }
    closedir(dir);
    for (const QString &name : std::as_const(candidates)) {
        if (stop && *stop)
            return false;
        // Only a plain file (or a link to one) is read: a pipe or a device named like a
        // picture would never end its read.
        const QString path = folder + QLatin1Char('/') + name;
        struct stat info;
        if (stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        QSize size = jpegSize(QFile::encodeName(path));
        if (!size.isValid()) {
            // Not a JPEG, or one whose header this does not read: the image reader.
            QImageReader reader(path);
            reader.setAutoTransform(false);
            size = reader.size();
            if (!size.isValid())
                size = reader.read().size();  // the header told nothing: the picture itself
        }
        if (size.width() > 639 && size.height() > 479)
            return true;
    }
    return false;
}

QStringList defaultRoots()
{
    QStringList roots{QDir::cleanPath(QDir::homePath())};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = QDir::cleanPath(volume.rootPath());
        if (!volume.isValid() || !volume.isReady())
            continue;
        if (!(root.startsWith(QLatin1String("/media/")) || root.startsWith(QLatin1String("/mnt/"))
              || root.startsWith(QLatin1String("/run/media/"))))
            continue;
        roots << root;
    }
    // None inside another: that one is walked with it.
    roots.sort();
    QStringList kept;
    for (const QString &root : std::as_const(roots)) {
        const bool inside = std::any_of(kept.cbegin(), kept.cend(), [&root](const QString &outer) {
            return root == outer || root.startsWith(outer + QLatin1Char('/'));
        });
        if (!inside)
            kept << root;
    }
    // The home folder first.
    const QString home = QDir::cleanPath(QDir::homePath());
    if (kept.removeOne(home))
        kept.prepend(home);
    return kept;
}

void walk(const QStringList &roots, const QStringList &skips, const std::function<bool(const QString &)> &found,
          const std::atomic_bool &stop, Progress *progress)
{
    Walker walker(skips, found, stop, progress);
    for (const QString &root : roots) {
        if (!walker.walkRoot(root))
            return;
    }
}

} // namespace LocatorWalk
