#pragma once

// What every fuzz target shares: a private folder for the files the readers read, a Qt
// application on the offscreen platform, a stop that says what went wrong, and views of
// the catalogue files that the round trips compare.

#include "cataloguecontext.h"
#include "playlist.h"
#include "prompter.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QString>
#include <QStringList>

#include <sanitizer/common_interface_defs.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace Fuzz {

// The process's own folder, made once under /dev/shm (in memory: the writers' fsync
// costs nothing there) and removed when the process ends normally.
inline const QString &folder()
{
    static const QString path = [] {
        QByteArray pattern = QDir("/dev/shm").exists() ? QByteArray("/dev/shm/vellaro-fuzz-XXXXXX")
                                                       : QFile::encodeName(QDir::tempPath()) + "/vellaro-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("vellaro fuzz: cannot make a private folder");
            std::abort();
        }
        static QByteArray made = pattern;
        // Gone when the process ends, however a sanitizer or a failed check ends it
        // (libFuzzer keeps the input that led there itself).
        static const auto remove = [] { QDir(QFile::decodeName(made)).removeRecursively(); };
        std::atexit(remove);
        __sanitizer_set_death_callback(remove);
        return QFile::decodeName(pattern);
    }();
    return path;
}

// Stops the run: libFuzzer keeps the input that led here as the reproducer.
[[noreturn]] inline void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "\n==== vellaro fuzz: %s\n%s\n", what, detail.toLocal8Bit().constData());
    std::fflush(stderr);
    QDir(folder()).removeRecursively();
    std::abort();
}

// An empty folder at `path` (what a previous input left there is removed).
inline void emptyFolder(const QString &path)
{
    QDir(path).removeRecursively();
    if (!QDir().mkpath(path))
        fail("cannot make a folder", path);
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail("cannot write an input file", path);
}

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every entry under `root` with what it is: a file's bytes, "<folder>", "<link> target".
using Tree = QMap<QString, QByteArray>;
inline Tree snapshot(const QString &root)
{
    Tree tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = path.mid(root.size());
        if (info.isSymLink())
            tree.insert(name, "<link> " + QFile::encodeName(info.symLinkTarget()));
        else if (info.isDir())
            tree.insert(name, "<folder>");
        else
            tree.insert(name, readFile(path));
    }
    return tree;
}

inline QString describe(const Tree &tree)
{
    QString text;
    for (auto it = tree.cbegin(); it != tree.cend(); ++it)
        text += it.key() + QStringLiteral(" (") + QString::number(it.value().size()) + QStringLiteral(" bytes)\n");
    return text;
}

// What differs between two snapshots, one entry a line.
inline QString difference(const Tree &before, const Tree &after)
{
    QString text;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            text += QStringLiteral("gone: ") + it.key() + QLatin1Char('\n');
        else if (after.value(it.key()) != it.value())
            text += QStringLiteral("changed: ") + it.key() + QLatin1Char('\n');
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            text += QStringLiteral("new: ") + it.key() + QLatin1Char('\n');
    }
    return text;
}

// Whether `path`, with its ".." taken out, stays inside this process's folder: a write
// there harms nothing, whatever the program does with it.
inline bool staysInside(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    return clean.startsWith(folder() + QLatin1Char('/')) && !clean.contains(QChar(0));
}

// A file name as the file system takes it: NAME_MAX bytes at most.
inline bool nameTooLong(const QString &name)
{
    return QFile::encodeName(name).size() > 255;
}

// An album row as the album file means it. The writer stores an empty text among the
// first ten as " " (AlbumRows::fileText) and every reader takes " " there as no value,
// so the two spellings of "nothing" are one value here.
inline QStringList rowValue(QStringList row)
{
    for (int i = 0; i < row.size() && i < 10; ++i) {
        if (row.at(i).isEmpty())
            row[i] = QStringLiteral(" ");
    }
    return row;
}

inline QString show(const QStringList &texts)
{
    QStringList quoted;
    for (const QString &text : texts) {
        QString escaped = text;
        escaped.replace(QLatin1Char('\r'), QStringLiteral("\\r")).replace(QChar(0), QStringLiteral("\\0"));
        quoted << QLatin1Char('"') + escaped + QLatin1Char('"');
    }
    return QLatin1Char('[') + quoted.join(QStringLiteral(", ")) + QLatin1Char(']');
}

// An album that must not write (damaged, or naming a place outside the catalogue
// folder): its save, clear and removal fail and change no file under `root`.
inline void checkRefuses(PlayList &album, const QString &root, const char *why)
{
    const QString kivDir = album.kivDir();
    // Only where a write could not leave this process's folder whatever the album
    // does (a KivDir with enough ".." would reach the real file system).
    if (!kivDir.isEmpty() && !staysInside(album.context()->folder + QLatin1Char('/') + kivDir))
        return;
    const Tree before = snapshot(root);
    album.setDirty(true);
    if (album.save(kivDir))
        fail(why, QStringLiteral("save() wrote it; KivDir=") + kivDir);
    // A dynamic album's clear moves the pictures its rows name to the trash, and the
    // rows may name any file of this machine: only plain albums are cleared here.
    if (album.className() == QLatin1String("Playlist") && album.clear())
        fail(why, QStringLiteral("clear() wrote it"));
    if (!album.isSmart() && album.removeFiles())
        fail(why, QStringLiteral("removeFiles() deleted it"));
    const Tree after = snapshot(root);
    if (after != before)
        fail(why, difference(before, after));
}

// Answers every box with its escape button and keeps what it was told.
class RecordingPrompter : public Prompter
{
public:
    QList<Message> messages;
    int message(QWidget *, const Message &box) override
    {
        messages.append(box);
        return box.escapeButton;
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QStringList openFileNames(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
    QString existingDirectory(QWidget *, const QString &, const QString &) override { return {}; }
    int exec(QDialog *) override { return 0; }
};

// Once per process, from LLVMFuzzerInitialize: the offscreen platform, the user's
// folders inside the private folder (a trash or a setting never reaches the real
// ones), Qt's messages silenced unless VELLARO_FUZZ_VERBOSE is set, and the
// application the album list and the thumbnails need. libFuzzer's own arguments
// are not handed to Qt, which would take some of them for its own.
inline void start()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString home = folder() + QStringLiteral("/home");
    QDir().mkpath(home + QStringLiteral("/runtime"));
    QFile::setPermissions(home + QStringLiteral("/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                               | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home + QStringLiteral("/runtime")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/cache")));
    if (qEnvironmentVariableIsEmpty("VELLARO_FUZZ_VERBOSE"))
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    static int argc = 1;
    static char name[] = "vellaro-fuzz";
    static char *argv[] = {name, nullptr};
    static QApplication *application = new QApplication(argc, argv);
    Q_UNUSED(application);
}

} // namespace Fuzz
