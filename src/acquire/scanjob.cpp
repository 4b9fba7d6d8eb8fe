#include "scanjob.h"

#include <QFileInfo>

ScanJob::ScanJob(const Scanner::Choice &choice, const QString &folder, QObject *parent)
    : QThread(parent)
    , m_choice(choice)
    , m_folder(folder)
{
}

ScanJob::~ScanJob()
{
    m_cancel = true;
    wait();
}

void ScanJob::run()
{
    const QTime start = QTime::currentTime();
    m_outcome = Scanner::acquire(
        m_choice,
        [this, start](const QImage &image, QString *error) {
            // Distinct within the batch by its index; never over a file of an earlier one.
            const int index = int(m_files.size());
            QString path = m_folder + QLatin1Char('/') + ScanFile::name(start, index);
            for (QTime later = start; QFileInfo::exists(path);) {
                later = later.addMSecs(1);
                path = m_folder + QLatin1Char('/') + ScanFile::name(later, index);
            }
            if (!ScanFile::write(image, path, error))
                return false;
            m_files << path;
            Q_EMIT pageWritten(path);
            return true;
        },
        m_cancel, [this](int page, int percent) { Q_EMIT progress(page, percent); });
}
