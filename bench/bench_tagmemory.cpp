// The window's resident size as a large album is tagged again and again: opened, every
// picture chosen, then a comment given to all of them three times, each a different
// length. A change that keeps what it no longer needs shows as a size that climbs.
//   bench_tagmemory DIR   an album made by "bench_open generate DIR COUNT camera SRCDIR"
// BENCH_EXIT_AT=N ends the run at once after the Nth figure, what is held then left
// unfreed: under heaptrack, two such runs compared show what a step keeps.
#include "benchpage.h"
#include "kivviewitem.h"
#include "librarylist.h"
#include "picturecommands.h"
#include "playlist.h"
#include "prompter.h"
#include "propertytextlabel.h"
#include "thumbsview.h"
#include "traybarphoto.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QtTest>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>

namespace {

class SilentPrompter : public WidgetPrompter
{
public:
    int message(QWidget *, const Message &box) override { return box.defaultButton; }
};

long residentKb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString root = onlyArgument("usage: bench_tagmemory DIR");
    if (root.isEmpty())
        return 2;
    SilentPrompter prompter;
    BenchPage bench(root + QStringLiteral("/install"), &prompter);
    AmbrioMainWindow &page = bench.page;
    auto report = [](const char *what) {
        const struct mallinfo2 heap = mallinfo2();
        std::printf("%-26s resident %4ld MB (anonymous %4ld, peak so far %4ld)  main heap in use %4ld MB, free %4ld MB\n",
                    what, residentKb("VmRSS:") / 1024, residentKb("RssAnon:") / 1024, residentKb("VmHWM:") / 1024,
                    long(heap.uordblks >> 20), long(heap.fordblks >> 20));
        std::fflush(stdout);
        static int step = 0;
        if (++step == qEnvironmentVariableIntValue("BENCH_EXIT_AT"))
            std::_Exit(0);
    };
    report("started");
    PlayList *album = page.albumList()->storedAlbums().value(0);
    if (!album)
        return 1;
    thumbsView *view = page.photoView();
    page.slot_selectLibrary(album);
    QElapsedTimer wait;
    wait.start();
    while (page.pictures()->isLoading() && wait.elapsed() < 600000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    report("album open");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(60, 60));
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    report("every picture chosen");
    const QStringList notes{QStringLiteral("a short note"),
                            QStringLiteral("a much longer note, written to make every row grow by a good deal"),
                            QStringLiteral("medium note here")};
    for (const QString &note : notes) {
        auto *field = page.findChild<propertyTextLabel *>(QStringLiteral("propertyTextLabelComment"));
        QTest::mouseClick(field, Qt::LeftButton);
        QLineEdit *editor = field->lineEditor();
        editor->selectAll();
        QTest::keyClicks(editor, note);
        QTest::keyClick(editor, Qt::Key_Return);
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (view->items().last()->comment().trimmed() != note)
            return 1;
        report(qPrintable(QStringLiteral("comment of %1 chars").arg(note.size())));
    }
    return 0;
}
