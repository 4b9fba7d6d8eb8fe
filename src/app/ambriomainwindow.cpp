#include "ambriomainwindow.h"
#include "ui_ambriomainwindowbase.h"

#include "cataloguelock.h"
#include "pixmaplookup.h"
#include "prefimplementation.h"
#include "prompter.h"
#include "settingsstore.h"
#include "splash.h"
#include "splashin.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QSettings>
#include <cstdio>

AmbrioMainWindow::AmbrioMainWindow(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::AmbrioMainWindowBase)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("photo"));
    ui->ThumbsBay->installEventFilter(this);
}

AmbrioMainWindow::~AmbrioMainWindow()
{
    delete m_splash;
    delete ui;
}

QWidget *AmbrioMainWindow::thumbnailArea() const
{
    return ui->ThumbsBay;
}

void AmbrioMainWindow::startup()
{
    // Each stage announces itself once its work is done; one round of event
    // processing after each lets the splash repaint before the next stage starts.
    stageSystem();
    Q_EMIT initSystem();
    QCoreApplication::processEvents();
    stageClip();
    Q_EMIT initClip();
    QCoreApplication::processEvents();
    stageDatabase();
    Q_EMIT initDatabase();
    QCoreApplication::processEvents();
    stageUi();
    Q_EMIT initUi();
    QCoreApplication::processEvents();
    finishStartup();
    askFirstStart();
}

void AmbrioMainWindow::stageSystem()
{
    m_splash = new splash;
    connect(this, &AmbrioMainWindow::initSystem, m_splash, &splash::setStepSystem);
    connect(this, &AmbrioMainWindow::initClip, m_splash, &splash::setStepClip);
    connect(this, &AmbrioMainWindow::initDatabase, m_splash, &splash::setStepDatabase);
    connect(this, &AmbrioMainWindow::initUi, m_splash, &splash::setStepUi);
    m_splash->show();

    m_currentAlbumKind = QStringLiteral("NONE");
    m_currentMediaKind = QStringLiteral("media");
    m_selectedPixmap = kivPixmap(QStringLiteral("kivicon-photo-selected.png"));
    m_noBadgePixmap = kivPixmap(QStringLiteral("nouserbadge.png"));
}

void AmbrioMainWindow::stageClip()
{
    // The catalogue folders and the last-import folder are made here on a first run.
    if (m_pref && !m_pref->createFolders() && m_prompter) {
        m_prompter->warning(this, QStringLiteral("Vellaro cannot create its catalogue folders in\n")
                                      + m_pref->installPath()
                                      + QStringLiteral("\n\nPictures cannot be catalogued until this "
                                                       "folder can be written."));
    }
}

void AmbrioMainWindow::stageDatabase()
{
}

void AmbrioMainWindow::stageUi()
{
    // Hold the catalogue for this run: the command-line tool then refuses to write
    // while the window has the catalogue open.
    if (m_pref) {
        m_lock = std::make_unique<CatalogueLock>(m_pref->catalogueRoot());
        if (!m_lock->tryLock() && m_prompter) {
            m_prompter->warning(this, QStringLiteral("Another Vellaro is already working on this catalogue.\n"
                                                     "Changes made in both at once may be lost: close the other "
                                                     "one first."));
        }
    }
}

void AmbrioMainWindow::finishStartup()
{
    m_splash->hide();
    m_presentation = new splashin(this);
    fitStartupPanel();
    m_presentation->show();
    m_presentation->raise();
}

void AmbrioMainWindow::askFirstStart()
{
    if (!m_pref || !m_pref->firstStartup() || !m_prompter)
        return;
    const bool yes = m_prompter->askYesNo(
        this, Prompter::Icon::Information,
        QStringLiteral("Would you like to start the Locator at every startup ?\nThis feature will auto add all "
                       "your digital picture in the Database.\n\n We recomend yes.this feature is really cool !"));
    if (yes)
        m_pref->setStartLocator(true);
}

void AmbrioMainWindow::fitStartupPanel()
{
    if (m_presentation)
        m_presentation->setGeometry(ui->ThumbsBay->geometry());
}

void AmbrioMainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitStartupPanel();
}

bool AmbrioMainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->ThumbsBay && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        fitStartupPanel();
    return QWidget::eventFilter(watched, event);
}

void AmbrioMainWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (m_closed)
        return;
    m_closed = true;
    if (m_pref)
        m_pref->writeSettings(*SettingsStore::open());
    if (m_lock)
        m_lock->unlock();
    // No locator thread has been started: say so, as the close always has.
    std::fputs("thread zero\n", stdout);
    std::fflush(stdout);
}
