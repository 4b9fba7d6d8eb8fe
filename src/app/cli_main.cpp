#include "imageeffects.h"
#include "cataloguecli.h"

#include <csignal>
#include <QApplication>
#include <cstdio>

namespace {
// The tool's standard error carries its refusals; Qt's own warnings (a missing
// runtime folder, fonts) are not the user's business unless asked for.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg || qEnvironmentVariableIsSet("VELLARO_CLI_DEBUG"))
        std::fprintf(stderr, "%s\n", qPrintable(message));
}
} // namespace

int main(int argc, char **argv)
{
    // A write past the file size limit (ulimit -f) fails as on a full disk and is told,
    // instead of the signal killing the program in the middle of a change.
    std::signal(SIGXFSZ, SIG_IGN);
    qInstallMessageHandler(quietMessages);
    // The catalogue's album items are list-view items: a headless platform serves.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ImageEffects::keepLargeBuffers();
    QApplication::setOrganizationName(QStringLiteral("Halvarin"));
    QApplication::setApplicationName(QStringLiteral("Vellaro"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    CatalogueCli cli(out, err);
    return cli.run(app.arguments().mid(1));
}
