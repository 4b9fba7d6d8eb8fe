// How the window's commands grow with the album: each is timed on an album made by
// "bench_open generate DIR COUNT thumbs small"; run on one of 1,000 and one of 10,000
// pictures, a command that grows with the album shows a ratio near 10, one that grows
// with its square near 100.
//   bench_scale DIR     open, choose every picture (the tray), give them all a comment, add
//                       one, rename one, remove one; ms, median of 5, each undone before the
//                       next run
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
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QtTest>
#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Answers every question with its default and renames to the name it is given.
class BenchPrompter : public WidgetPrompter
{
public:
    QString newName;
    int message(QWidget *, const Message &box) override { return box.defaultButton; }
    int exec(QDialog *dialog) override
    {
        if (auto *line = dialog->findChild<QLineEdit *>(QStringLiteral("lineEditNewFilename")))
            line->setText(newName);
        return QDialog::Accepted;
    }
};

double median(QList<double> times)
{
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString root = onlyArgument("usage: bench_scale DIR");
    if (root.isEmpty())
        return 2;
    BenchPrompter prompter;
    BenchPage bench(root + QStringLiteral("/install"), &prompter);
    AmbrioMainWindow &page = bench.page;
    PlayList *album = page.albumList()->storedAlbums().value(0);
    if (!album)
        return 1;
    thumbsView *view = page.photoView();
    auto settle = [&] {
        QElapsedTimer wait;
        wait.start();
        while (page.pictures()->isLoading() && wait.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    auto timed = [](const std::function<void()> &work) {
        QElapsedTimer timer;
        timer.start();
        work();
        return timer.nsecsElapsed() / 1e6;
    };
    // Clicks the record, as the user chooses it.
    auto choose = [&](KivViewItem *item) {
        view->ensureCellVisible(item->row(), item->column());
        const QPoint at = view->cellGeometry(item->row(), item->column()).center()
                          - QPoint(view->contentsX(), view->contentsY());
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    };
    auto record = [&](const QString &name) -> KivViewItem * {
        for (KivViewItem *item : view->items())
            if (item->fileName() == name)
                return item;
        return nullptr;
    };

    const QString extra = root + QStringLiteral("/extra/EXTRA_0001.jpg");
    QDir().mkpath(root + QStringLiteral("/extra"));
    QImage picture(320, 240, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    picture.save(extra, "JPEG");

    // A comment typed into the panel's field for every picture of the tray.
    auto comment = [&](const QString &text) {
        auto *field = page.findChild<propertyTextLabel *>(QStringLiteral("propertyTextLabelComment"));
        QTest::mouseClick(field, Qt::LeftButton);
        QLineEdit *editor = field->lineEditor();
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
    };

    QList<double> opening, tray, tagging, adding, renaming, removing;
    for (int run = 0; run < 5; ++run) {
        opening << timed([&] { page.slot_selectLibrary(album); });
        settle();
        const int count = view->count();
        KivViewItem *middle = view->items().at(count / 2);
        const QString name = middle->fileName();
        choose(middle);
        tray << timed([&] { QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier); });
        if (page.tray()->count() != count)
            return 1;
        const QString note = QStringLiteral("note %1").arg(run);
        tagging << timed([&] { comment(note); });
        if (view->items().at(count - 1)->comment().trimmed() != note)
            return 1;
        // One picture dropped on the album, then taken out again.
        adding << timed([&] { page.pictures()->addFiles({extra}, nullptr); });
        settle();
        if (view->count() != count + 1)
            return 1;
        choose(record(QStringLiteral("EXTRA_0001.jpg")));
        removing << timed([&] { page.pictures()->removeSelected(); });
        if (view->count() != count)
            return 1;
        // The middle picture renamed (its file too), then named back.
        choose(record(name));
        prompter.newName = QStringLiteral("RENAMED_") + name;
        renaming << timed([&] { page.pictures()->rename(); });
        if (!record(prompter.newName))
            return 1;
        prompter.newName = name;
        page.pictures()->rename();
        if (!record(name))
            return 1;
    }
    std::printf("pictures %d\nopen_ms %.2f\ntray_ms %.2f\ntag_ms %.2f\nadd_ms %.2f\nremove_ms %.2f\nrename_ms %.2f\n",
                view->count(), median(opening), median(tray), median(tagging), median(adding), median(removing),
                median(renaming));
    return 0;
}
