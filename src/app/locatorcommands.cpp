// The locator from the organiser page: starting and stopping the search for picture
// folders, its dialog, and the albums made of the folders it finds.
#include "ambriomainwindow.h"
#include "cataloguesave.h"

#include "albumcommands.h"
#include "locator.h"
#include "locatordialog.h"
#include "namelist.h"
#include "prefimplementation.h"
#include "prompter.h"

#include <QTimer>

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
        if (m_locatorDialog)
            m_locatorDialog->setLastSearch(m_lastLocatorFound, m_lastLocatorStopped);
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
    // What was found and not yet made an album is dropped with the search.
    if (!m_foundFolders.isEmpty()) {
        m_foundFolders.clear();
        m_lastLocatorStopped = true;
        if (m_locatorDialog)
            m_locatorDialog->setLastSearch(m_lastLocatorFound, true);
    }
}

bool AmbrioMainWindow::isLocating() const
{
    // Folders found and still to become albums are the search too: a stop drops them.
    return (m_locator && m_locator->isRunning() && !m_locator->isStopped()) || !m_foundFolders.isEmpty();
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
    m_foundFolders << folder;
    if (!m_foundTimer) {
        m_foundTimer = new QTimer(this);
        m_foundTimer->setInterval(0);
        connect(m_foundTimer, &QTimer::timeout, this, &AmbrioMainWindow::addFoundFolders);
    }
    m_foundTimer->start();
}

void AmbrioMainWindow::addFoundFolders()
{
    // Not again while a message about the last ones waits for the user, nor in the
    // middle of another change (a batch of tags whose progress shows): the timer comes
    // back.
    if (m_addingFound || CatalogueSave::changeRunning())
        return;
    if (m_foundFolders.isEmpty() || m_closed) {
        m_foundTimer->stop();
        return;
    }
    // A few folders at a time (each is listed once, when its album is made), then the
    // window's own events.
    const QStringList batch = m_foundFolders.mid(0, 32);
    m_foundFolders.remove(0, batch.size());
    m_addingFound = true;
    const bool stored = m_commands->addFoundFolders(batch);
    m_addingFound = false;
    // A catalogue that cannot be written now will not be written for the next folders
    // either: the search stops after the one message.
    if (!stored)
        stopLocator();
    if (m_foundFolders.isEmpty())
        m_foundTimer->stop();
}

bool AmbrioMainWindow::isAddingFoundFolders() const
{
    return !m_foundFolders.isEmpty() || m_addingFound;
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
    dialog.setPending([this] { return int(m_foundFolders.size()); });
    dialog.watch(m_locator);
    // The start/stop button works in place: the dialog stays and shows the search.
    connect(&dialog, &Locator::startStopRequested, this, [this, &dialog] {
        if (isLocating())
            stopLocator();
        else
            startLocator();
        dialog.watch(m_locator);
    });
    m_locatorDialog = &dialog;
    const int result = m_prompter->exec(&dialog);
    m_locatorDialog = nullptr;
    if (result != QDialog::Accepted)
        return;
    m_hiddenDirs = dialog.list();
    if (!NameList::save(hiddenFile, m_hiddenDirs))
        m_prompter->warning(this, QStringLiteral("The list of folders to skip could not be written:\n") + hiddenFile);
    if (m_pref)
        m_pref->setStartLocator(dialog.startUp());
}

LocatorThread *AmbrioMainWindow::locator() const
{
    return m_locator;
}
