#include "media.h"
#include "minime.h"
#include "picturecommands.h"
#include "ui_mainwindow.h"

#include "advancedfindmanage.h"
#include "ambriomainwindow.h"
#include "librarylist.h"
#include "pixmaplookup.h"
#include "prefimplementation.h"

#include <QShortcut>
#include "prompter.h"
#include "smartplaylist.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QCoreApplication>
#include <QProgressBar>
#include <QScreen>

media::media(QWidget *parent, const QString &name, Qt::WindowFlags flags, prefImplementation *pref,
             Prompter *prompter)
    : QMainWindow(parent, flags)
    , ui(new Ui::MainWindow)
    , m_pref(pref)
    , m_prompter(prompter)
{
    ui->setupUi(this);
    setObjectName(name);
    setWindowTitle(QStringLiteral("Vellaro 1.0"));
    ui->statusbar->hide();

    m_photo = new AmbrioMainWindow(ui->widgetStack);
    m_photo->setPref(m_pref);
    m_photo->setPrompter(prompter);
    m_photo->startup();
    ui->widgetStack->insertWidget(0, m_photo);

    showMenuBar(m_pref->menuBar());
    ui->findButton->setIcon(QIcon(kivPixmap(QStringLiteral("find.png"))));
    connect(ui->searchLine, &QLineEdit::returnPressed, this, &media::slot_fast_find);
    // Ctrl+F goes to the search field from anywhere in the window.
    auto *find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        ui->searchLine->setFocus(Qt::ShortcutFocusReason);
        ui->searchLine->selectAll();
    });
    connect(ui->findButton, &QToolButton::clicked, this, &media::slot_find_advanced);
    connect(ui->locatorButton, &QPushButton::clicked, m_photo, &AmbrioMainWindow::showLocator);
    // The mini window and the preferences are not built yet: not offered.
    connect(ui->miniMeButton, &QPushButton::clicked, this, &media::slot_minime);
    connect(ui->optionsButton, &QPushButton::clicked, this, &media::slot_pref);
    connect(m_photo, &AmbrioMainWindow::Addprogress, this, &media::slot_setProgress);
    connect(m_photo, &AmbrioMainWindow::SetTotalprogress, this, &media::slot_SetTotalprogress);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setTextVisible(false);
    m_progress->setStyleSheet(QStringLiteral("QProgressBar { border: none; background: transparent; }"
                                             "QProgressBar::chunk { background-color: rgb(200, 227, 98); }"));
    m_progress->hide();
    ui->widgetStack->setCurrentIndex(0);

    resize(800, 580);
    // Smaller than this, the panels' text and buttons would be cut off; a screen smaller
    // still keeps the whole window on it.
    QSize least(800, 580);
    if (const QScreen *screen = this->screen())
        least = least.boundedTo(screen->availableGeometry().size());
    setMinimumSize(least);
    // The first-start answer may have set this a moment ago.
    if (m_pref->startLocator())
        mediaDetect();
}

media::~media()
{
    delete ui;
}

void media::showMenuBar(bool shown)
{
    // Made the first time it is shown: most users never show it, and a menu bar is slow
    // to make (the style's pictures for it read every image format's plug-in).
    if (!m_menuBar && !shown)
        return;
    if (!m_menuBar) {
        m_menuBar = new QMenuBar(this);
        m_menuBar->setObjectName(QStringLiteral("MenuBar"));
        setMenuBar(m_menuBar);
        buildMenus();
    }
    m_menuBar->setVisible(shown);
}

void media::buildMenus()
{
    AmbrioMainWindow *page = m_photo;
    using P = AmbrioMainWindow;
    QMenu *file = m_menuBar->addMenu(QStringLiteral("File"));
    file->addSeparator();
    connect(file->addAction(QStringLiteral("Quit")), &QAction::triggered, this, &QWidget::close);

    QMenu *album = m_menuBar->addMenu(QStringLiteral("Album"));
    connect(album->addAction(QStringLiteral("New Album")), &QAction::triggered, page, &P::AddPlaylist);
    connect(album->addAction(QStringLiteral("New Directory Album")), &QAction::triggered, page,
            &P::AddDirectoryPlaylist);
    album->addSeparator();
    connect(album->addAction(QStringLiteral("Clear Album")), &QAction::triggered, page, &P::slot_clearPlaylist);
    connect(album->addAction(QStringLiteral("Refresh Thumbs")), &QAction::triggered, page, &P::updateRollLibrary);
    album->addSeparator();
    connect(album->addAction(QStringLiteral("Email all photos in this Playlist")), &QAction::triggered, page,
            &P::slot_sendAlbum);
    connect(album->addAction(QStringLiteral("Slideshow")), &QAction::triggered, page, &P::viewSlideShow);

    QMenu *photo = m_menuBar->addMenu(QStringLiteral("Photo"));
    connect(photo->addAction(QStringLiteral("Copy")), &QAction::triggered, page, &P::slot_copyItem);
    connect(photo->addAction(QStringLiteral("Paste")), &QAction::triggered, page, &P::slot_pasteItem);
    connect(photo->addAction(QStringLiteral("Remove")), &QAction::triggered, page, &P::slot_removeItem);
    connect(photo->addAction(QStringLiteral("Rename")), &QAction::triggered, page, &P::slot_renameItem);
    photo->addSeparator();
    connect(photo->addAction(QStringLiteral("Make this photo a Favorites")), &QAction::triggered, page,
            &P::slot_to_favorites);
    photo->addSeparator();
    connect(photo->addAction(QStringLiteral("Save as...")), &QAction::triggered, page, &P::slot_convertPhoto);
    connect(photo->addAction(QStringLiteral("View this photo")), &QAction::triggered, page, &P::viewImage);
    connect(photo->addAction(QStringLiteral("Email this photo")), &QAction::triggered, page, &P::slot_sendItem);
    connect(photo->addAction(QStringLiteral("Print this photo")), &QAction::triggered, page, &P::slot_printPhoto);

    QMenu *find = m_menuBar->addMenu(QStringLiteral("Find"));
    connect(find->addAction(QStringLiteral("Find a photo with a particular property...")), &QAction::triggered,
            this, &media::slot_find_advanced);
}

