// The locator from the organiser page: starting and stopping the search for picture
// folders, its dialog, and the albums made of the folders it finds.
#include "ambriomainwindow.h"

#include "albumcommands.h"
#include "locator.h"
#include "locatordialog.h"
#include "namelist.h"
#include "prefimplementation.h"
#include "prompter.h"

void AmbrioMainWindow::startLocator(const QStringList &roots)
{
    // A walk under way stops at once (nothing more of it arrives); the new one does not
    // wait for it.
    stopLocator();
    auto *thread = new LocatorThread(this);
    thread->setReceiver(this);
    thread->setSkipList(m_hiddenDirs);
    thread->setRoots(roots);
    connect(thread, &QThread::finished, this, [this, thread] {
        m_lastLocatorFound = thread->foldersFound();
        m_lastLocatorStopped = thread->isStopped();
        thread->deleteLater();
    });
    m_locator = thread;
    m_locatorStarted = true;
    thread->start(QThread::LowPriority);
}

void AmbrioMainWindow::stopLocator()
{
    if (m_locator)
        m_locator->stop();
}

bool AmbrioMainWindow::isLocating() const
{
    return m_locator && m_locator->isRunning() && !m_locator->isStopped();
}

void AmbrioMainWindow::customEvent(QEvent *event)
{
    if (event->type() == LocatorEvent::FolderFound)
        MediaDetectorAdd(static_cast<LocatorEvent *>(event)->folder());
    QWidget::customEvent(event);
}

void AmbrioMainWindow::MediaDetectorAdd(const QString &folder)
{
    if (m_closed || folder.isEmpty() || folder == QLatin1String(" "))
        return;
    // A catalogue that cannot be written now will not be written for the next folder
    // either: the search stops after the one message.
    if (!m_commands->addFoundFolder(folder))
        stopLocator();
}

void AmbrioMainWindow::showLocator()
{
    Locator dialog(m_prompter, this);
    // The list as it is on disk now.
    const QString hiddenFile = NameList::hiddenDirsPath(m_context.root);
    if (QStringList stored; NameList::load(hiddenFile, stored))
        m_hiddenDirs = stored;
    dialog.setList(m_hiddenDirs);
    dialog.setStartUp(m_pref && m_pref->startLocator());
    dialog.setLastSearch(m_lastLocatorFound, m_lastLocatorStopped);
    dialog.watch(m_locator);
    const int result = m_prompter->exec(&dialog);
    if (result == Locator::StartStop) {
        if (isLocating())
            stopLocator();
        else
            startLocator();
    } else if (result == QDialog::Accepted) {
        m_hiddenDirs = dialog.list();
        if (!NameList::save(hiddenFile, m_hiddenDirs))
            m_prompter->warning(this, QStringLiteral("The list of folders to skip could not be written:\n") + hiddenFile);
    }
    if (m_pref)
        m_pref->setStartLocator(dialog.startUp());
}

LocatorThread *AmbrioMainWindow::locator() const
{
    return m_locator;
}
