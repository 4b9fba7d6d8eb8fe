#pragma once

#include "scanner.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QThreadPool>

class QLabel;
class QListWidget;

// The scanners SANE finds (looked for on a worker thread: SANE may take seconds), one of
// which the user picks for the imports to come.
class ScannerChoice : public QDialog
{
    Q_OBJECT

public:
    explicit ScannerChoice(const QString &current, QWidget *parent = nullptr);
    ~ScannerChoice() override;

    // The device picked (a SANE name), once the dialog was accepted.
    QString device() const;
    bool isLooking() const { return m_watcher.isRunning(); }

private:
    void showDevices();

    QString m_current;
    QListWidget *m_list;
    QLabel *m_status;
    QPushButton *m_ok;
    QThreadPool m_pool;
    QFutureWatcher<QPair<QList<Scanner::Device>, QString>> m_watcher;
};