void media::closeEvent(QCloseEvent *event)
{
    // Closed while the mini window is open (the session ends, a close asked of the
    // hidden window): the strip goes first, so nothing writes the catalogue after the
    // organiser has stored it and let it go.
    if (m_mini) {
        disconnect(m_mini, nullptr, this, nullptr);
        delete m_mini;
    }
    m_photo->close();
    event->accept();
}

void media::slot_photo()
{
    m_photo->slot_photo_type();
}

void media::slot_music()
{
    m_photo->slot_music_type();
}

void media::slot_multi()
{
    m_photo->slot_media_type();
}

void media::slot_find()
{
    globalFind dialog(ui->searchLine->text(), this);
    if (m_prompter->exec(&dialog) != QDialog::Accepted)
        return;
    ui->searchLine->setText(dialog.text());
    slot_fast_find();
}

void media::showLastSearch(const QString &keyword, const QString &attribute, const QString &condition)
{
    // The "Last Search" album keeps the query and opens, which evaluates it.
    Search *last = m_photo->albumList()->lastSearch();
    if (!last)
        return;
    last->setAttribute(attribute);
    last->setCondition(condition);
    last->setKeyword(keyword);
    last->setSource(m_photo->currentAlbum());
    last->setTitle(QStringLiteral("Last Search : ") + keyword);
    last->setText(1, last->title());
    m_photo->slot_selectLibrary(last);
}

void media::slot_fast_find()
{
    const QString text = ui->searchLine->text();
    if (text.isEmpty())
        return;
    showLastSearch(text, QString(), QString());
}

void media::slot_find_advanced()
{
    advancedFindManage dialog(this);
    if (m_prompter->exec(&dialog) != QDialog::Accepted)
        return;
    // The search field's word is no longer what the results answer.
    ui->searchLine->clear();
    showLastSearch(dialog.value(), dialog.attribute(), dialog.condition());
}

void media::slot_setProgress(int value)
{
    m_progress->setValue(value);
    if (value >= m_progress->maximum())
        m_progress->hide();
}

void media::slot_SetTotalprogress(int total)
{
    // Over the search bar's strip, on the title-strip background, between the search
    // field's button and the buttons on the right: a search can be typed while an album
    // fills (it stops the filling), so the field stays in sight and within reach.
    const QRect band = QRect(ui->searchBar->mapTo(this, QPoint(0, 0)), ui->searchBar->size()).adjusted(0, 8, 0, -8);
    const int left = ui->findButton->mapTo(this, QPoint(ui->findButton->width(), 0)).x() + 12;
    const int right = ui->locatorButton->mapTo(this, QPoint(0, 0)).x() - 12;
    if (right - left >= 40)
        m_progress->setGeometry(left, band.top(), right - left, band.height());
    else
        m_progress->setGeometry(band);
    const QPixmap strip = kivPixmap(QStringLiteral("ui-media-center.png"));
    QPalette colours = m_progress->palette();
    colours.setBrush(QPalette::Window, strip);
    m_progress->setPalette(colours);
    m_progress->setAutoFillBackground(true);
    m_progress->setRange(0, total);
    m_progress->setValue(0);
    // Nothing to count (an empty album) would leave the bar up for good.
    if (total <= 0) {
        m_progress->hide();
        return;
    }
    m_progress->show();
    m_progress->raise();
}

void media::slot_select()
{
    ui->searchLine->selectAll();
}

void media::focusSearchBar()
{
    ui->searchLine->setFocus();
}

// Reached by no control: an empty window at the screen origin in place of this one.
void media::slot_Aspirateur()
{
    hide();
    auto *empty = new QWidget;
    empty->setAttribute(Qt::WA_DeleteOnClose);
    empty->setGeometry(0, 0, 50, 50);
    empty->show();
}

void media::menu_apps(bool) {}
void media::slot_changeTheme() {}
void media::setUpPrinter() {}

void media::slot_pref()
{
    // The dialog shows what is in force, not what was edited and cancelled last time.
    m_pref->showValues();
    if (m_prompter->exec(m_pref) != QDialog::Accepted)
        return;
    const prefImplementation::DialogChanges changes = m_pref->takeDialogValues();
    showMenuBar(m_pref->menuBar());
    m_photo->applyPreferences(changes);
}

void media::slot_minime()
{
    if (m_mini && m_mini->isVisible()) {
        m_mini->raise();
        return;
    }
    delete m_mini;
    hide();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_mini = new minime(m_photo, this);
    connect(m_mini, &minime::closed, this, [this] {
        // Pictures dropped on the strip join the album the organiser shows, too.
        if (PlayList *album = m_photo->currentAlbum())
            m_photo->pictures()->openAlbum(album);
    });
    m_mini->open();
}

void media::mediaDetect()
{
    m_photo->startLocator();
}
