#include "cataloguebackup.h"

#include "cataloguecontext.h"
#include "cataloguefile.h"
#include "cataloguelock.h"
#include "lazylibrary.h"
#include "libraryindex.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <archive.h>
#include <archive_entry.h>
#include <memory>

namespace CatalogueBackup {

namespace {

// libarchive, opened when a backup is first written or read.
#define VELLARO_ARCHIVE_FUNCTIONS(F) F(archive_entry_filetype) F(archive_entry_free) F(archive_entry_new) \
    F(archive_entry_pathname_utf8) F(archive_entry_set_filetype) F(archive_entry_set_mtime) \
    F(archive_entry_set_pathname_utf8) F(archive_entry_set_perm) F(archive_entry_set_size) F(archive_entry_size) \
    F(archive_error_string) F(archive_free) F(archive_read_data) F(archive_read_data_skip) F(archive_read_new) \
    F(archive_read_next_header) F(archive_read_open_filename) F(archive_read_support_filter_all) \
    F(archive_read_support_format_tar) F(archive_write_add_filter_gzip) F(archive_write_close) F(archive_write_data) \
    F(archive_write_header) F(archive_write_new) F(archive_write_open_fd) F(archive_write_set_filter_option) \
    F(archive_write_set_format_pax_restricted)
VELLARO_LAZY_TABLE(ArchiveApi, VELLARO_ARCHIVE_FUNCTIONS)

const ArchiveApi &libarchive()
{
    static const ArchiveApi api = ArchiveApi::open(VELLARO_ARCHIVE_SONAME);
    return api;
}

const QString kPrefix = QStringLiteral("vellaro-");
const QString kSuffix = QStringLiteral(".tar.gz");
// The largest file an archive may put back: more than any catalogue file can be.
constexpr qint64 kMaxEntry = CatalogueFile::MaxFileSize;

struct ArchiveFree
{
    void operator()(archive *a) const { libarchive().archive_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

struct EntryFree
{
    void operator()(archive_entry *e) const { libarchive().archive_entry_free(e); }
};
using EntryPtr = std::unique_ptr<archive_entry, EntryFree>;

QString archiveError(archive *a)
{
    const char *text = libarchive().archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("unknown archive error");
}

// The catalogue files a snapshot holds, relative to the catalogue root: everything but
// the thumbnails (the files of an album folder other than property files) and the lock.
struct CatalogueFileEntry
{
    QString relative;
    qint64 modified = 0;  // seconds since the epoch
};

QList<CatalogueFileEntry> catalogueFiles(const QString &root, const std::atomic_bool *cancel)
{
    QList<CatalogueFileEntry> files;
    const QDir base(QFileInfo(root).absoluteFilePath());
    QDirIterator it(base.path(), QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (cancel && cancel->load())
            return {};
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isSymLink() || !info.isFile())
            continue;  // never follow a link out of the catalogue
        const QString relative = base.relativeFilePath(path);
        if (relative == CatalogueLock::fileName() || relative.endsWith(CatalogueFile::unfinishedSuffix()))
            continue;
        // db/<album>/<picture>: a thumbnail unless it is a property file.
        if (relative.count(QLatin1Char('/')) >= 2 && relative.startsWith(QLatin1String("db/"))
            && !relative.endsWith(QLatin1String(".kiv")))
            continue;
        files.append({relative, info.lastModified().toSecsSinceEpoch()});
    }
    std::sort(files.begin(), files.end(),
              [](const CatalogueFileEntry &a, const CatalogueFileEntry &b) { return a.relative < b.relative; });
    return files;
}

QString snapshotName(const QString &dir, const QDateTime &when)
{
    const QString stamp = when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = dir + QLatin1Char('/') + kPrefix + stamp + kSuffix;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = dir + QLatin1Char('/') + kPrefix + stamp + QLatin1Char('-') + QString::number(n) + kSuffix;
    return name;
}

void prune(const QString &installDir)
{
    const QStringList all = snapshots(installDir);
    for (int i = Kept; i < all.size(); ++i)
        QFile::remove(all.at(i));
}

// An entry's path, checked: relative, under DataBase/, no "." or ".." parts.
bool safeEntryPath(const QString &path)
{
    if (!path.startsWith(QLatin1String("DataBase/")) && path != QLatin1String("DataBase"))
        return false;
    for (const QString &part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return !path.contains(QChar(0)) && !path.contains(QLatin1Char('\\'));
}

ArchivePtr openForReading(const QString &archivePath, QString *error)
{
    if (!libarchive().error.isEmpty()) {
        *error = QStringLiteral("The archive %1 cannot be read: %2").arg(archivePath, libarchive().error);
        return nullptr;
    }
    ArchivePtr reader(libarchive().archive_read_new());
    libarchive().archive_read_support_filter_all(reader.get());
    libarchive().archive_read_support_format_tar(reader.get());
    if (libarchive().archive_read_open_filename(reader.get(), QFile::encodeName(archivePath).constData(), 64 * 1024) != ARCHIVE_OK) {
        *error = QStringLiteral("The archive %1 cannot be read: %2").arg(archivePath, archiveError(reader.get()));
        return nullptr;
    }
    return reader;
}

bool removeTree(const QString &path)
{
    QDir dir(path);
    return !dir.exists() || dir.removeRecursively();
}

} // namespace

QString folder(const QString &installDir)
{
    return QDir::fromNativeSeparators(installDir) + QStringLiteral("/Backups");
}

QStringList snapshots(const QString &installDir)
{
    static const QRegularExpression pattern(QStringLiteral("^vellaro-\\d{8}-\\d{6}(-\\d+)?\\.tar\\.gz$"));
    QStringList found;
    const QDir dir(folder(installDir));
    for (const QFileInfo &info : dir.entryInfoList(QDir::Files, QDir::Name)) {
        if (pattern.match(info.fileName()).hasMatch())
            found << info.filePath();
    }
    // The names sort by time; the newest first.
    std::sort(found.begin(), found.end(), [](const QString &a, const QString &b) {
        const QFileInfo fa(a), fb(b);
        if (fa.lastModified() != fb.lastModified())
            return fa.lastModified() > fb.lastModified();
        return a > b;
    });
    return found;
}

bool isDue(const QString &installDir, const QDateTime &now)
{
    const QStringList all = snapshots(installDir);
    if (all.isEmpty())
        return true;
    return QFileInfo(all.first()).lastModified().secsTo(now) >= EverySeconds;
}

Result write(const QString &installDir, const QString &archivePath, const std::atomic_bool *cancel, bool pruneOld)
{
    Result result;
    const CatalogueContext context = CatalogueContext::forInstallation(installDir);
    if (!QFileInfo(context.root).isDir()) {
        result.error = QStringLiteral("There is no catalogue in %1 to back up.").arg(context.root);
        return result;
    }
    const bool automatic = archivePath.isEmpty();
    if (!automatic) {
        // Never over a file: it may be a picture, an album file, an earlier backup.
        const QFileInfo target(archivePath);
        if (target.exists() || target.isSymLink()) {
            result.error = QStringLiteral("The file %1 already exists; give the backup a new name.").arg(archivePath);
            return result;
        }
        const QString root = QFileInfo(context.root).absoluteFilePath() + QLatin1Char('/');
        const QString inside = QFileInfo(target.absolutePath()).canonicalFilePath() + QLatin1Char('/');
        if (inside.startsWith(root) || (target.absolutePath() + QLatin1Char('/')).startsWith(root)) {
            result.error = QStringLiteral("A backup cannot be written inside the catalogue (%1).").arg(context.root);
            return result;
        }
    }
    if (automatic && !QDir().mkpath(folder(installDir))) {
        result.error = QStringLiteral("The folder %1 cannot be created.").arg(folder(installDir));
        return result;
    }
    result.path = automatic ? snapshotName(folder(installDir), QDateTime::currentDateTime()) : archivePath;

    if (!libarchive().error.isEmpty()) {
        result.error = QStringLiteral("The archive %1 cannot be written: %2").arg(result.path, libarchive().error);
        return result;
    }
    const QList<CatalogueFileEntry> files = catalogueFiles(context.root, cancel);
    // Written beside its place and renamed into it when whole.
    QSaveFile out(result.path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        result.error = QStringLiteral("The archive %1 cannot be created: %2").arg(result.path, out.errorString());
        return result;
    }
    ArchivePtr writer(libarchive().archive_write_new());
    libarchive().archive_write_add_filter_gzip(writer.get());
    libarchive().archive_write_set_format_pax_restricted(writer.get());
    // Fast compression: the catalogue is text and the window must not wait on it.
    libarchive().archive_write_set_filter_option(writer.get(), "gzip", "compression-level", "3");
    if (libarchive().archive_write_open_fd(writer.get(), out.handle()) != ARCHIVE_OK) {
        result.error = QStringLiteral("The archive %1 cannot be written: %2").arg(result.path, archiveError(writer.get()));
        out.cancelWriting();
        return result;
    }
    const QDir base(QFileInfo(context.root).absoluteFilePath());
    QByteArray bytes;
    for (const CatalogueFileEntry &file : files) {
        const QString &relative = file.relative;
        if (cancel && cancel->load()) {
            out.cancelWriting();
            result.error = QStringLiteral("The backup was stopped.");
            return result;
        }
        // Listed as a regular file a moment ago: read without asking again.
        QFile in(base.filePath(relative));
        if (!in.open(QIODevice::ReadOnly)) {
            if (in.error() == QFileDevice::OpenError && !in.exists())
                continue;  // gone since it was listed
            out.cancelWriting();
            result.error = QStringLiteral("The catalogue file %1 cannot be read (%2).").arg(in.fileName(), in.errorString());
            return result;
        }
        bytes = in.read(CatalogueFile::MaxFileSize + 1 > in.size() ? in.size() + 1 : CatalogueFile::MaxFileSize + 1);
        if (in.error() != QFileDevice::NoError || bytes.size() > in.size() || bytes.size() > CatalogueFile::MaxFileSize) {
            out.cancelWriting();
            result.error = QStringLiteral("The catalogue file %1 cannot be read whole.").arg(in.fileName());
            return result;
        }
        EntryPtr entry(libarchive().archive_entry_new());
        libarchive().archive_entry_set_pathname_utf8(entry.get(), (QStringLiteral("DataBase/") + relative).toUtf8().constData());
        libarchive().archive_entry_set_filetype(entry.get(), AE_IFREG);
        libarchive().archive_entry_set_perm(entry.get(), 0644);
        libarchive().archive_entry_set_size(entry.get(), bytes.size());
        libarchive().archive_entry_set_mtime(entry.get(), file.modified, 0);
        if (libarchive().archive_write_header(writer.get(), entry.get()) != ARCHIVE_OK
            || libarchive().archive_write_data(writer.get(), bytes.constData(), size_t(bytes.size())) != bytes.size()) {
            result.error = QStringLiteral("The archive %1 cannot be written: %2").arg(result.path, archiveError(writer.get()));
            out.cancelWriting();
            return result;
        }
        ++result.files;
    }
    if (libarchive().archive_write_close(writer.get()) != ARCHIVE_OK) {
        result.error = QStringLiteral("The archive %1 cannot be written: %2").arg(result.path, archiveError(writer.get()));
        out.cancelWriting();
        return result;
    }
    if (!out.commit()) {
        result.error = QStringLiteral("The archive %1 cannot be written: %2").arg(result.path, out.errorString());
        return result;
    }
    if (automatic && pruneOld)
        prune(installDir);
    return result;
}

QString refusal(const QString &archivePath)
{
    QString error;
    ArchivePtr reader = openForReading(archivePath, &error);
    if (!reader)
        return error;
    bool hasIndex = false;
    archive_entry *entry = nullptr;
    int rc;
    while ((rc = libarchive().archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        const char *raw = libarchive().archive_entry_pathname_utf8(entry);
        const QString path = raw ? QString::fromUtf8(raw) : QString();
        const mode_t type = libarchive().archive_entry_filetype(entry);
        if (!safeEntryPath(path))
            return QStringLiteral("The archive %1 holds %2, which is no catalogue file.").arg(archivePath, path);
        if (type != AE_IFREG && type != AE_IFDIR)
            return QStringLiteral("The archive %1 holds %2, which is neither a file nor a folder.").arg(archivePath, path);
        if (libarchive().archive_entry_size(entry) > kMaxEntry)
            return QStringLiteral("The archive %1 holds %2, larger than any catalogue file.").arg(archivePath, path);
        hasIndex = hasIndex || path == QLatin1String("DataBase/library.db");
        libarchive().archive_read_data_skip(reader.get());
    }
    if (rc != ARCHIVE_EOF)
        return QStringLiteral("The archive %1 is damaged: %2").arg(archivePath, archiveError(reader.get()));
    if (!hasIndex)
        return QStringLiteral("The archive %1 holds no library index: it is no catalogue backup.").arg(archivePath);
    return {};
}

Result restore(const QString &installDir, const QString &archivePath)
{
    Result result;
    result.path = archivePath;
    if (const QString why = refusal(archivePath); !why.isEmpty()) {
        result.error = why;
        return result;
    }
    const QString install = QDir::fromNativeSeparators(installDir);
    const CatalogueContext context = CatalogueContext::forInstallation(install);
    const QString staging = install + QStringLiteral("/DataBase.restoring");
    if (!removeTree(staging) || !QDir().mkpath(staging)) {
        result.error = QStringLiteral("The folder %1 cannot be prepared.").arg(staging);
        return result;
    }
    auto fail = [&](const QString &why) {
        removeTree(staging);
        result.error = why + QStringLiteral("\nThe catalogue is left as it was.");
        return result;
    };
    QString error;
    ArchivePtr reader = openForReading(archivePath, &error);
    if (!reader)
        return fail(error);
    archive_entry *entry = nullptr;
    int rc;
    while ((rc = libarchive().archive_read_next_header(reader.get(), &entry)) == ARCHIVE_OK) {
        const QString path = QString::fromUtf8(libarchive().archive_entry_pathname_utf8(entry));
        // Checked above, and again: the file may have changed since.
        if (!safeEntryPath(path) || libarchive().archive_entry_size(entry) > kMaxEntry)
            return fail(QStringLiteral("The archive %1 holds %2, which is no catalogue file.").arg(archivePath, path));
        const QString target = staging + path.mid(QStringLiteral("DataBase").size());
        if (libarchive().archive_entry_filetype(entry) == AE_IFDIR) {
            if (!QDir().mkpath(target))
                return fail(QStringLiteral("The folder %1 cannot be created.").arg(target));
            continue;
        }
        if (libarchive().archive_entry_filetype(entry) != AE_IFREG)
            return fail(QStringLiteral("The archive %1 holds %2, which is neither a file nor a folder.")
                            .arg(archivePath, path));
        QByteArray bytes;
        bytes.reserve(qsizetype(libarchive().archive_entry_size(entry)));
        char buffer[64 * 1024];
        la_ssize_t n;
        while ((n = libarchive().archive_read_data(reader.get(), buffer, sizeof buffer)) > 0) {
            bytes.append(buffer, qsizetype(n));
            if (bytes.size() > kMaxEntry)
                return fail(QStringLiteral("The archive %1 holds %2, larger than any catalogue file.")
                                .arg(archivePath, path));
        }
        if (n < 0)
            return fail(QStringLiteral("The archive %1 is damaged: %2").arg(archivePath, archiveError(reader.get())));
        if (!QDir().mkpath(QFileInfo(target).absolutePath()) || !CatalogueFile::writeBytes(target, bytes))
            return fail(QStringLiteral("The file %1 cannot be written: %2").arg(target, CatalogueFile::lastWriteError()));
        ++result.files;
    }
    if (rc != ARCHIVE_EOF)
        return fail(QStringLiteral("The archive %1 is damaged: %2").arg(archivePath, archiveError(reader.get())));
    reader.reset();
    // A backup whose library index cannot be read would put a catalogue in place that
    // takes no change.
    {
        LibraryIndex index;
        index.setRoot(staging);
        index.load();
        if (index.isDamaged())
            return fail(QStringLiteral("The library index in the archive %1 is damaged: %2").arg(archivePath, index.damage()));
    }

    // The swap: the old catalogue steps aside, the new one takes its name.
    const QString aside = install + QStringLiteral("/DataBase.replaced");
    if (!removeTree(aside))
        return fail(QStringLiteral("The folder %1 cannot be cleared.").arg(aside));
    const bool hadCatalogue = QFileInfo(context.root).isDir();
    if (hadCatalogue && !QDir().rename(context.root, aside))
        return fail(QStringLiteral("The catalogue folder %1 cannot be moved aside.").arg(context.root));
    if (!QDir().rename(staging, context.root)) {
        if (hadCatalogue)
            QDir().rename(aside, context.root);
        return fail(QStringLiteral("The restored catalogue cannot be put in place of %1.").arg(context.root));
    }
    removeTree(aside);
    return result;
}

} // namespace CatalogueBackup
