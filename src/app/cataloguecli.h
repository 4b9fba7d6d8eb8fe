#pragma once

#include <functional>

#include <QStringList>
#include <QTextStream>

// vellaro-cli: the catalogue from the command line, through the same code as the
// program. Exit status 0 when done, 1 when something was refused, 2 for a usage
// error or an unreadable catalogue.
class CatalogueCli
{
public:
    CatalogueCli(QTextStream &out, QTextStream &err);
    int run(const QStringList &arguments);

    static QString usage();

private:
    struct Options;
    int dispatch(const Options &options);
    int usageError(const QString &message);
    int effects(const QStringList &args);
    int thumbnail(const QStringList &args, bool fast);
    int check(const Options &options);
    int backup(const Options &options);
    int restore(const Options &options);
    // Prints the picture folders below the roots as they are found; `add`, when given,
    // makes each an album (false stops the walk).
    int locate(const Options &options, const std::function<bool(const QString &)> &add);
    // Pages from a scanner into the last-import folder (or, with --list, the scanners).
    int scan(const Options &options);

    QTextStream &m_out;
    QTextStream &m_err;
};
