#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <memory>

class LocatorThread;
class Prompter;

namespace Ui {
class LocatorBase;
}

// The locator's dialog: whether it starts with the program, the folders it skips, and
// the search under way (its count, and the button that stops it or starts a new one).
class Locator : public QDialog
{
    Q_OBJECT

public:
    // The start/stop button ends the dialog with this result (Escape only closes it).
    static constexpr int StartStop = 2;

    explicit Locator(Prompter *prompter, QWidget *parent = nullptr);
    ~Locator() override;

    // The skip list, shown sorted.
    void setList(const QStringList &folders);
    QStringList list() const;
    void setStartUp(bool on);
    bool startUp() const;
    // The search shown: its state and counts, followed while the dialog is open.
    void watch(LocatorThread *thread);
    // What the last search, now over, found (-1: there was none).
    void setLastSearch(int found, bool stopped);

public Q_SLOTS:
    void slot_add();
    void slot_remove();

private:
    void showState();

    std::unique_ptr<Ui::LocatorBase> ui;
    Prompter *m_prompter;
    QPointer<LocatorThread> m_thread;
    int m_lastFound = -1;
    bool m_lastStopped = false;
    QTimer m_refresh;
};
