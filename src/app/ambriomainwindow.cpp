#include "ambriomainwindow.h"
#include "ui_ambriomainwindowbase.h"

#include "albumcommands.h"
#include "datemodif.h"
#include "people.h"
#include "propertypanel.h"
#include "traybarphoto.h"
#include "cataloguetext.h"
#include "picturecommands.h"
#include "thumbsview.h"
#include "viewphoto.h"
#include "catalogueloader.h"
#include "cataloguebackup.h"
#include "metadatawriter.h"
#include "picturerename.h"
#include "slideshow.h"
#include "pagecomposition.h"
#include "printerdialog.h"
#include "printprogress.h"
#include "progressloadprinter.h"
#include "cataloguefile.h"
#include "cataloguesave.h"
#include "cataloguelock.h"
#include "directoryplaylist.h"
#include "hello.h"
#include "locator.h"
#include "locatordialog.h"
#include "kivviewitem.h"
#include "photoitem.h"
#include "librarylist.h"
#include "namelist.h"
#include "openarguments.h"
#include "applog.h"
#include "pixmaplookup.h"
#include "prefimplementation.h"
#include "prompter.h"
#include "settingsstore.h"
#include "smartplaylist.h"
#include "splash.h"
#include "splashin.h"
#include "statsview.h"

#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <QClipboard>
#include <QCloseEvent>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QDir>
#include <QSet>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QSet>
#include <QSettings>
#include <QApplication>
#include <QTimer>
#include <QSignalBlocker>
#include <cstdio>

AmbrioMainWindow::AmbrioMainWindow(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::AmbrioMainWindowBase)
    , m_commands(std::make_unique<AlbumCommands>(this))
    , m_openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("photo"));
    // The animated title stands where the form has its title label.
    m_title = new Hello(ui->action_frame_edit);
    m_title->setObjectName(QStringLiteral("Title_label"));
    delete ui->action_frame_editLayout->replaceWidget(ui->Title_label, m_title);
    delete ui->Title_label;
    ui->Title_label = nullptr;
    ui->ThumbsBay->installEventFilter(this);
    m_photoView = new thumbsView(ui->ThumbsBay);
    ui->ThumbsBayLayout->addWidget(m_photoView);
    m_pictures = new PictureCommands(this);
    m_panel = std::make_unique<PropertyPanel>(this, ui);
    m_selectionCount = [this] { return int(m_photoView->selectedItems().size()); };
    ui->add_roll->setPopupMode(QToolButton::InstantPopup);
    ui->viewBy->setPopupMode(QToolButton::DelayedPopup);
}

AmbrioMainWindow::~AmbrioMainWindow()
{
    // A snapshot under way stops between two files; its partial archive is dropped.
    m_backupCancel = true;
    m_backup.waitForFinished();
    // A sweep not begun or not finished yet is left to the next start: closing the
    // window never waits for it.
    CatalogueFile::stopSweep();
    // Conversions under way finish (each writes a whole file or nothing).
    for (SaveWorker *conversion : findChildren<SaveWorker *>(Qt::FindDirectChildrenOnly))
        conversion->wait();
    delete m_splash;
    delete ui;
}

QWidget *AmbrioMainWindow::thumbnailArea() const
{
    return ui->ThumbsBay;
}

trayBarPhoto *AmbrioMainWindow::tray() const
{
    return ui->trayBar;
}

libraryList *AmbrioMainWindow::albumList() const
{
    return ui->ListRoll;
}

int AmbrioMainWindow::currentToolPage() const
{
    return ui->WidgetStack->currentIndex();
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

    m_photoView->installEventFilter(this);
    m_viewer = new viewphoto(this);
    m_viewer->setObjectName(QStringLiteral("photo"));
    m_viewer->setPrompter(m_prompter);
    m_viewer->hide();
    // The viewer's toolbar stands in the title strip while the viewer is open.
    m_actionFrame = new QFrame(ui->action_frame_edit);
    m_actionFrame->setObjectName(QStringLiteral("action_frame"));
    ui->action_frame_editLayout->addWidget(m_actionFrame);
    m_actionFrame->hide();
    connectWidgets();
    m_menus.build(this);
    // The menu hides before its command runs: the album it was opened on is let go
    // once the command has taken it.
    connect(m_menus.album, &QMenu::aboutToHide, this, [this] {
        QTimer::singleShot(0, this, [this] {
            m_menuAlbum = nullptr;
            // The right-click marked the album it was on; the list marks the open one again.
            ui->ListRoll->markOpen(m_currentAlbum);
        });
    });
    ui->add_roll->setMenu(m_menus.addAlbum);
    ui->viewBy->setMenu(m_menus.viewBy);
    ui->pushButtonActions->setMenu(m_menus.actions);
    ui->pushButtonFx->setMenu(m_menus.effects);

    m_currentAlbumKind = QStringLiteral("NONE");
    m_currentMediaKind = QStringLiteral("media");
    m_selectedPixmap = kivPixmap(QStringLiteral("kivicon-photo-selected.png"));
    m_noBadgePixmap = kivPixmap(QStringLiteral("nouserbadge.png"));
}

