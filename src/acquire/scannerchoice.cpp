#include "scannerchoice.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

ScannerChoice::ScannerChoice(const QString &current, QWidget *parent)
    : QDialog(parent)
    , m_current(current)
    , m_list(new QListWidget(this))
    , m_status(new QLabel(QStringLiteral("Looking for scanners..."), this))
{
    setObjectName(QStringLiteral("scanner choice"));
    setWindowTitle(QStringLiteral("Select Device"));
    m_list->setObjectName(QStringLiteral("scannerList"));
    m_status->setObjectName(QStringLiteral("scannerStatus"));
    m_status->setWordWrap(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setEnabled(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) { m_ok->setEnabled(row >= 0); });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Choose the scanner to import from:"), this));
    layout->addWidget(m_list);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    resize(420, 280);
    m_pool.setMaxThreadCount(1);
    connect(&m_watcher, &QFutureWatcherBase::finished, this, &ScannerChoice::showDevices);
    m_watcher.setFuture(QtConcurrent::run(&m_pool, [] {
        QString error;
        QList<Scanner::Device> found = Scanner::devices(&error);
        return qMakePair(found, error);
    }));
}

ScannerChoice::~ScannerChoice()
{
    // SANE is not interrupted: its answer is awaited.
    m_watcher.waitForFinished();
}

QString ScannerChoice::device() const
{
    const QListWidgetItem *item = m_list->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

void ScannerChoice::showDevices()
{
    const auto [found, error] = m_watcher.future().result();
    if (!error.isEmpty()) {
        m_status->setText(QStringLiteral("The scanners cannot be asked: ") + error);
        return;
    }
    if (found.isEmpty()) {
        m_status->setText(QStringLiteral("No scanner was found. Is it plugged in and switched on?"));
        return;
    }
    for (const Scanner::Device &device : found) {
        auto *item = new QListWidgetItem(QStringLiteral("%1 %2 (%3)").arg(device.vendor, device.model, device.name), m_list);
        item->setData(Qt::UserRole, device.name);
        if (device.name == m_current)
            m_list->setCurrentItem(item);
    }
    if (!m_list->currentItem())
        m_list->setCurrentRow(0);
    m_status->setText(found.size() == 1 ? QStringLiteral("1 scanner found.") : QStringLiteral("%1 scanners found.").arg(found.size()));
}
