#include "openarguments.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSet>
#include <algorithm>

namespace OpenArguments {

namespace {

const QSet<QString> &readableSuffixes()
{
    static const QSet<QString> suffixes = [] {
        QSet<QString> all;
        const QList<QByteArray> formats = QImageReader::supportedImageFormats();
        for (const QByteArray &format : formats)
            all.insert(QString::fromLatin1(format).toLower());
        // Names the plug-ins do not list under their format's own name.
        if (all.contains(QStringLiteral("jpeg")))
            all << QStringLiteral("jpg") << QStringLiteral("jpe");
        if (all.contains(QStringLiteral("tiff")))
            all << QStringLiteral("tif");
        // Vector drawings are not photographs.
        all.remove(QStringLiteral("svg"));
        all.remove(QStringLiteral("svgz"));
        return all;
    }();
    return suffixes;
}

// Names compared as a file manager shows them: runs of digits by their value
// ("IMG_2" before "IMG_10"), letters without regard to case, then exactly.
bool namedBefore(const QString &a, const QString &b)
{
    int i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            int endA = i, endB = j;
            while (endA < a.size() && a.at(endA).isDigit())
                ++endA;
            while (endB < b.size() && b.at(endB).isDigit())
                ++endB;
            // Leading zeros aside, the longer run is the larger number.
            QStringView runA = QStringView(a).mid(i, endA - i), runB = QStringView(b).mid(j, endB - j);
            while (runA.size() > 1 && runA.front() == QLatin1Char('0'))
                runA = runA.mid(1);
            while (runB.size() > 1 && runB.front() == QLatin1Char('0'))
                runB = runB.mid(1);
            if (runA.size() != runB.size())
                return runA.size() < runB.size();
            if (const int order = runA.compare(runB); order != 0)
                return order < 0;
            i = endA;
            j = endB;
            continue;
        }
        const QChar ca = a.at(i).toCaseFolded(), cb = b.at(j).toCaseFolded();
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b;
}

bool hasPictureSuffix(const QFileInfo &info)
{
    return readableSuffixes().contains(info.suffix().toLower());
}

} // namespace

bool isPicture(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable())
        return false;
    if (hasPictureSuffix(info))
        return true;
    // A name that tells no picture kind: the content decides.
    return QImageReader(path).canRead();
}

QStringList picturesIn(const QString &folder)
{
    const QDir dir(folder);
    QFileInfoList found = dir.entryInfoList(QDir::Files | QDir::Readable, QDir::NoSort);
    std::sort(found.begin(), found.end(),
              [](const QFileInfo &a, const QFileInfo &b) { return namedBefore(a.fileName(), b.fileName()); });
    QStringList pictures;
    for (const QFileInfo &info : std::as_const(found)) {
        if (hasPictureSuffix(info))
            pictures << info.absoluteFilePath();
    }
    return pictures;
}

Plan plan(const QStringList &arguments)
{
    Plan result;
    QSet<QString> taken;
    QSet<QString> folders;
    auto take = [&](const QString &picture) {
        if (taken.contains(picture))
            return;
        taken.insert(picture);
        result.pictures << picture;
        folders.insert(QFileInfo(picture).absolutePath());
    };
    for (const QString &argument : arguments) {
        const QFileInfo info(argument);
        if (info.isDir()) {
            const QStringList inside = picturesIn(info.absoluteFilePath());
            if (inside.isEmpty())
                result.unusable << argument;
            for (const QString &picture : inside)
                take(picture);
            if (arguments.size() == 1)
                result.title = QDir(info.absoluteFilePath()).dirName();
        } else if (isPicture(argument)) {
            const QString picture = info.absoluteFilePath();
            if (arguments.size() == 1) {
                // The picture's neighbours, to step through; the picture itself even
                // when its name does not tell its kind.
                QStringList inside = picturesIn(info.absolutePath());
                if (!inside.contains(picture))
                    inside.prepend(picture);
                result.pictures = inside;
                result.start = int(result.pictures.indexOf(picture));
                result.title = info.absoluteDir().dirName();
                return result;
            }
            take(picture);
        } else {
            result.unusable << argument;
        }
    }
    if (!result.pictures.isEmpty())
        result.start = 0;
    if (result.title.isEmpty() && folders.size() == 1)
        result.title = QDir(*folders.cbegin()).dirName();
    if (result.title.isEmpty())
        result.title = QStringLiteral("Opened pictures");
    return result;
}

} // namespace OpenArguments
