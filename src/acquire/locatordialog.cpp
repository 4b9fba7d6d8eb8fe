#include "locatordialog.h"
#include "ui_locatorbase.h"

#include "locator.h"
#include "pixmaplookup.h"
#include "prompter.h"

#include <QDir>

Locator::Locator(Prompter *prompter, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::LocatorBase>())
    , m_prompter(prompter)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Locator"));
    ui->pixmapLeft->setPixmap(kivPixmap(QStringLiteral("ui-dialog-left-playlist.png")));
    QPalette back = ui->frameRight->palette();
    back.setBrush(QPalette::Window, kivPixmap(QStringLiteral("ui-dialog-right.png")));
    ui->frameRight->setPalette(back);
    ui->frameRight->setAutoFillBackground(true);
    ui->buttonOk->setIcon(QIcon(kivPixmap(QStringLiteral("button_ok.png"))));
    ui->buttonCancel->setIcon(QIcon(kivPixmap(QStringLiteral("button_cancel.png"))));
    connect(ui->buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->buttonCancel, &QPushButton::clicked, this, &Locator::startStopRequested);
    connect(ui->pushButton7, &QPushButton::clicked, this, &Locator::slot_add);
    connect(ui->pushButtonRemovePath, &QPushButton::clicked, this, &Locator::slot_remove);
    m_refresh.setInterval(250);
    connect(&m_refresh, &QTimer::timeout, this, &Locator::showState);
    showState();
}

Locator::~Locator() = default;

void Locator::setList(const QStringList &folders)
{
    ui->listBoxHide->clear();
    ui->listBoxHide->addItems(folders);
    ui->listBoxHide->sortItems(Qt::AscendingOrder);
}

QStringList Locator::list() const
{
    QStringList folders;
    for (int i = 0; i < ui->listBoxHide->count(); ++i)
        folders << ui->listBoxHide->item(i)->text();
    return folders;
}

void Locator::setStartUp(bool on)
{
    ui->checkBoxStartUp->setChecked(on);
}

bool Locator::startUp() const
{
    return ui->checkBoxStartUp->isChecked();
}

void Locator::watch(LocatorThread *thread)
{
    m_thread = thread;
    showState();
    m_refresh.start();
}

void Locator::setLastSearch(int found, bool stopped)
{
    m_lastFound = found;
    m_lastStopped = stopped;
    showState();
}

void Locator::slot_add()
{
    const QString folder = m_prompter->existingDirectory(this, QStringLiteral("Choose a directory"), QDir::homePath());
    if (folder.isEmpty())
        return;
    // A folder listed twice would be removed only once.
    if (!list().contains(folder))
        ui->listBoxHide->addItem(folder);
}

void Locator::slot_remove()
{
    delete ui->listBoxHide->currentItem();
}

void Locator::showState()
{
    const int pending = m_pending ? m_pending() : 0;
    const bool walking = m_thread && m_thread->isRunning() && !m_thread->isStopped();
    ui->buttonCancel->setText(walking || pending > 0 ? QStringLiteral("Stop Locator") : QStringLiteral("Start Locator"));
    const auto counted = [](int found) {
        return found == 1 ? QStringLiteral("1 picture folder found") : QStringLiteral("%1 picture folders found").arg(found);
    };
    const int found = m_thread ? m_thread->foldersFound() : m_lastFound;
    QString text;
    if (walking)
        text = QStringLiteral("Searching: %1 in %2 folders so far.").arg(counted(found)).arg(m_thread->foldersWalked());
    else if (pending > 0)
        text = QStringLiteral("Making the albums: %1, %2 still to add.").arg(counted(found)).arg(pending);
    else if (m_thread && m_thread->isStopped())
        text = QStringLiteral("Stopped: %1.").arg(counted(found));
    else if (m_thread)
        text = QStringLiteral("Search finished: %1.").arg(counted(found));
    else if (m_lastFound < 0)
        text = QStringLiteral("The Locator is not searching.");
    else
        text = (m_lastStopped ? QStringLiteral("The last search was stopped: %1.") : QStringLiteral("The last search is over: %1."))
                   .arg(counted(m_lastFound));
    ui->textLabelStatus->setText(text);
}