void AmbrioMainWindow::connectWidgets()
{
    libraryList *list = ui->ListRoll;
    connect(list, &libraryList::librarySelected, this, &AmbrioMainWindow::slot_roll_pressed);
    connect(list, &libraryList::dropped, this, &AmbrioMainWindow::slot_dnd);
    connect(list, &libraryList::contextMenuRequested, this, &AmbrioMainWindow::contextmenuLibrary);
    connect(list, qOverload<const QStringList &, KivViewItem *>(&libraryList::addFile), this,
            qOverload<const QStringList &, KivViewItem *>(&AmbrioMainWindow::slot_addFile));
    connect(list, qOverload<const QString &, QTreeWidgetItem *>(&libraryList::addFile), this,
            qOverload<const QString &, QTreeWidgetItem *>(&AmbrioMainWindow::slot_addFile));
    connect(list, &libraryList::filesDroppedOn, this, [this](const QStringList &files, QTreeWidgetItem *item) {
        auto *album = dynamic_cast<PlayList *>(item);
        if (isStoredAlbum(album))
            m_pictures->addFilesTo(album, files, QString());
    });
    connect(list, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item, int column) {
        auto *album = dynamic_cast<PlayList *>(item);
        if (column != 1 || !album || album->isSmart() || libraryList::isYearRow(album) || !album->context()
            || item->text(1) == album->title() || album->className() == QLatin1String("PlayListGroup"))
            return;
        // The title renamed in place is the album's title.
        album->setTitle(item->text(1));
        album->setDirty(true);
        storeAlbum(album);
        if (album == m_currentAlbum)
            m_title->setText(album->title());
    });

    ui->add_roll->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // The view-by button shows its picture; its name is its tooltip.
    ui->viewBy->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ui->viewBy->setToolTip(ui->viewBy->text());
    // The tabs share the row with the picture buttons within the 800-pixel window.
    for (QPushButton *tab : {ui->bring_import, ui->bring_info, ui->bring_edit, ui->bring_export})
        tab->setMaximumWidth(72);
    thumbsView *view = m_photoView;
    connect(view, &thumbsView::currentChanged, this, &AmbrioMainWindow::slot_photo_pressed);
    connect(view, &thumbsView::doubleClicked, this, &AmbrioMainWindow::slot_photo_dblclick);
    connect(view, &thumbsView::librarySelected, this, &AmbrioMainWindow::slot_roll_pressed);
    connect(view, &thumbsView::contextMenuRequested, this, &AmbrioMainWindow::slot_photo_rightclick);
    connect(view, &thumbsView::addFile, this,
            qOverload<const QStringList &, KivViewItem *>(&AmbrioMainWindow::slot_addFile));
    connect(view, &thumbsView::itemDroped, this, &AmbrioMainWindow::slot_itemDroped);
    connect(view, &thumbsView::removePhoto, this, &AmbrioMainWindow::slot_removeItem);
    connect(view, &thumbsView::addImage, this, &AmbrioMainWindow::slot_addImage);
    connect(view, &thumbsView::multiSelection, this, &AmbrioMainWindow::ToMultiSelection);
    connect(view, &thumbsView::cleartray, ui->trayBar, &trayBarPhoto::clear);
    connect(view, &thumbsView::cleartray, this, &AmbrioMainWindow::ToSingleSelection);
    // From the keyboard: digits set the love as the hearts would, F2 renames.
    connect(view, &thumbsView::loveTyped, this, [this](int love) {
        if (!m_currentItem && ui->trayBar->count() < 2)
            return;
        ui->favoriteswid->setValue(love);
        m_pictures->heartsChanged();
    });
    connect(view, &thumbsView::renameRequested, this, &AmbrioMainWindow::slot_renameItem);
    connect(view, &thumbsView::aboutToSelectAll, m_pictures, &PictureCommands::openTheRest);
    connect(view, &thumbsView::allSelected, this, &AmbrioMainWindow::selectAllPictures);

    // The property panel.
    for (propertyTextLabel *field : {ui->propertyTextLabelTitle, ui->propertyTextLabelCategory,
                                     ui->propertyTextLabelPlace, ui->propertyTextLabelComment,
                                     static_cast<propertyTextLabel *>(ui->propertyTextLabelFile)})
        connect(field, &propertyTextLabel::SaveNewProperty, this, &AmbrioMainWindow::SaveNewProperty);
    connect(ui->propertyTextLabelSubject, &propertyTextLabelDate::pressEventDate, this,
            &AmbrioMainWindow::showSubjectDialog);
    connect(ui->propertyTextLabelFile, &propertyTextLabelFilename::pressEventFilename, this,
            &AmbrioMainWindow::slot_renameItem);
    connect(ui->propertyTextLabelFrom, &propertyTextLabelFilename::pressEventFilename, this,
            &AmbrioMainWindow::ChangeFromDir);
    connect(ui->propertyTextLabelDateobj, &propertyTextLabelDate::pressEventDate, this,
            &AmbrioMainWindow::showDatePlModif);
    connect(ui->propertyTextLabelTitlePl, &propertyTextLabel::SaveNewProperty, this,
            &AmbrioMainWindow::SavePlaylistProperty);
    connect(ui->propertyTextLabelDirectoryPl, &propertyTextLabel::SaveNewProperty, this,
            &AmbrioMainWindow::SavePlaylistProperty);
    connect(ui->itemDate, &QToolButton::clicked, this, &AmbrioMainWindow::showDateModif);
    connect(ui->itemUserBadge, &QToolButton::clicked, this, &AmbrioMainWindow::showUserBadge);
    // A click on the hearts has already changed them: their value is what is stored.
    connect(ui->favoriteswid, &FavoritesWidget::favPlus, this, [this] { m_pictures->heartsChanged(); });
    connect(ui->favoriteswid, &FavoritesWidget::favMoins, this, [this] { m_pictures->heartsChanged(); });
    connect(ui->favoriteswid, &FavoritesWidget::changed, this, &AmbrioMainWindow::SaveNewProperty);
    connect(ui->pushButtonFavPlus, &QToolButton::clicked, this, &AmbrioMainWindow::FavPlus);
    connect(ui->pushButtonFavMoins, &QToolButton::clicked, this, &AmbrioMainWindow::FavMoins);

    connect(ui->remove_roll, &QPushButton::clicked, this, &AmbrioMainWindow::RemoveRollLibrary);
    connect(ui->viewBy, &QToolButton::clicked, this, &AmbrioMainWindow::setViewBy);
    connect(ui->pushButtonAdd, &QPushButton::clicked, this, &AmbrioMainWindow::slot_addItem);
    connect(ui->toolButtonFav, &QToolButton::clicked, this, &AmbrioMainWindow::slot_to_favorites);
    connect(ui->toolButtonCopyPaste, &QToolButton::clicked, this, &AmbrioMainWindow::slot_copyItem);
    connect(ui->toolButtonPaste, &QToolButton::clicked, this, &AmbrioMainWindow::slot_pasteItem);

    connect(ui->bring_info, &QPushButton::clicked, this, &AmbrioMainWindow::showinfo);
    connect(ui->bring_edit, &QPushButton::clicked, this, &AmbrioMainWindow::showTools);
    connect(ui->bring_export, &QPushButton::clicked, this, &AmbrioMainWindow::showExport);
    connect(ui->bring_import, &QPushButton::clicked, this, &AmbrioMainWindow::showImport);

    for (QPushButton *slideshow : {ui->pushButtonSlideshowAlbum, ui->pushButtonSlideshowFavorites,
                                   ui->pushButtonSlideshowStats, ui->pushButtonSlideshowSearch,
                                   ui->pushButtonSlideshowAll, ui->pushButtonShareSlideshow,
                                   ui->pushButtonPhotoSlideshow, ui->pushButtonSlideshowBrowse})
        connect(slideshow, &QPushButton::clicked, this, &AmbrioMainWindow::viewSlideShow);
    for (QPushButton *print : {ui->pushButtonSharePrint, ui->pushButtonPhotoPrint})
        connect(print, &QPushButton::clicked, this, &AmbrioMainWindow::slot_printPhoto);
    for (QPushButton *mail : {ui->pushButtonShareMail, ui->pushButtonPhotoMail})
        connect(mail, &QPushButton::clicked, this, &AmbrioMainWindow::slot_sendItem);
    for (QPushButton *saveAs : {ui->pushButtonShareSaveAs, ui->pushButtonPhotoSaveAs})
        connect(saveAs, &QPushButton::clicked, this, &AmbrioMainWindow::slot_convertPhoto);
    for (QPushButton *external : {ui->pushButtonExternalEditor, ui->pushButtonExternalEdit})
        connect(external, &QPushButton::clicked, this, &AmbrioMainWindow::ViewExternal);
    connect(ui->pushButtonExternalPrint, &QPushButton::clicked, this, &AmbrioMainWindow::slot_printPhotoExternal);
    // The edit panel's picture commands go to the viewer.
    connect(ui->pushButtonEnhance, &QPushButton::clicked, m_viewer, &viewphoto::EffectMiror);
    connect(ui->pushButtonBlackWhite, &QPushButton::clicked, m_viewer, &viewphoto::EffectBlackAndWhite);
    connect(ui->pushButtonSaveChanges, &QPushButton::clicked, m_viewer, &viewphoto::EffectUndo);
    connect(ui->pushButtonResize, &QPushButton::clicked, m_viewer, &viewphoto::EffectResize);
    connect(ui->pushButtonRotateRight, &QPushButton::clicked, m_viewer, &viewphoto::EffectRotateClockWise);
    connect(ui->pushButtonRotateLeft, &QPushButton::clicked, m_viewer, &viewphoto::EffectRotateCounter);
    connect(m_viewer, &viewphoto::updateRotatePreview, this, &AmbrioMainWindow::slot_updateRotatePreviewTemp);
    connect(m_viewer, &viewphoto::updateThumb, this, &AmbrioMainWindow::slot_updateThumb);
    connect(m_viewer, &viewphoto::needPicture, this, &AmbrioMainWindow::viewImage);
    connect(m_viewer, &viewphoto::back, this, &AmbrioMainWindow::slot_backtoOrganizer);
    connect(m_viewer, &viewphoto::previous, this, &AmbrioMainWindow::slot_previousItem);
    connect(m_viewer, &viewphoto::next, this, &AmbrioMainWindow::slot_nextItem);
    connect(m_viewer, &viewphoto::first, this, &AmbrioMainWindow::slot_firstItem);
    connect(m_viewer, &viewphoto::last, this, &AmbrioMainWindow::slot_lastItem);
    connect(this, &AmbrioMainWindow::updateRotatePreview, this, &AmbrioMainWindow::slot_updateRotatePreview);
    connect(this, &AmbrioMainWindow::updateProperty, this, &AmbrioMainWindow::setCurrentItemProperty);
    connect(this, &AmbrioMainWindow::insertItem, this, &AmbrioMainWindow::slot_insertItem);

    trayBarPhoto *tray = ui->trayBar;
    connect(ui->pushButtonHold, &QPushButton::clicked, tray, &trayBarPhoto::hold);
    connect(ui->pushButtonNewPl, &QPushButton::clicked, tray, &trayBarPhoto::newPlaylist);
    connect(ui->pushButtonClear, &QPushButton::clicked, tray, &trayBarPhoto::clear);
    connect(tray, &trayBarPhoto::AsknewPlayList, this, &AmbrioMainWindow::AddPlaylist);
    connect(tray, &trayBarPhoto::insertPhotoToPl, this, &AmbrioMainWindow::AddPhotoListToPlaylist);
    connect(tray, &trayBarPhoto::multiSelection, this, &AmbrioMainWindow::ToMultiSelection);
    connect(tray, &trayBarPhoto::cleared, m_pictures, &PictureCommands::releaseTrayRecords);

    connect(ui->pushButtonImportDynamic, &QPushButton::clicked, this, &AmbrioMainWindow::AddDirectoryPlaylist);
    connect(ui->pushButtonSelectDevice, &QPushButton::clicked, this, &AmbrioMainWindow::selectTwain);
    connect(ui->pushButtonFromDevices, &QPushButton::clicked, this, &AmbrioMainWindow::ImportTwain);
    connect(ui->pushButtonPasteToAlbum, &QPushButton::clicked, this, &AmbrioMainWindow::ImportCopyToCurrent);

    // Buttons of features not built yet are not shown (a button must lead somewhere).
    ui->toolButtonCopyPaste->setIcon(QIcon(kivPixmap(QStringLiteral("copy.png"))));
    ui->toolButtonPaste->setIcon(QIcon(kivPixmap(QStringLiteral("paste.png"))));
    ui->toolButtonFav->setIcon(QIcon(kivPixmap(QStringLiteral("favorites-large.png"))));
    ui->add_roll->setIcon(QIcon(kivPixmap(QStringLiteral("rool_add.png"))));
    ui->remove_roll->setIcon(QIcon(kivPixmap(QStringLiteral("rool_remove.png"))));
    ui->viewBy->setIcon(QIcon(kivPixmap(QStringLiteral("view-method.png"))));
}

void AmbrioMainWindow::stageClip()
{
    ui->ListRoll->setPref(m_pref);
    ui->ListRoll->setUp(m_pref && m_pref->miniIcon());
    m_photoView->setPreferences(m_pref);
    if (m_pref)
        m_photoView->loadFrameFromPreferences();
    // An image copied in another program is offered to the paste button.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &AmbrioMainWindow::ClipBoardChanged);
    connect(this, &AmbrioMainWindow::pauseTitle, m_title, &Hello::pauseTitle);
    connect(this, &AmbrioMainWindow::runTitle, m_title, &Hello::runTitle);
    connect(m_title, &Hello::clicked, this, &AmbrioMainWindow::SavePlaylistProperty);
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
    m_title->setText(QStringLiteral("Vellaro"));
    m_panel->setUp();
}

