#pragma once

#include "scanner.h"

#include <QStringList>
#include <QThread>
#include <QTime>

// A scan on a thread of its own, which owns the whole SANE session: each page is written
// to the folder as a bitmap file as soon as it is whole, and announced.
class ScanJob : public QThread
{
    Q_OBJECT

public:
    ScanJob(const Scanner::Choice &choice, const QString &folder, QObject *parent = nullptr);
    ~ScanJob() override;

    void cancel() { m_cancel = true; }
    Scanner::Outcome outcome() const { return m_outcome; }
    QStringList files() const { return m_files; }

Q_SIGNALS:
    void pageWritten(const QString &path);
    void progress(int page, int percent);

protected:
    void run() override;

private:
    Scanner::Choice m_choice;
    QString m_folder;
    std::atomic_bool m_cancel{false};
    Scanner::Outcome m_outcome;
    QStringList m_files;
};
