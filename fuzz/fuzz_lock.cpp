// The catalogue's lock file (DataBase/vellaro.lock), whose content is whatever a holder,
// a crash or a hand left there. The input is that content. Nothing holds the lock, so
// probe() must tell "none" or "stale" from the file's size alone; the lock must then be
// taken, keep out a second taker, be seen as live, hold its holder's details (what
// its writer writes), and leave an empty file that nobody holds when let go.
#include "fuzzcommon.h"

#include "cataloguelock.h"

#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Fuzz::start();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString root = Fuzz::folder() + QStringLiteral("/lock");
    Fuzz::emptyFolder(root);
    const QString path = root + QLatin1Char('/') + CatalogueLock::fileName();
    Fuzz::writeFile(path, Fuzz::bytesOf(data, size));

    const CatalogueLock::Holder found = CatalogueLock::probe(root);
    if (found != (size > 0 ? CatalogueLock::Holder::Stale : CatalogueLock::Holder::None))
        Fuzz::fail("probe() misread a lock file nobody holds", QString::number(int(found)));

    CatalogueLock lock(root);
    if (!lock.tryLock())
        Fuzz::fail("a lock nobody holds could not be taken", lock.errorString());
    if (CatalogueLock::probe(root) != CatalogueLock::Holder::Live)
        Fuzz::fail("a held lock is not seen as live");
    CatalogueLock second(root);
    if (second.tryLock())
        Fuzz::fail("a held lock was taken a second time");
    const QByteArray details = Fuzz::readFile(path);
    if (!details.startsWith(QByteArray::number(qint64(::getpid())) + '\n'))
        Fuzz::fail("the holder's details are not in the lock file", QString::fromLatin1(details.toHex()));

    lock.unlock();
    if (!Fuzz::readFile(path).isEmpty())
        Fuzz::fail("a lock let go left its holder's details");
    if (CatalogueLock::probe(root) != CatalogueLock::Holder::None)
        Fuzz::fail("a lock let go is still seen as held");
    if (!second.tryLock())
        Fuzz::fail("a lock let go could not be taken again", second.errorString());
    second.unlock();
    return 0;
}