void AmbrioMainWindow::stageUi()
{
    if (!m_pref)
        return;
    // Hold the catalogue for this run: the command-line tool then refuses to write
    // while the window has the catalogue open. A tool caught in the middle of a write
    // is waited for; a catalogue that stays busy, or cannot be locked, is opened
    // read-only, every write refused, rather than changed by two programs at once.
    m_lock = std::make_unique<CatalogueLock>(m_pref->catalogueRoot());
    CatalogueLock::Result locked = m_lock->lock(0);
    if (locked == CatalogueLock::Result::Busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        locked = m_lock->lock(CatalogueLock::writerWaitMs(), [] {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
        QGuiApplication::restoreOverrideCursor();
    }
    QString unfinished;
    if (locked == CatalogueLock::Result::Locked) {
        CatalogueFile::setReadOnly(false);
        // A change of many files cut short among its renames is finished before anything
        // is read: each of its files then holds the new version.
        // Thousands of files take minutes on a slow disk: past half a second a window
        // says what the start is waiting for, and how far it is (never told the whole:
        // it stays up until it goes).
        std::unique_ptr<QProgressDialog> finishing;
        QElapsedTimer waited;
        waited.start();
        auto tell = [&finishing, &waited](qsizetype done, qsizetype total) {
            if (!finishing && waited.elapsed() < FinishProgressDelay)
                return;
            if (!finishing) {
                finishing = std::make_unique<QProgressDialog>(
                    QStringLiteral("Finishing the change of %L1 files that was cut short when Vellaro was "
                                   "last stopped...")
                        .arg(total),
                    QString(), 0, int(total));
                finishing->setObjectName(QStringLiteral("finish progress"));
                finishing->setWindowTitle(QStringLiteral("Vellaro"));
                finishing->setMinimumDuration(0);
                finishing->show();
            }
            finishing->setValue(int(done));
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        };
        if (CatalogueFile::finishInterruptedBatch(m_pref->catalogueRoot(), tell) < 0)
            unfinished = QStringLiteral("The last change of several pictures was cut short (the program was stopped "
                                        "while writing it) and could not be finished: %1. Some of its pictures "
                                        "show the change, the others do not; nothing else is lost.")
                             .arg(CatalogueFile::lastWriteError());
        // The walk over every album's folder competes with loading the albums: it begins
        // once the window shows. What it finds of a change that was never kept is told.
        CatalogueFile::startSweepUnfinished(m_pref->catalogueRoot(), true, [this](int changeFiles) {
            if (changeFiles > 0)
                QMetaObject::invokeMethod(
                    this, [this, changeFiles] { tellWhenFree([this, changeFiles] { tellChangeNotKept(changeFiles); }); },
                    Qt::QueuedConnection);
        });
    } else {
        const bool busy = locked == CatalogueLock::Result::Busy;
        CatalogueFile::setReadOnly(
            true, busy ? QStringLiteral("The catalogue is open read-only: another program was using it when "
                                        "Vellaro started.")
                       : QStringLiteral("The catalogue is open read-only: it cannot be locked.\n")
                             + m_lock->errorString());
        if (m_prompter) {
            const QString what = busy ? QStringLiteral("The catalogue is in use by another program (another "
                                                       "Vellaro, or vellaro-cli changing it).")
                                      : QStringLiteral("The catalogue cannot be locked.\n") + m_lock->errorString();
            const QString then = busy ? QStringLiteral(" Close the other program and start Vellaro again to "
                                                       "make changes.")
                                      : QString();
            m_prompter->warning(this, what + QStringLiteral("\n\nVellaro opens it read-only: no change will be "
                                                            "saved.") + then);
        }
    }
    m_context = CatalogueContext::forInstallation(m_pref->installPath());
    m_context.albumIconType = m_pref->albumIconType();
    m_context.kindsAtLoad = true;
    m_context.readTagsOnAdd = m_pref->readMetadata();
    m_context.library = &m_library;
    m_library.setRoot(m_context.root);
    ui->ListRoll->setContext(&m_context);
    m_library.load();
    std::fputs("loading Database******************************************************\n", stdout);
    std::fflush(stdout);
    QStringList problems;
    if (!unfinished.isEmpty())
        problems << unfinished;
    // Larger album files give their headers now and their rows once the window shows.
    m_lateRows = new CatalogueLoader::LateRows(this);
    CatalogueLoader::load(ui->ListRoll, m_library, m_context, QStringLiteral("media"), m_prompter, &problems,
                          m_lateRows);
    // A picture rename cut short is finished before anything else is changed.
    if (!CatalogueFile::isReadOnly() && !m_library.isDamaged()) {
        QString why;
        if (!PictureRename::finishInterrupted(m_context.root, CatalogueLoader::storedAlbums(ui->ListRoll), &m_library,
                                              &why))
            problems << QStringLiteral("A picture rename cut short could not be finished: ") + why;
    }
    // What could not be read is said once, at start; those files are left as they are.
    if (m_library.isDamaged())
        problems.prepend(m_library.damage()
                         + QStringLiteral("\nThe albums that could be read are shown; no change is saved until the "
                                          "library index is repaired."));
    tellLoadProblems(problems);
    // Tags a crash or a close left unwritten go into their pictures now.
    m_metadata = new MetadataWriter(m_context.root, this);
    connect(m_metadata, &MetadataWriter::failed, this, [this](const QList<MetadataQueue::Failure> &failures) {
        tellWhenFree([this, failures] { tellMetadataFailures(failures); });
    });
    if (!CatalogueFile::isReadOnly())
        m_metadata->start();
    if (!m_lateRows->pending()) {
        startDailyBackup(problems.isEmpty());
        return;
    }
    // The rest of the larger files is read once the list has been painted (or a while
    // after, should it not be); what they hold wrong is said then.
    auto startLate = [this, clean = problems.isEmpty()] {
        if (m_lateRowsStarted)
            return;
        m_lateRowsStarted = true;
        m_lateRows->start(ui->ListRoll, [this, clean](const QStringList &late) {
            tellWhenFree([this, late] { tellLoadProblems(late); });
            startDailyBackup(clean && late.isEmpty());
        });
    };
    connect(ui->ListRoll, &libraryList::firstPainted, this, startLate);
    QTimer::singleShot(1000, this, startLate);
}

void AmbrioMainWindow::tellLoadProblems(QStringList problems)
{
    // A few are told one by one; thousands would make a message taller than the screen,
    // its button out of reach.
    constexpr int Told = 8;
    if (problems.size() > Told + 1) {
        const qsizetype more = problems.size() - Told;
        problems.erase(problems.begin() + Told, problems.end());
        problems << QStringLiteral("... and %1 more problems like these (vellaro-cli check lists them all).").arg(more);
    }
    if (!problems.isEmpty() && m_prompter)
        m_prompter->warning(this, problems.join(QStringLiteral("\n\n"))
                                      + QStringLiteral("\n\nTo mend the catalogue, close Vellaro and run:\n"
                                                       "vellaro-cli check --repair"));
}

void AmbrioMainWindow::startDailyBackup(bool loadedCleanly)
{
    // A catalogue that loaded cleanly is kept once a day, in the background.
    const QString install = m_pref->installPath();
    if (loadedCleanly && !CatalogueFile::isReadOnly() && CatalogueBackup::isDue(install)) {
        m_backupStarted = true;
        m_backup = QtConcurrent::run([install, cancel = &m_backupCancel] {
            return CatalogueBackup::write(install, QString(), cancel).error;
        });
        auto *watcher = new QFutureWatcher<QString>(this);
        connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher] {
            watcher->deleteLater();
            const QString error = m_backup.result();
            if (!error.isEmpty() && !m_backupCancel && m_prompter)
                tellWhenFree([this, error] {
                    m_prompter->warning(this, QStringLiteral("The daily backup of the catalogue failed:\n") + error);
                });
        });
        watcher->setFuture(m_backup);
    }
}

void AmbrioMainWindow::finishStartup()
{
    if (!NameList::load(NameList::subjectsPath(m_context.root), m_subjects) && m_subjects.isEmpty())
        m_subjects = QStringList{QStringLiteral("Undefined")};
    NameList::load(NameList::hiddenDirsPath(m_context.root), m_hiddenDirs);
    // Scans the last run did not copy to an album wait in the bar: nothing scanned is
    // thrown away unasked.
    loadImportBar();
    ui->ListRoll->addComputedAlbums(m_subjects);
    setViewByYear();
    m_menus.viewByItems.value(ui->ListRoll->largeIcons() ? 1 : 0)->setChecked(true);
    m_splash->hide();
    m_presentation = new splashin(this);
    fitStartupPanel();
    m_presentation->show();
    m_presentation->raise();
    m_multiSelection = false;
    shownoitem();
    updateEnabledCommands();
    // The window shows next: the put-off sweep begins a moment after.
    QTimer::singleShot(300, this, [] { CatalogueFile::startPutOffSweep(); });
}

