#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>

class LocatorThread;
class Prompter;

namespace Ui {
class LocatorBase;
}

// The locator's dialog: whether it starts with the program, the folders it skips, and
// the search under way (its count, and the button that stops it or starts a new one).
// OK keeps the list and the check box; Escape leaves both as they were.
class Locator : public QDialog
{
    Q_OBJECT

public:
    explicit Locator(Prompter *prompter, QWidget *parent = nullptr);
    ~Locator() override;

    // The skip list, shown sorted.
    void setList(const QStringList &folders);
    QStringList list() const;
    void setStartUp(bool on);
    bool startUp() const;
    // The search shown: its state and counts, followed while the dialog is open.
    void watch(LocatorThread *thread);
    // How many folders found are still to become albums (they count as the search too).
    void setPending(std::function<int()> pending) { m_pending = std::move(pending); }
    // What the last search, now over, found (-1: there was none).
    void setLastSearch(int found, bool stopped);

Q_SIGNALS:
    // The start/stop button: the search is to start, or to stop; the dialog stays.
    void startStopRequested();

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
    std::function<int()> m_pending;
};
