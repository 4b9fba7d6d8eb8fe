#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <csignal>
#include <sys/resource.h>

// Runs vellaro-cli as a process on a test's catalogue, with the test's own home and
// settings, optionally with a file size limit (a full disk). Its exit status and its
// words are what scripts rely on.
struct CliOutput
{
    int code = -1;  // -1: it did not end, or crashed
    QByteArray out;
    QString err;
};

inline CliOutput runCli(const QString &home, const QString &install, const QStringList &args,
                        rlim_t fileSizeLimit = 0, const QStringList &environment = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_DATA_HOME", home + "/data");
    for (const QString &pair : environment)
        env.insert(pair.section('=', 0, 0), pair.section('=', 1));
    process.setProcessEnvironment(env);
    if (fileSizeLimit > 0) {
        process.setChildProcessModifier([fileSizeLimit] {
            // As a shell leaves it: the tool itself keeps a write past the limit from
            // killing it, and tells the failure.
            std::signal(SIGXFSZ, SIG_DFL);
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = fileSizeLimit;
            setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    process.start(QStringLiteral(VELLARO_CLI), QStringList{"--install-dir", install} + args);
    CliOutput run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        // What it said before it hung, for the failure's message.
        run.err = QStringLiteral("timed out after 60 s; standard error so far: ")
                  + QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
