#pragma once

// Running one test function again on an X display of its own (xvfb-run), the Qt
// platform being X's: for what only a real display has (the clipboard between
// programs, window properties, a window manager). The child runs with
// VELLARO_X_CHILD set; its output comes back in the failure message.

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace XDisplay {

inline bool isChild()
{
    return qEnvironmentVariableIsSet("VELLARO_X_CHILD");
}

// Runs `program arguments` with `environment` (plus the child marker) and fails the
// calling test unless it ends well.
inline void runChild(QProcessEnvironment environment, const QString &program, const QStringList &arguments)
{
    QProcess child;
    environment.insert("VELLARO_X_CHILD", "1");
    // Libraries of the child (X's, SANE's test scanner) keep memory to the end of the
    // process: the leak check is off there.
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(program, arguments);
    if (!child.waitForFinished(120000))
        child.kill();
    const QByteArray output = child.readAll() + "\nexit " + QByteArray::number(child.exitCode()) + " status "
                              + QByteArray::number(int(child.exitStatus()));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, output.constData());
}

// True in the child (go on with the test there); in the test process, runs the test
// function `function` in a child on a display of its own and returns false.
inline bool underX(const char *function)
{
    if (isChild())
        return true;
    const QString xvfbRun = QStandardPaths::findExecutable("xvfb-run");
    if (xvfbRun.isEmpty()) {
        [] { QFAIL("xvfb-run is needed (scripts/deps.sh installs it)"); }();
        return false;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "xcb");
    runChild(environment, xvfbRun,
             {"-a", "-s", "-screen 0 1280x1024x24", QCoreApplication::applicationFilePath(), QString::fromLatin1(function)});
    return false;
}

} // namespace XDisplay