void AmbrioMainWindow::tellWhenFree(const std::function<void()> &tell)
{
    // A message that comes of work beside the window waits while a modal window is up:
    // opened from within the progress of a change, it would hold the change until it
    // was answered, the progress hidden behind it.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(TellRetryMs, this, [this, tell] { tellWhenFree(tell); });
        return;
    }
    tell();
}

void AmbrioMainWindow::tellChangeNotKept(int files)
{
    if (m_prompter)
        m_prompter->information(
            this, QStringLiteral("Vellaro was stopped while it was saving a change, the last time it ran: that "
                                 "change was not kept, and its pictures and albums are as they were before it "
                                 "(%1 of it %2 been removed).")
                      .arg(files == 1 ? QStringLiteral("1 unused file") : QStringLiteral("%L1 unused files").arg(files),
                           files == 1 ? QStringLiteral("has") : QStringLiteral("have")));
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
    // Kept at once: a run that ends without closing (a crash, a kill) asks nothing twice.
    m_pref->writeSettings(*SettingsStore::open());
}

void AmbrioMainWindow::fitStartupPanel()
{
    if (m_viewer && m_viewer->isVisible())
        m_viewer->setGeometry(ui->ThumbsBay->geometry().translated(ui->ThumbsBay->parentWidget()->mapTo(
            this, QPoint(0, 0))));
    if (m_presentation)
        m_presentation->setGeometry(ui->ThumbsBay->geometry().translated(ui->ThumbsBay->parentWidget()->mapTo(
            this, QPoint(0, 0))));
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
    if (watched == m_photoView && m_statsView && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        m_statsView->setGeometry(m_photoView->geometry());
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
    // The picture being written is finished; the rest stays noted for the next start,
    // before the lock lets another writer in.
    if (m_metadata)
        m_metadata->stop();
    if (m_lock)
        m_lock->unlock();
    if (m_locatorStarted) {
        // A search under way ends at its next check, a folder or a picture header away.
        if (m_locator) {
            m_locator->stop();
            m_locator->wait();
        }
    } else {
        std::fputs("thread zero\n", stdout);
        std::fflush(stdout);
    }
}

// ---------------------------------------------------------------- tool case

void AmbrioMainWindow::raiseTab(QObject *tab)
{
    for (QPushButton *other : {ui->bring_import, ui->bring_info, ui->bring_edit, ui->bring_export})
        other->setChecked(other == tab);
}

bool AmbrioMainWindow::needAlbum(QObject *tab)
{
    if (m_currentAlbum)
        return true;
    m_prompter->information(this, QStringLiteral("You need to select an album before click here.\n"));
    static_cast<QPushButton *>(tab)->setChecked(false);
    return false;
}

void AmbrioMainWindow::showinfo()
{
    if (!needAlbum(ui->bring_info))
        return;
    raiseTab(ui->bring_info);
    if (m_viewer->isVisible()) {
        slot_backtoOrganizer();
        return;
    }
    if (m_currentItem) {
        ui->WidgetStack->setCurrentIndex(0);
        return;
    }
    int page = 5;
    if (auto *smart = dynamic_cast<SmartPlaylist *>(m_currentAlbum)) {
        const QString kind = smart->kind();
        if (kind == QLatin1String("Stats"))
            page = 7;
        else if (kind == QLatin1String("Favorites"))
            page = 6;
        else if (kind == QLatin1String("Search"))
            page = 8;
        else if (kind == QLatin1String("AllPhoto"))
            page = 9;
        else if (kind == QLatin1String("ByCategory") || kind == QLatin1String("CategoryPl")
                 || kind == QLatin1String("BySubject"))
            page = 12;
    }
    ui->WidgetStack->setCurrentIndex(page);
}

void AmbrioMainWindow::showTools()
{
    if (!needAlbum(ui->bring_edit))
        return;
    raiseTab(ui->bring_edit);
    if (m_currentItem) {
        ui->WidgetStack->setCurrentIndex(1);
        // An open viewer keeps its picture and its unsaved effects.
        if (m_viewer->isHidden())
            viewImage();
    }
}

void AmbrioMainWindow::showExport()
{
    if (!needAlbum(ui->bring_export))
        return;
    raiseTab(ui->bring_export);
    if (m_selectionCount() >= 2)
        ui->WidgetStack->setCurrentIndex(10);
    else
        ui->WidgetStack->setCurrentIndex(m_currentItem ? 11 : 10);
    updateMultiplePhotoPanel();
}

void AmbrioMainWindow::showImport()
{
    if (m_viewer->isVisible())
        leaveViewer();
    raiseTab(ui->bring_import);
    ui->WidgetStack->setCurrentIndex(13);
}

void AmbrioMainWindow::shownoitem()
{
    m_currentItem = nullptr;
    m_currentAlbum = nullptr;
    raiseTab(nullptr);
    ui->WidgetStack->setCurrentIndex(2);
}

void AmbrioMainWindow::showUpdateToolBay()
{
    if (ui->bring_export->isChecked())
        showExport();
    else if (ui->bring_import->isChecked())
        showImport();
    else
        showinfo();
}

void AmbrioMainWindow::leaveViewer()
{
    m_viewer->closeWithPrompt();
    m_actionFrame->hide();
    m_title->show();
    m_photoView->show();
}

void AmbrioMainWindow::slot_backtoOrganizer()
{
    leaveViewer();
    m_modification = QStringLiteral("MODIF");
    // A save changed the picture's file: its size, format and date are shown anew.
    if (m_currentItem)
        setCurrentItemProperty(m_currentItem);
    updateMultiplePhotoPanel();
    showAlbumTitle();
    showinfo();
}

void AmbrioMainWindow::slot_photo_pressed(KivViewItem *item)
{
    if (item && item->fileType() != QLatin1String("Photo")) {
        // A file that is no picture cannot be tagged; the panel must not go on showing
        // (and writing into) the picture chosen before it.
        m_currentItem = nullptr;
        showUpdateToolBay();
        updateEnabledCommands();
        return;
    }
    if (!item) {
        // A plain click beside the pictures chooses none: the panel shows the album
        // again, so nothing typed or pressed reaches a picture no longer marked.
        if (!m_photoView->ctrlHeld() && m_currentItem) {
            m_currentItem = nullptr;
            showUpdateToolBay();
            updateMultiplePhotoPanel();
            updateEnabledCommands();
        }
        return;
    }
    ui->trayBar->add(item, m_photoView->ctrlHeld());
    m_currentItem = item;
    Q_EMIT updateProperty(item);
    showUpdateToolBay();
    updateMultiplePhotoPanel();
    updateEnabledCommands();
    Q_EMIT runTitle();
}

void AmbrioMainWindow::slot_photo_dblclick(KivViewItem *item)
{
    if (!item)
        return;
    if (item->fileType() == QLatin1String("Photo"))
        viewImage();
    else if (item->fileType() == QLatin1String("Music"))
        listenMusic();
}

void AmbrioMainWindow::slot_photo_rightclick(KivViewItem *item, const QPoint &globalPos)
{
    if (item)
        m_menus.icons->popup(globalPos);
}

void AmbrioMainWindow::contextmenuLibrary(QTreeWidgetItem *item, const QPoint &globalPos, int)
{
    if (!item || libraryList::isSmartEntry(item) || libraryList::isYearRow(item))
        return;
    // The menu's commands act on the album right-clicked, which need not be the one open.
    m_menuAlbum = dynamic_cast<PlayList *>(item);
    m_menus.album->popup(globalPos);
}

PlayList *AmbrioMainWindow::commandAlbum()
{
    // Taken once: a command reached later from a button acts on the open album again.
    PlayList *album = m_menuAlbum ? m_menuAlbum : m_currentAlbum;
    m_menuAlbum = nullptr;
    return album;
}

bool AmbrioMainWindow::isStoredAlbum(const PlayList *album)
{
    return album && !album->isSmart() && !album->isHeldInMemory() && !libraryList::isYearRow(album);
}

// Reached by no control.
void AmbrioMainWindow::load_pictureViewer() {}
void AmbrioMainWindow::load_musicViewer() {}
void AmbrioMainWindow::load_ThumbsViewer() {}
void AmbrioMainWindow::listenMusic() {}
void AmbrioMainWindow::slot_moreTools() {}
void AmbrioMainWindow::updateRollView() {}
void AmbrioMainWindow::slot_copyToPlaylist() {}

void AmbrioMainWindow::slot_photo_type()
{
    m_currentMediaKind = QStringLiteral("Photo");
}

void AmbrioMainWindow::slot_music_type()
{
    m_currentMediaKind = QStringLiteral("Music");
}

void AmbrioMainWindow::slot_media_type()
{
    m_currentMediaKind = QStringLiteral("media");
}

void AmbrioMainWindow::ToMultiSelection()
{
    m_multiSelection = true;
    updateMultiplePhotoPanel();
}

void AmbrioMainWindow::selectAllPictures()
{
    trayBarPhoto *tray = ui->trayBar;
    tray->clear();
    QList<KivViewItem *> pictures;
    for (KivViewItem *item : m_photoView->items()) {
        if (item->fileType() == QLatin1String("Photo"))
            pictures.append(item);  // only pictures take tags
    }
    tray->addAll(pictures);
    if (pictures.isEmpty())
        return;
    if (!m_currentItem || !m_photoView->items().contains(m_currentItem))
        m_currentItem = pictures.first();
    m_multiSelection = true;
    Q_EMIT updateProperty(m_currentItem);
    showUpdateToolBay();
    updateMultiplePhotoPanel();
    updateEnabledCommands();
}

void AmbrioMainWindow::ToSingleSelection()
{
    m_multiSelection = false;
    updateMultiplePhotoPanel();
}

void AmbrioMainWindow::slot_setProgress(int value)
{
    Q_EMIT Addprogress(value);
}

void AmbrioMainWindow::updateEnabledCommands()
{
    QWidget *copy = ui->toolButtonCopyPaste, *fav = ui->toolButtonFav, *paste = ui->toolButtonPaste;
    QWidget *add = ui->pushButtonAdd, *actions = ui->pushButtonActions;
    // Pictures opened from outside the catalogue are shown as a query's are: nothing
    // is added to, removed from or reordered in what is only held in memory.
    const bool smart = m_currentAlbum && (m_currentAlbum->isSmart() || m_currentAlbum->isHeldInMemory());
    if (m_presentation && m_presentation->isVisibleTo(this)) {
        for (QWidget *w : {copy, fav, paste, add, actions, static_cast<QWidget *>(ui->remove_roll)})
            w->setEnabled(false);
    } else if (m_currentItem) {
        copy->setEnabled(true);
        fav->setEnabled(true);
        paste->setEnabled(!smart);
        for (int id : {4, 5, 6, 10, 11})
            m_menus.iconItems.value(id)->setEnabled(!smart);
    } else if (m_currentAlbum) {
        copy->setEnabled(false);
        fav->setEnabled(false);
        for (QWidget *w : {paste, add, actions})
            w->setEnabled(!smart);
    }
    if (!(m_presentation && m_presentation->isVisibleTo(this)))
        ui->remove_roll->setEnabled(isStoredAlbum(m_currentAlbum));
}

void AmbrioMainWindow::updateMultiplePhotoPanel()
{
    const bool multiple = m_selectionCount() >= 2;
    ui->textLabelShareHeading->setText(multiple ? QStringLiteral("Multiple Photos")
                                                : QStringLiteral("Photo Informations"));
    const char *const single[] = {"slideshow.png", "composemail.png", "printer.png", "saveas.png"};
    const char *const many[] = {"slideshowpl.png", "composemailpl.png", "printerpl.png", "saveaspl.png"};
    const QList<QPushButton *> buttons{ui->pushButtonShareSlideshow, ui->pushButtonShareMail,
                                       ui->pushButtonSharePrint, ui->pushButtonShareSaveAs};
    for (int i = 0; i < buttons.size(); ++i)
        buttons.at(i)->setIcon(QIcon(kivPixmap(QLatin1String(multiple ? many[i] : single[i]))));
    QString type = QStringLiteral("No Album");
    if (m_currentAlbum) {
        if (m_currentAlbum->isSmart())
            type = QStringLiteral("Smart Album");
        else if (m_currentAlbum->isHeldInMemory())
            type = QStringLiteral("Not in an album");
        else if (m_currentAlbum->className() == QLatin1String("DirectoryPlaylist"))
            type = QStringLiteral("Dynamic Album");
        else
            type = QStringLiteral("Album");
    }
    ui->textLabelAlbumType->setText(type);
}

void AmbrioMainWindow::showAlbumTitle()
{
    if (!m_currentAlbum)
        return;
    Q_EMIT pauseTitle();
    m_title->setText(m_currentAlbum->text(1));
    m_title->setLocked(m_currentAlbum->isSmart() || m_currentAlbum->isHeldInMemory());
    Q_EMIT runTitle();
}

// ---------------------------------------------------------------- album list

void AmbrioMainWindow::slot_roll_pressed(QTreeWidgetItem *item)
{
    auto *album = dynamic_cast<PlayList *>(item);
    if (!album) {
        m_pictures->closeAlbum();
        fitStartupPanel();
        if (m_presentation) {
            m_presentation->show();
            m_presentation->raise();
        }
        shownoitem();
        updateEnabledCommands();
        return;
    }
    if (libraryList::isYearRow(album))
        return;
    if (m_statsView)
        m_statsView->hide();
    // The picture of the album left is not left standing over the new one.
    if (m_viewer->isVisible())
        leaveViewer();
    if (m_presentation)
        m_presentation->hide();
    m_pictures->closeAlbum();
    m_currentAlbum = album;
    m_currentItem = nullptr;
    m_currentAlbumKind = album->className();
    m_panel->fillAlbum(album);
    showUpdateToolBay();
    updateEnabledCommands();
    updateMultiplePhotoPanel();
    showAlbumTitle();
    if (auto *smart = dynamic_cast<SmartPlaylist *>(album); smart && smart->kind() == QLatin1String("ByCategory")) {
        album->setExpanded(!album->isExpanded());
        return;
    }
    if (album->isSmart()) {
        // A smart album reads every album: a broken one blocks them all.
        m_pictures->openAlbum(album);
        if (auto *smart = dynamic_cast<SmartPlaylist *>(album); smart && smart->kind() == QLatin1String("Stats"))
            showStatistics(album);
        return;
    }
    if (!CatalogueLoader::refuseInvalidAlbum(album, *m_prompter, this))
        m_pictures->openAlbum(album);
}

void AmbrioMainWindow::showStatistics(PlayList *album)
{
    // The podium, laid over the thumbnail view at its size while the statistics album
    // is shown; made the first time it is.
    if (!m_statsView)
        m_statsView = new StatsView(ui->ThumbsBay);
    m_statsView->setCatalogueFolder(catalogue().folder);
    m_statsView->setAlbum(album);
    m_statsView->setGeometry(m_photoView->geometry());
    m_statsView->show();
    m_statsView->raise();
}

void AmbrioMainWindow::slot_selectLibrary(QTreeWidgetItem *item)
{
    ui->ListRoll->setFocus();
    ui->ListRoll->setCurrentItem(item);
    if (item)
        item->setSelected(true);
    Q_EMIT ui->ListRoll->librarySelected(item);
}

void AmbrioMainWindow::LibraryMoveUp()
{
    PlayList *album = commandAlbum();
    if (isStoredAlbum(album) && ui->ListRoll->moveUp(album)) {
        m_library.moveUp(album);
        storeAlbum(nullptr);
    }
}

void AmbrioMainWindow::LibraryMovedown()
{
    PlayList *album = commandAlbum();
    if (isStoredAlbum(album) && ui->ListRoll->moveDown(album)) {
        m_library.moveDown(album);
        storeAlbum(nullptr);
    }
}

void AmbrioMainWindow::LibraryRename()
{
    if (!isStoredAlbum(m_currentAlbum))
        return;
    ui->ListRoll->editItem(m_currentAlbum, 1);
}

void AmbrioMainWindow::modifyTitle()
{
    LibraryRename();
}

void AmbrioMainWindow::setViewByYear()
{
    ui->ListRoll->applyYearView();
    m_menus.showMoveItems(false);
    m_menus.viewByItems.value(2)->setChecked(true);
    m_menus.viewByItems.value(3)->setChecked(false);
}

void AmbrioMainWindow::setViewByYear(bool on)
{
    if (on)
        setViewByYear();
}

void AmbrioMainWindow::setViewByManuel()
{
    ui->ListRoll->applyOwnOrder(m_library);
    m_menus.showMoveItems(true);
    m_menus.viewByItems.value(3)->setChecked(true);
    m_menus.viewByItems.value(2)->setChecked(false);
}

void AmbrioMainWindow::setViewByManuel(bool on)
{
    if (on)
        setViewByManuel();
}

void AmbrioMainWindow::setViewBy()
{
    if (ui->ListRoll->isYearView())
        setViewByManuel();
    else
        setViewByYear();
}

void AmbrioMainWindow::setViewBy16x()
{
    ui->ListRoll->setLargeIcons(false);
    if (m_pref)
        m_pref->setMiniIcon(true);
    m_menus.viewByItems.value(0)->setChecked(true);
    m_menus.viewByItems.value(1)->setChecked(false);
}

void AmbrioMainWindow::setViewBy32x()
{
    ui->ListRoll->setLargeIcons(true);
    if (m_pref)
        m_pref->setMiniIcon(false);
    m_menus.viewByItems.value(1)->setChecked(true);
    m_menus.viewByItems.value(0)->setChecked(false);
}

void AmbrioMainWindow::setPixmapPlaylist(PlayList *album)
{
    ui->ListRoll->setPixmapPlaylist(album);
}

void AmbrioMainWindow::applyPreferences(const prefImplementation::DialogChanges &changes)
{
    if (!m_pref)
        return;
    if (changes.albumIcons) {
        m_context.albumIconType = m_pref->albumIconType();
        UpdatePlaylistImage();
    }
    m_context.readTagsOnAdd = m_pref->readMetadata();
    if (changes.frame)
        m_photoView->setFrame(m_pref->frame());
    if (changes.thumbnails)
        UpdateThumbsView();
}

void AmbrioMainWindow::rememberPersons(const QStringList &names)
{
    QStringList added;
    for (const QString &name : names) {
        if (!name.trimmed().isEmpty() && !m_subjects.contains(name.trimmed()) && !added.contains(name.trimmed()))
            added << name.trimmed();
    }
    if (added.isEmpty() || CatalogueFile::isReadOnly())
        return;
    m_subjects << added;
    if (!NameList::save(NameList::subjectsPath(m_context.root), m_subjects)) {
        reportSaveError(CatalogueSave::message(QStringLiteral("The list of persons %1 could not be written.")
                                                   .arg(NameList::subjectsPath(m_context.root))));
    }
    ui->ListRoll->rebuildSubjects(m_subjects);
}

void AmbrioMainWindow::tagsChanged(const KivViewItem &record)
{
    if (!m_metadata || !m_pref || !m_pref->writeMetadata())
        return;
    m_metadata->enqueue(record, m_pref->embedMetadata() ? TagMetadata::Target::Embedded : TagMetadata::Target::Sidecar);
}

void AmbrioMainWindow::tellMetadataFailures(const QList<MetadataQueue::Failure> &failures)
{
    if (!m_prompter || failures.isEmpty())
        return;
    QStringList lines;
    for (const MetadataQueue::Failure &failure : failures.mid(0, 10))
        lines << failure.reason;
    if (failures.size() > 10)
        lines << QStringLiteral("... and %1 more").arg(failures.size() - 10);
    m_prompter->warning(this, QStringLiteral("The tags of %1 picture(s) could not be written into their metadata:\n\n")
                                  .arg(failures.size())
                              + lines.join(QLatin1Char('\n'))
                              + QStringLiteral("\n\nThe tags are kept in the catalogue. Vellaro tries again at its "
                                               "next start."));
}

void AmbrioMainWindow::UpdatePlaylistImage()
{
    if (m_pref && m_pref->albumViewBy() == QLatin1String("Manual"))
        setViewByManuel();
    else
        setViewByYear();
}

// ---------------------------------------------------------------- album commands

void AmbrioMainWindow::AddPlaylist()
{
    m_commands->newAlbum();
}

void AmbrioMainWindow::AddDirectoryPlaylist()
{
    m_commands->newDynamicAlbum();
}

void AmbrioMainWindow::AddGroup()
{
    m_commands->newGroup();
}

void AmbrioMainWindow::RemoveRollLibrary()
{
    m_commands->removeAlbum(commandAlbum());
}

void AmbrioMainWindow::RemoveRollLibraryDuringstartup()
{
    m_commands->removeAlbumFiles(m_currentAlbum);
}

void AmbrioMainWindow::slot_clearPlaylist()
{
    m_commands->clearAlbum(commandAlbum());
}

void AmbrioMainWindow::updateRollLibrary()
{
    m_commands->refreshAlbum(commandAlbum());
}

void AmbrioMainWindow::ChangeFromDir()
{
    m_commands->changeFolder();
}

void AmbrioMainWindow::addAlbumHelpPannel()
{
    m_commands->showHelp();
}

void AmbrioMainWindow::slot_locateOnDisk()
{
    m_commands->locateOnDisk();
}

void AmbrioMainWindow::SavePlaylistProperty()
{
    QLineEdit *editor = m_title->editor();
    QString title = m_panel->editedAlbumTitle();
    if (title.isEmpty() && editor->isModified())
        title = editor->text();
    editor->setModified(false);
    m_panel->clearAlbumTitleEdit();
    if (!isStoredAlbum(m_currentAlbum) || title.isEmpty()
        || title == m_currentAlbum->title())
        return;
    const QString refusal = CatalogueText::albumNameRefusal(title);
    if (!refusal.isEmpty()) {
        m_prompter->warning(this, refusal);
        m_panel->fillAlbum(m_currentAlbum);
        showAlbumTitle();
        return;
    }
    m_currentAlbum->setTitle(title);
    m_currentAlbum->setText(1, title);
    m_currentAlbum->setDirty(true);
    storeAlbum(m_currentAlbum);
    m_title->setText(title);
    m_panel->fillAlbum(m_currentAlbum);
}

// ---------------------------------------------------------------- later work

void AmbrioMainWindow::setPasteMark(bool marked)
{
    QPixmap face = kivPixmap(QStringLiteral("paste.png"));
    if (marked && !face.isNull()) {
        QPainter painter(&face);
        const QPixmap clip = kivPixmap(QStringLiteral("badge-clip.png"));
        painter.drawPixmap(face.width() - clip.width(), face.height() - clip.height(), clip);
    }
    ui->toolButtonPaste->setIcon(QIcon(face));
}

// The thumbnail view's picture commands.
void AmbrioMainWindow::slot_addItem() { m_pictures->addItems(); }
void AmbrioMainWindow::slot_addFile(const QStringList &files, KivViewItem *target) { m_pictures->addFiles(files, target); }
void AmbrioMainWindow::slot_addFile(const QString &, QTreeWidgetItem *) {}
void AmbrioMainWindow::slot_addImage(const QImage &image) { m_pictures->addImage(image); }
void AmbrioMainWindow::slot_copyItem() { m_pictures->copy(); }
void AmbrioMainWindow::slot_pasteItem() { m_pictures->paste(); }
void AmbrioMainWindow::clearClipboard() { m_pictures->clearClipboard(); }
void AmbrioMainWindow::slot_removeItem() { m_pictures->removeSelected(); }
void AmbrioMainWindow::slot_removePhoto(KivViewItem *item) { m_pictures->removeOne(item); }
void AmbrioMainWindow::slot_renameItem() { m_pictures->rename(); }
void AmbrioMainWindow::slot_to_favorites() { m_pictures->toFavorites(); }
void AmbrioMainWindow::FavPlus() { m_pictures->changeLove(+1); }
void AmbrioMainWindow::FavMoins() { m_pictures->changeLove(-1); }
void AmbrioMainWindow::insertBadge(int id)
{
    const int badge = id == 7 ? -1 : id;
    if (ui->trayBar->count() > 1) {
        // A badge chosen for a multiple selection goes to every picture of the tray.
        ui->itemUserBadge->setBadge(thumbsView::userBadgePixmap(badge), badge);
        ui->itemUserBadge->setModified(true);
        SaveNewProperty();
        return;
    }
    m_pictures->setBadge(id);
    if (m_currentItem)
        ui->itemUserBadge->setBadge(thumbsView::userBadgePixmap(m_currentItem->userBadge()), m_currentItem->userBadge());
}
void AmbrioMainWindow::moveIconItemUp() { m_pictures->move(true); }
void AmbrioMainWindow::moveIconItemDown() { m_pictures->move(false); }
void AmbrioMainWindow::slot_dnd(QDropEvent *) {}
void AmbrioMainWindow::slot_itemDroped(KivViewItem *, const QString &) {}
void AmbrioMainWindow::slot_insertItem(const QString &albumFolder, const QString &fileName, const QString &sourceFolder,
                                       bool fast, PlayList *album, int)
{
    m_pictures->insertPicture(albumFolder, fileName, sourceFolder, fast, album);
}
void AmbrioMainWindow::slot_photo_repaint(KivViewItem *item) { m_photoView->repaintItem(item); }
void AmbrioMainWindow::UpdateThumbsView() { m_photoView->repaintAll(); }
void AmbrioMainWindow::updateLargeImageNow() { m_photoView->viewport()->update(); }
// The property panel, persons, dates and the tray.
void AmbrioMainWindow::AddPhotoListToPlaylist()
{
    if (ui->trayBar->count() < 1 || !m_currentAlbum)
        return;
    m_pictures->addTrayPictures(m_currentAlbum, ui->trayBar->records());
}

void AmbrioMainWindow::setCurrentItemProperty(KivViewItem *item)
{
    m_panel->fill(item, ui->trayBar->count() > 1 && m_multiSelection);
}

FavoritesWidget *AmbrioMainWindow::hearts() const
{
    return ui->favoriteswid;
}

bool AmbrioMainWindow::storeAlbum(PlayList *album)
{
    QString error;
    if (album) {
        error = CatalogueSave::albumAndIndex(album, &m_library);
    } else if (!m_library.save()) {
        error = CatalogueSave::message(CatalogueSave::indexFailure(&m_library));
    }
    reportSaveError(error);
    return error.isEmpty();
}

void AmbrioMainWindow::reportSaveError(const QString &message)
{
    if (!message.isEmpty() && m_prompter)
        m_prompter->warning(this, message);
}

void AmbrioMainWindow::updateAlbumPanel()
{
    if (m_currentAlbum)
        m_panel->fillAlbum(m_currentAlbum);
}

QList<KivViewItem *> AmbrioMainWindow::propertyTargets() const
{
    if (ui->trayBar->count() > 1)
        return ui->trayBar->records();
    if (m_currentItem)
        return {m_currentItem};
    return {};
}

bool AmbrioMainWindow::SaveNewProperty()
{
    const QList<KivViewItem *> targets = propertyTargets();
    // Tags of pictures held in memory have nowhere to go: the panel shows them as they
    // were, and the user is told how to keep them.
    for (const KivViewItem *target : targets) {
        if (const PlayList *owner = target->ownerAlbum(); owner && owner->isHeldInMemory()) {
            m_prompter->information(this, PictureCommands::heldPictureMessage());
            m_panel->fill(m_currentItem, ui->trayBar->count() > 1 && m_multiSelection);
            return false;
        }
    }
    const PropertyPanel::Saved saved = m_panel->save(targets);
#ifdef __GLIBC__
    // A change of thousands of pictures held their old tags and their files' old
    // versions meanwhile: the allocator gives that memory back rather than keep it.
    if (targets.size() >= 1000)
        malloc_trim(0);
#endif
    if (saved.refused || saved.written == 0)
        return false;
    // The view may show the same pictures through records of its own (the tray kept
    // those of an album shown before): they read the new values. Looked up in sets: a
    // change of every picture of a large album compares each shown record once.
    const QSet<const KivViewItem *> changed(targets.cbegin(), targets.cend());
    QList<KivViewItem *> others;
    for (KivViewItem *shown : m_photoView->items()) {
        if (!changed.contains(shown))
            others << shown;
    }
    if (!others.isEmpty()) {
        QSet<QString> written;
        written.reserve(targets.size());
        for (const KivViewItem *target : targets)
            written.insert(target->propertyFilePath());
        for (KivViewItem *shown : std::as_const(others)) {
            if (written.contains(shown->propertyFilePath())) {
                shown->readProperties();
                m_photoView->repaintItem(shown);
            }
        }
    }
    auto *smart = dynamic_cast<SmartPlaylist *>(m_currentAlbum);
    if (!smart)
        return true;
    if ((saved.loveChanged && smart->kind() == QLatin1String("Favorites"))
        || (saved.textChanged && smart->kind() == QLatin1String("Search")))
        reloadCurrentAlbum();
    return true;
}

void AmbrioMainWindow::reloadCurrentAlbum()
{
    const QString current = m_currentItem ? m_currentItem->picturePath() : QString();
    m_currentItem = nullptr;
    m_pictures->openAlbum(m_currentAlbum);
    if (KivViewItem *again = m_photoView->itemByPath(current)) {
        m_currentItem = again;
        m_photoView->selectCell(again->column(), again->row());
        m_panel->fill(again, ui->trayBar->count() > 1 && m_multiSelection);
    } else {
        showUpdateToolBay();
    }
    updateEnabledCommands();
}

void AmbrioMainWindow::showUserBadge()
{
    // The badge menu's choice reaches insertBadge().
    m_menus.badge->popup(ui->itemUserBadge->mapToGlobal(QPoint(0, ui->itemUserBadge->height())));
}

void AmbrioMainWindow::showSubjectDialog()
{
    auto *photo = dynamic_cast<PhotoItem *>(m_currentItem);
    if (!photo)
        return;
    const bool several = ui->trayBar->count() > 1;
    // Persons the picture names that the list lacks (read from its metadata, or from
    // an older catalogue) are offered and chosen too: choosing others never drops them
    // unseen.
    rememberPersons(NameList::persons(photo->personInit()));
    People dialog(m_prompter, this);
    dialog.setSubjects(m_subjects);
    if (!several)
        dialog.selectPersons(NameList::persons(photo->personInit()));
    m_prompter->exec(&dialog);
    // Names added or removed survive however the dialog was closed.
    m_subjects = dialog.subjects();
    if (!NameList::save(NameList::subjectsPath(m_context.root), m_subjects)) {
        reportSaveError(CatalogueSave::message(QStringLiteral("The list of persons %1 could not be written.")
                                                   .arg(NameList::subjectsPath(m_context.root))));
    }
    const QStringList chosen = dialog.selectedPersons();
    if (!chosen.isEmpty()) {
        const QString persons = chosen.join(QLatin1Char(','));
        ui->propertyTextLabelSubject->setText(persons);
        if (several) {
            // Chosen for a multiple selection: every picture of the tray gets them.
            ui->propertyTextLabelSubject->setModified(true);
            SaveNewProperty();
        } else {
            photo->setPersonInit(persons);
            m_pictures->saveRecord(photo);
        }
    }
    ui->ListRoll->rebuildSubjects(m_subjects);
}
void AmbrioMainWindow::showDateModif()
{
    if (!m_currentItem)
        return;
    DateModif dialog(this);
    const QString stored = m_currentItem->date();
    const QDate current = QDate::fromString(stored.left(10), Qt::ISODate);
    dialog.setDate(current.year(), current.month(), current.day());
    if (m_prompter->exec(&dialog) != QDialog::Accepted)
        return;
    ui->itemDate->setDate(dialog.date());
    if (ui->trayBar->count() > 1) {
        // Chosen for a multiple selection: every picture of the tray gets the day.
        ui->itemDate->setModified(true);
        SaveNewProperty();
        return;
    }
    // The chosen day replaces the date; a time of day the picture had is kept.
    const QString day = dialog.date().toString(Qt::ISODate);
    m_currentItem->setDate(stored.size() > 10 && stored.at(10) == QLatin1Char('T') ? day + stored.mid(10) : day);
    m_pictures->saveRecord(m_currentItem);
}

void AmbrioMainWindow::showDatePlModif()
{
    PlayList *album = m_currentAlbum;
    if (!isStoredAlbum(album))
        return;
    DateModif dialog(this);
    const QDate current = album->creationDate();
    dialog.setDate(current.year(), current.month(), current.day());
    if (m_prompter->exec(&dialog) != QDialog::Accepted)
        return;
    album->setCreationDate(dialog.date());
    album->setDirty(true);
    storeAlbum(album);
    m_panel->fillAlbum(album);
    // Its place in the year view follows the new date.
    ui->ListRoll->insertIntoYearView(album);
    ui->ListRoll->setCurrentItem(album);
}
// The viewer.
void AmbrioMainWindow::countView(KivViewItem *picture)
{
    // Opening counts the view in the album row, saved at once.
    picture->incrementViewCount();
    if (PlayList *album = picture->ownerAlbum(); album && !album->isSmart() && !album->isHeldInMemory()) {
        album->updateRow(picture);
        // A read-only catalogue was announced at start: counting views is no change
        // the user asked for, so it is not refused again at every picture.
        if (!album->save(album->kivDir()) && !CatalogueFile::isReadOnly())
            reportSaveError(CatalogueSave::message(album->lastError()));
    }
}

void AmbrioMainWindow::viewImage()
{
    if (!m_currentItem)
        return;
    const QString path = m_currentItem->picturePath();
    if (!QFileInfo::exists(path)) {
        // The viewer open shows no picture rather than the one before, under this name.
        if (m_viewer->isVisible())
            m_viewer->setFile(path);
        m_prompter->information(this, QStringLiteral("Your photo cannot be load\nPlease insert the media :\n") + path);
        return;
    }
    countView(m_currentItem);
    if (m_viewer->isHidden()) {
        m_viewer->setGeometry(ui->ThumbsBay->geometry().translated(
            ui->ThumbsBay->parentWidget()->mapTo(this, QPoint(0, 0))));
        m_viewer->buildToolbar(m_actionFrame);
        m_title->hide();
        m_actionFrame->show();
        m_photoView->hide();
    }
    const bool shown = m_viewer->setFile(path);
    m_viewer->show();
    m_viewer->raise();
    m_viewer->giveFocus();
    // A damaged file, or one too large to hold: said, never shown as the picture before.
    if (!shown && m_prompter)
        m_prompter->warning(this, QStringLiteral("This picture cannot be shown:\n") + path + QStringLiteral("\n\n")
                                      + m_viewer->loadError());
}

void AmbrioMainWindow::stepTo(KivViewItem *item)
{
    if (!item || item == m_currentItem || !m_currentItem)
        return;
    // A changed picture is saved or dropped first, as the user answers; a save that
    // failed keeps it on screen.
    if (m_viewer->isVisible() && !m_viewer->settleChanges())
        return;
    // Stepping is a plain click on the next picture: a multiple selection ends, and the
    // panel and the tray show (and edits reach) the picture stepped to. The viewer stays
    // open, so the view's own selection signal is not acted on.
    if (m_photoView->isMultipleSelection()) {
        m_photoView->clearSelection();
        ui->trayBar->clear();
        ToSingleSelection();
    }
    m_currentItem->setSelected(false);
    m_photoView->repaintItem(m_currentItem);
    {
        const QSignalBlocker quiet(m_photoView);
        m_photoView->selectCell(item->column(), item->row());
    }
    ui->trayBar->add(item, false);
    m_currentItem = item;
    Q_EMIT updateProperty(item);
    updateMultiplePhotoPanel();
    updateEnabledCommands();
    if (m_viewer->isVisible())
        viewImage();
}

namespace {
bool isPicture(const KivViewItem *item)
{
    return item->fileType() == QLatin1String("Photo");
}
} // namespace

void AmbrioMainWindow::slot_previousItem()
{
    // Files that are no pictures (films, sounds) are stepped over.
    KivViewItem *item = m_photoView->previousItem(m_currentItem);
    while (item && !isPicture(item))
        item = m_photoView->previousItem(item);
    stepTo(item);
}

void AmbrioMainWindow::slot_nextItem()
{
    KivViewItem *item = m_photoView->nextItem(m_currentItem);
    while (item && !isPicture(item))
        item = m_photoView->nextItem(item);
    stepTo(item);
}

void AmbrioMainWindow::slot_firstItem()
{
    const QList<KivViewItem *> &items = m_photoView->items();
    const auto found = std::find_if(items.begin(), items.end(), isPicture);
    stepTo(found == items.end() ? nullptr : *found);
}

void AmbrioMainWindow::slot_lastItem()
{
    const QList<KivViewItem *> &items = m_photoView->items();
    const auto found = std::find_if(items.rbegin(), items.rend(), isPicture);
    stepTo(found == items.rend() ? nullptr : *found);
}

void AmbrioMainWindow::slot_updateRotatePreview() {}
void AmbrioMainWindow::slot_updateRotatePreviewTemp() {}
void AmbrioMainWindow::slot_updateThumb()
{
    // The picture was saved: its thumbnail is made again from the file.
    if (auto *photo = dynamic_cast<PhotoItem *>(m_currentItem)) {
        photo->makeThumbnail(false);
        m_photoView->repaintItem(photo);
        ui->trayBar->viewport()->update();
        // The row's size follows the file (turned, resized).
        if (PlayList *album = photo->ownerAlbum(); isStoredAlbum(album) && album->updateRow(photo))
            storeAlbum(album);
    }
}

void AmbrioMainWindow::effectMore(int id)
{
    m_viewer->EffectMore(id);
}
// Slideshow, printing, mail, external programs, locator and import.
slideshow *AmbrioMainWindow::runningSlideshow() const
{
    return m_slideshow;
}

void AmbrioMainWindow::viewSlideShow()
{
    // The album right-clicked, else the open one.
    PlayList *album = commandAlbum();
    const bool other = album && album != m_currentAlbum;
    // A browse branch is no album of pictures to show.
    if (auto *smart = dynamic_cast<SmartPlaylist *>(album); smart && smart->kind() == QLatin1String("ByCategory"))
        return;
    if (ui->trayBar->count() < 2 && !album) {
        m_prompter->information(this, QStringLiteral("You need to select an album before click here.\n"));
        return;
    }
    if (m_slideshow)
        m_slideshow->close();
    // On the screen that holds this window; a window of its own that goes with this one.
    auto *show = new slideshow(screen(), this);
    if (ui->trayBar->count() < 2 || other) {
        show->setAlbum(album);
        show->setStartPicture(m_currentItem && !other ? m_currentItem->fileName() : QString());
    } else {
        show->setOwnedAlbum(ui->trayBar->makeSlideshowAlbum());
    }
    m_slideshow = show;
    show->show();
    show->activateWindow();
}
void AmbrioMainWindow::slot_printPhoto()
{
    // The current picture, else the current album; the tray's pictures when it holds two
    // or more.
    // A right-clicked album that is not the open one: all its pictures.
    PlayList *album = commandAlbum();
    const bool other = album && album != m_currentAlbum;
    QStringList paths;
    if (ui->trayBar->count() >= 2 && !other) {
        for (const KivViewItem *record : ui->trayBar->records())
            paths << record->picturePath();
    } else if (m_currentItem && !other) {
        paths << m_currentItem->picturePath();
    } else if (album) {
        paths = PageComposition::picturePaths(album->rowTable());
    } else {
        m_prompter->information(this, QStringLiteral("You need to select an album before click here.\n"));
        return;
    }
    if (paths.isEmpty()) {
        m_prompter->information(this, QStringLiteral("This album holds no picture to print."));
        return;
    }
    ProgressLoadPrinter loading(this);
    for (const QString &path : std::as_const(paths)) {
        const QFileInfo file(path);
        loading.addPhoto(file.path(), file.fileName());
    }
    const QList<PageComposition::Picture> previews = loading.load();
    if (previews.isEmpty())
        return;
    PrinterDialog dialog(m_prompter, this);
    dialog.setPictures(loading.paths(), previews);
    if (m_prompter->exec(&dialog) != QDialog::Accepted)
        return;
    const PrintRun::Result result = PrintProgress::print(this, dialog.printRun(), dialog.printer());
    if (!result.printed && !result.cancelled)
        m_prompter->warning(this, result.error);
    else if (result.printed && !result.unreadable.isEmpty())
        m_prompter->information(this, QStringLiteral("These pictures could not be read; their places are left "
                                                     "blank:\n")
                                          + result.unreadable.mid(0, 10).join(QLatin1Char('\n'))
                                          + (result.unreadable.size() > 10 ? QStringLiteral("\n...") : QString()));
}
void AmbrioMainWindow::ClipBoardChanged()
{
    if (m_pictures->isSettingClipboard())
        return;
    const QImage image = PictureCommands::clipboardImage();
    if (image.isNull()) {
        // Another program copied something that is no picture: the paste button no
        // longer shows the image it would not paste. A copy made here stays marked.
        if (!m_pictures->hasCopy())
            ui->toolButtonPaste->setIcon(QIcon(kivPixmap(QStringLiteral("paste.png"))));
        return;
    }
    // The image stands on the paste button; the next paste inserts it.
    ui->toolButtonPaste->setIcon(QIcon(QPixmap::fromImage(
        image.scaled(ui->toolButtonPaste->iconSize() * 2, Qt::KeepAspectRatio, Qt::SmoothTransformation))));
    m_pictures->forgetCopy();
}
void AmbrioMainWindow::ClipBoardChangedImport() {}

// ---------------------------------------------------------------- pictures named on the command line

PlayList *AmbrioMainWindow::storedAlbumHolding(const QString &argument, QString *storedPath) const
{
    // A path as named, and as it is once links are followed: either may be the one the
    // album stored.
    auto namesOf = [](const QFileInfo &info) {
        QSet<QString> names{QDir::cleanPath(info.absoluteFilePath())};
        if (const QString canonical = info.canonicalFilePath(); !canonical.isEmpty())
            names.insert(canonical);
        return names;
    };
    const QFileInfo info(argument);
    const bool folder = info.isDir();
    const QSet<QString> names = namesOf(info);
    const QSet<QString> folderNames = folder ? names : namesOf(QFileInfo(info.absolutePath()));
    QList<PlayList *> albums = CatalogueLoader::storedAlbums(ui->ListRoll);
    albums.erase(std::remove_if(albums.begin(), albums.end(),
                                [](const PlayList *album) { return !isStoredAlbum(album) || !album->isValid(); }),
                 albums.end());
    // A picture an album holds: that album, the first in the list.
    for (PlayList *album : std::as_const(albums)) {
        if (folder)
            break;
        const AlbumRows &rows = album->rowTable();
        for (int i = 0; i < rows.count(); ++i) {
            const QString rowFolder = rows.fieldText(i, AlbumRows::Folder);
            if (rowFolder.isEmpty())
                continue;
            const QString path =
                QDir::cleanPath(rowFolder + QLatin1Char('/') + rows.fieldText(i, AlbumRows::FileName));
            if (names.contains(path)) {
                *storedPath = path;
                return album;
            }
        }
    }
    // A folder a dynamic album mirrors, or a picture in it (found when it is shown).
    for (PlayList *album : std::as_const(albums)) {
        const auto *dynamic = dynamic_cast<const DirectoryPlaylist *>(album);
        if (!dynamic || dynamic->from().isEmpty())
            continue;
        const QString from = QDir::cleanPath(QFileInfo(dynamic->from()).absoluteFilePath());
        if (folderNames.contains(from)) {
            *storedPath = folder ? QString() : from + QLatin1Char('/') + info.fileName();
            return album;
        }
    }
    return nullptr;
}

bool AmbrioMainWindow::viewPictureOf(PlayList *album, const QString &path)
{
    if (isStoredAlbum(album)) {
        ui->ListRoll->setCurrentItem(album);
    } else {
        ui->ListRoll->clearSelection();
        ui->ListRoll->setCurrentItem(nullptr);
    }
    slot_roll_pressed(album);
    if (m_currentAlbum != album)
        return false;
    KivViewItem *item = nullptr;
    if (path.isEmpty()) {
        const QList<KivViewItem *> &items = m_photoView->items();
        const auto found = std::find_if(items.begin(), items.end(), isPicture);
        item = found == items.end() ? nullptr : *found;
    } else {
        item = m_photoView->itemByPath(path);
    }
    if (!item)
        return false;
    {
        const QSignalBlocker quiet(m_photoView);
        m_photoView->selectCell(item->column(), item->row());
    }
    slot_photo_pressed(item);
    viewImage();
    const bool shown = m_viewer->isVisible() && m_currentItem == item;
    if (shown)
        qCDebug(lcApp) << "viewing" << item->picturePath() << "of" << album->text(1)
                       << (album->isHeldInMemory() ? "(held in memory)" : "(stored album)");
    return shown;
}

bool AmbrioMainWindow::openPaths(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return false;
    const OpenArguments::Plan plan = OpenArguments::plan(arguments);
    if (!plan.unusable.isEmpty() && m_prompter) {
        m_prompter->warning(this, QStringLiteral("Vellaro cannot show these: they are neither pictures it can read "
                                                 "nor folders holding any.\n\n")
                                      + plan.unusable.join(QLatin1Char('\n')));
    }
    if (plan.start < 0)
        return false;
    if (arguments.size() == 1) {
        QString stored;
        if (PlayList *album = storedAlbumHolding(arguments.first(), &stored))
            return viewPictureOf(album, stored);
    }
    // Shown as any album is, but made in memory: no file of the catalogue is written
    // for it, and it is in no list.
    auto album = std::make_unique<PlayList>();
    album->setHeldInMemory(true);
    album->setName(plan.title);
    album->setTitle(plan.title);
    album->setText(1, plan.title);
    for (const QString &path : plan.pictures) {
        const QFileInfo info(path);
        PhotoItem record(info.fileName());
        record.setFileName(info.fileName());
        record.setSourceFolder(info.absolutePath());
        record.setFileType(QStringLiteral("Photo"));
        album->addRecord(&record);
    }
    album->setDirty(false);
    m_heldAlbums.push_back(std::move(album));
    return viewPictureOf(m_heldAlbums.back().get(), plan.pictures.at(plan.start));
}
