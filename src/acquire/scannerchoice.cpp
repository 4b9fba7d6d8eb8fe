#include "scannerchoice.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

ScannerChoice::ScannerChoice(const Scanner::Choice &current, QWidget *parent)
    : QDialog(parent)
    , m_current(current.device)
    , m_list(new QListWidget(this))
    , m_source(new QComboBox(this))
    , m_mode(new QComboBox(this))
    , m_resolution(new QComboBox(this))
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
    // How the pages are scanned; the scanner's own settings unless chosen.
    m_source->setObjectName(QStringLiteral("scannerSource"));
    m_source->addItem(QStringLiteral("As the scanner is set"), QString());
    m_source->addItem(QStringLiteral("Flatbed (one page)"), QStringLiteral("flatbed"));
    m_source->addItem(QStringLiteral("Document feeder (every sheet)"), QStringLiteral("adf"));
    m_mode->setObjectName(QStringLiteral("scannerMode"));
    m_mode->addItem(QStringLiteral("As the scanner is set"), QString());
    m_mode->addItem(QStringLiteral("Colour"), QStringLiteral("color"));
    m_mode->addItem(QStringLiteral("Grey"), QStringLiteral("gray"));
    m_mode->addItem(QStringLiteral("Black and white"), QStringLiteral("lineart"));
    m_resolution->setObjectName(QStringLiteral("scannerResolution"));
    m_resolution->addItem(QStringLiteral("As the scanner is set"), 0);
    for (int dpi : {75, 150, 300, 600, 1200})
        m_resolution->addItem(QStringLiteral("%1 dots per inch").arg(dpi), dpi);
    auto select = [](QComboBox *box, const QVariant &value) { box->setCurrentIndex(qMax(0, box->findData(value))); };
    select(m_source, current.source);
    select(m_mode, current.mode);
    select(m_resolution, current.resolution);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Feed:"), m_source);
    form->addRow(QStringLiteral("&Colours:"), m_mode);
    form->addRow(QStringLiteral("&Resolution:"), m_resolution);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(440, 380);
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

Scanner::Choice ScannerChoice::choice() const
{
    Scanner::Choice chosen;
    chosen.device = device();
    chosen.source = m_source->currentData().toString();
    chosen.mode = m_mode->currentData().toString();
    chosen.resolution = m_resolution->currentData().toInt();
    return chosen;
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
