// The start-up anchor: an empty Qt widgets application that shows one main window
// and ends once it has painted, as `vellaro --exit-when-shown` does, saying when it was
// shown. With --text the window shows a line of text: the fonts' own share of a start
// (an empty window never loads one).
#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>
#include <ctime>

class Window : public QMainWindow
{
protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::Paint && !m_done) {
            m_done = true;
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            std::fprintf(stderr, "vellaro: shown at %lld.%09ld\n", static_cast<long long>(now.tv_sec), now.tv_nsec);
            QTimer::singleShot(0, this, &QWidget::close);
        }
        return QMainWindow::event(e);
    }
    bool m_done = false;
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Window w;
    if (argc > 1 && QByteArray(argv[1]) == "--text")
        w.setCentralWidget(new QLabel(QStringLiteral("Vellaro, a photo organiser")));
    w.resize(800, 580);
    w.show();
    return app.exec();
}
