#pragma once

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

// exiftool, run as a process: a reader and writer of pictures' metadata that shares
// nothing with the program, for preparing pictures and checking what was written.
inline bool exiftool(const QStringList &args, QByteArray *out = nullptr)
{
    QProcess process;
    process.start("exiftool", args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << "exiftool" << args << "failed:" << process.readAllStandardError();
        return false;
    }
    if (out)
        *out = process.readAllStandardOutput();
    return true;
}

// What exiftool reads from a file, by group-qualified tag name ("XMP-dc:Title"), raw
// values; structures as objects ("XMP-iptcExt:LocationShown": [{"City": ...}]).
inline QJsonObject exifRead(const QString &path)
{
    QByteArray out;
    if (!QFileInfo::exists(path) || !exiftool({"-j", "-G1", "-n", "-struct", "-charset", "iptc=UTF8", path}, &out))
        return {};
    const QJsonArray all = QJsonDocument::fromJson(out).array();
    return all.isEmpty() ? QJsonObject() : all.first().toObject();
}

// A list tag as a list, whether exiftool gave one item or several.
inline QStringList listOf(const QJsonValue &value)
{
    if (value.isArray()) {
        QStringList items;
        for (const QJsonValue &item : value.toArray())
            items << item.toVariant().toString();
        return items;
    }
    return value.isUndefined() ? QStringList() : QStringList{value.toVariant().toString()};
}

// The entropy-coded data of a JPEG: from its first start-of-scan marker to the end.
inline QByteArray scanData(const QByteArray &jpeg)
{
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    return sos < 0 ? QByteArray() : jpeg.mid(sos);
}
