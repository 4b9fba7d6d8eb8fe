#include "cataloguetext.h"

#include "cataloguecontext.h"

#include <QDir>

namespace CatalogueText {

namespace {
bool hasLineEnd(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

// An album's files are named by its id, the name followed by a 23-character time
// stamp, with ".group" the longest ending: all within one file name of 255 bytes.
bool tooLong(const QString &name)
{
    return name.toUtf8().size() + 23 + 6 > 255;
}

} // namespace

QString folderNameRefusal(const QString &name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Unable to add this dynamic album.\nThis folder has no name.");
    if (name.contains(QLatin1Char('|')) || hasLineEnd(name))
        return QStringLiteral("Unable to add this dynamic album.\nA folder whose name holds \"|\" or a line break "
                              "cannot be catalogued.");
    if (tooLong(name))
        return QStringLiteral("Unable to add this dynamic album.\nThe folder's name is too long.");
    return {};
}

QString albumNameRefusal(const QString &name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Unable to create this album.\nPlease enter a name.");
    if (tooLong(name))
        return QStringLiteral("Unable to use this name.\nThe name is too long.");
    if (name.contains(QLatin1Char(',')))
        return QStringLiteral("Unable to use this name.\nA name cannot contain a comma \",\".");
    if (hasLineEnd(name))
        return QStringLiteral("Unable to use this name.\nA name must stand on one line.");
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("Unable to use this name.\nA name cannot contain \"/\" or \"\\\".");
    return {};
}

QString propertyRefusal(const QString &value)
{
    if (value.contains(QLatin1Char('|')))
        return QStringLiteral("Unable to save this property.\nA property cannot contain \"|\".");
    if (hasLineEnd(value))
        return QStringLiteral("Unable to save this property.\nA property must stand on one line.");
    return {};
}

QString subjectRefusal(const QString &name)
{
    if (name.contains(QLatin1Char(',')))
        return QStringLiteral("Unable to add this subject.\nA subject name cannot contain a comma \",\".");
    return propertyRefusal(name);
}

const QStringList &categories()
{
    static const QStringList list{QStringLiteral("Undefined"), QStringLiteral("Family"), QStringLiteral("Friends"),
                                  QStringLiteral("Sexy"),      QStringLiteral("Art"),    QStringLiteral("WallPaper"),
                                  QStringLiteral("holidays"),  QStringLiteral("People"), QStringLiteral("Others")};
    return list;
}

} // namespace CatalogueText

CatalogueContext CatalogueContext::forInstallation(const QString &installDir)
{
    CatalogueContext context;
    context.root = QDir::fromNativeSeparators(installDir) + QStringLiteral("/DataBase");
    context.folder = context.root + QStringLiteral("/db");
    return context;
}
