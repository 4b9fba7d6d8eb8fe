#include "imageeffects.h"
#include "prompter.h"
#include "startup.h"
#include "version.h"

#include <csignal>
#include <QApplication>
#include <QFile>
#include <QPair>
#include <QStringList>
#include <cstdio>
#include <cstring>

namespace {

const char kUsage[] =
    "usage: vellaro [--exit-when-shown] [PICTURE | FOLDER]...\n"
    "       vellaro --help | --version\n"
    "  PICTURE             opens in the viewer with the other pictures of its folder\n"
    "  FOLDER              opens the same way at its first picture\n"
    "                      (a picture or folder a stored album holds opens that album)\n"
    "  --exit-when-shown   closes the window as soon as it has painted once, saying\n"
    "                      when on standard error (\"vellaro: shown at SECONDS\")\n"
    "  --                  ends the options: a name after it is a picture or folder\n"
    "  --help, -h          this text\n"
    "  --version           the version\n";

} // namespace

int main(int argc, char **argv)
{
    // A write past the file size limit (ulimit -f) fails as on a full disk and is told,
    // instead of the signal killing the program in the middle of a change.
    std::signal(SIGXFSZ, SIG_IGN);
    // Answered before any window system is needed.
    bool exitWhenShown = false;
    bool optionsEnd = false;
    QList<QPair<QByteArray, bool>> paths;  // with whether it came after "--"
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (!optionsEnd && (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!optionsEnd && std::strcmp(argument, "--version") == 0) {
            std::printf("vellaro %s\n", VELLARO_VERSION);
            return 0;
        }
        if (!optionsEnd && std::strcmp(argument, "--exit-when-shown") == 0) {
            exitWhenShown = true;
        } else if (!optionsEnd && std::strncmp(argument, "--", 2) == 0 && argument[2] != '\0') {
            std::fprintf(stderr, "vellaro: unknown option %s\n%s", argument, kUsage);
            return 2;
        } else if (!optionsEnd && std::strcmp(argument, "--") == 0) {
            optionsEnd = true;
        } else {
            paths.append({QByteArray(argument), optionsEnd});
        }
    }

    std::fputs("Vellaro starting...\n", stdout);
    std::fflush(stdout);
    QApplication app(argc, argv);
    ImageEffects::keepLargeBuffers();
    QApplication::setOrganizationName(QStringLiteral("Halvarin"));
    QApplication::setApplicationName(QStringLiteral("Vellaro"));
    QApplication::setApplicationVersion(QStringLiteral(VELLARO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.vellaro.Vellaro"));

    // Qt took its own options (-platform, -display, ...) out of argv; what is left is a
    // picture or a folder, or an option neither Qt nor the program knows.
    QStringList toOpen;
    const QStringList remaining = QApplication::arguments().mid(1);
    for (const auto &[path, afterOptions] : std::as_const(paths)) {
        const QString name = QFile::decodeName(path);
        if (!afterOptions && !remaining.contains(name))
            continue;
        if (name.startsWith(QLatin1String("-")) && !afterOptions) {
            std::fprintf(stderr, "vellaro: unknown option %s\n%s", path.constData(), kUsage);
            return 2;
        }
        toOpen << name;
    }

    WidgetPrompter prompter;
    return Startup::run(prompter, exitWhenShown, toOpen);
}
