#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

// Reading and writing hand-made files in the tests' temporary folders.
inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A shell script standing in for a program: `body` runs under /bin/sh.
inline QString writeScript(const QString &path, const QByteArray &body)
{
    writeFile(path, "#!/bin/sh\n" + body);
    QFile(path).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}
