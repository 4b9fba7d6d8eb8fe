// The name lists of the catalogue root (subjects.list, hidedir.list): "NUMSUB=" and a
// count, then one name per line. The input is read as the persons list, written back
// by the list's writer and read again: the same names must come back, and what load()
// answers must agree with what it read.
#include "fuzzcommon.h"

#include "cataloguefile.h"
#include "namelist.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString root = Fuzz::folder() + QStringLiteral("/names");
    Fuzz::emptyFolder(root);
    const QString subjects = NameList::subjectsPath(root);
    Fuzz::writeFile(subjects, Fuzz::bytesOf(data, size));

    // A list that exists replaces what the caller held.
    QStringList read{QStringLiteral("held before")};
    const bool some = NameList::load(subjects, read);
    if (some != !read.isEmpty())
        Fuzz::fail("load() answered otherwise than what it read",
                   QStringLiteral("answered ") + (some ? QStringLiteral("true") : QStringLiteral("false"))
                       + QStringLiteral(" for ") + Fuzz::show(read));

    const QString hidden = NameList::hiddenDirsPath(root);
    if (!NameList::save(hidden, read))
        Fuzz::fail("the list read could not be written back", CatalogueFile::lastWriteError());
    QStringList again{QStringLiteral("held before")};
    const bool someAgain = NameList::load(hidden, again);
    if (again != read || someAgain != some)
        Fuzz::fail("the list did not read back as written", Fuzz::show(read) + QStringLiteral("\nthen\n")
                                                               + Fuzz::show(again));
    return 0;
}
