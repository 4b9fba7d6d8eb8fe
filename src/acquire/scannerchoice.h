#pragma once

#include "scanner.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QThreadPool>

class QComboBox;
class QLabel;
class QListWidget;

// The scanners SANE finds (looked for on a worker thread: SANE may take seconds), one of
// which the user picks for the imports to come.
class ScannerChoice : public QDialog
{
    Q_OBJECT

public:
    // `current`: the device, feed, colours and resolution chosen before.
    explicit ScannerChoice(const Scanner::Choice &current, QWidget *parent = nullptr);
    ~ScannerChoice() override;

    // The device picked (a SANE name), once the dialog was accepted.
    QString device() const;
    // Everything chosen: the device and how it scans ("flatbed" or "adf"; "color",
    // "gray" or "lineart"; dots per inch, 0 for the scanner's own).
    Scanner::Choice choice() const;
    bool isLooking() const { return m_watcher.isRunning(); }

private:
    void showDevices();

    QString m_current;
    QListWidget *m_list;
    QComboBox *m_source;
    QComboBox *m_mode;
    QComboBox *m_resolution;
    QLabel *m_status;
    QPushButton *m_ok;
    QThreadPool m_pool;
    QFutureWatcher<QPair<QList<Scanner::Device>, QString>> m_watcher;
};
