#include "viewphoto.h"
#include "ui_pleasewaitbase.h"
#include "ui_resizephotodialogbase.h"

#include "kivpixmapview.h"
#include "pixmaplookup.h"
#include "prompter.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QImageReader>
#include <QHBoxLayout>
#include <QMovie>
#include <QShortcut>
#include <QToolButton>

void SaveWorker::run()
{
    QImage image = picture;
    if (image.isNull()) {
        QImageReader reader(source);
        reader.setAutoTransform(true);
        image = reader.read();
        if (image.isNull() || jpegCutShort(source)) {
            unreadable = true;
            result = PictureWriter::Result::WriteFailed;
            return;
        }
    }
    // The photograph's metadata (date, camera, GPS) stays with it.
    result = PictureWriter::write(image, destination, jpegQuality, source.isEmpty() ? destination : source);
}

bool SaveWorker::jpegCutShort(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = file.readAll();
    auto at = [&data](qsizetype i) { return uchar(data.at(i)); };
    if (data.size() < 4 || at(0) != 0xFF || at(1) != 0xD8)
        return false;  // not a JPEG
    qsizetype i = 2;
    while (i + 4 <= data.size()) {
        if (at(i) != 0xFF)
            return false;  // a layout this does not know: not judged
        const uchar marker = at(i + 1);
        if (marker == 0xFF) {
            ++i;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
            i += 2;
            continue;
        }
        if (marker == 0xD9)
            return false;
        const int length = at(i + 2) << 8 | at(i + 3);
        if (marker == 0xDA) {
            // In the coded data a 0xFF is always followed by 0x00 or a restart marker:
            // the end marker after it is the picture's own end.
            return data.indexOf(QByteArrayLiteral("\xFF\xD9"), i + 2 + length) < 0;
        }
        i += 2 + length;
    }
    return true;  // ended among the headers
}

pleaseWait::pleaseWait(QWidget *parent)
    : QDialog(parent)
{
    Ui::pleaseWaitBase form;
    form.setupUi(this);
    setObjectName(QStringLiteral("please wait"));
    m_label = form.waitmov;
}

void pleaseWait::showEvent(QShowEvent *event)
{
    // Read at the first showing, not with the viewer at every start (the animation's
    // reader is a plug-in of its own).
    if (!m_movie) {
        const QString animation = PixmapLookup::instance().filePath(QStringLiteral("wait.gif"));
        if (!animation.isEmpty()) {
            m_movie = new QMovie(animation, QByteArray(), this);
            m_label->setMovie(m_movie);
        }
    }
    if (m_movie)
        m_movie->start();
    QDialog::showEvent(event);
}

void pleaseWait::hideEvent(QHideEvent *event)
{
    if (m_movie)
        m_movie->stop();
    QDialog::hideEvent(event);
}

ResizePhotoDialog::ResizePhotoDialog(QWidget *parent)
    : QDialog(parent)
{
    Ui::ResizePhotoDialogBase form;
    form.setupUi(this);
    form.pixmapLeft->setPixmap(kivPixmap(QStringLiteral("ui-dialog-left-resize.png")));
    form.buttonOk->setIcon(QIcon(kivPixmap(QStringLiteral("button_ok.png"))));
    form.buttonCancel->setIcon(QIcon(kivPixmap(QStringLiteral("button_cancel.png"))));
    QPalette back = form.frameRight->palette();
    back.setBrush(QPalette::Window, kivPixmap(QStringLiteral("ui-dialog-right.png")));
    form.frameRight->setPalette(back);
    form.frameRight->setAutoFillBackground(true);
    connect(form.buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(form.buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

int ResizePhotoDialog::chosenWidth() const
{
    if (findChild<QRadioButton *>(QStringLiteral("radioButton320"))->isChecked())
        return 320;
    if (findChild<QRadioButton *>(QStringLiteral("radioButton640"))->isChecked())
        return 640;
    return 1024;
}

viewphoto::viewphoto(QWidget *parent)
    : QWidget(parent)
    , m_view(new KIVPixmapView(this))
    , m_wait(new pleaseWait(this))
{
    setWindowTitle(QStringLiteral("PhotoView"));
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame17"));
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);
    auto *inner = new QHBoxLayout(frame);
    inner->setContentsMargins(0, 0, 0, 0);
    m_view->setParent(frame);
    inner->addWidget(m_view);
    m_wait->hide();
    // Escape goes back to the organiser as the Back button does.
    connect(m_view, &KIVPixmapView::escapePressed, this, &viewphoto::back);
    connect(m_view, &KIVPixmapView::previousPressed, this, &viewphoto::previous);
    connect(m_view, &KIVPixmapView::nextPressed, this, &viewphoto::next);
    connect(m_view, &KIVPixmapView::firstPressed, this, &viewphoto::first);
    connect(m_view, &KIVPixmapView::lastPressed, this, &viewphoto::last);
    // Undo and save answer wherever the focus is in the viewer's window, unless a text
    // field takes the keys for itself.
    auto *undo = new QShortcut(QKeySequence::Undo, this, this, &viewphoto::undoLastEffect, Qt::WindowShortcut);
    undo->setObjectName(QStringLiteral("undo shortcut"));
    auto *save = new QShortcut(QKeySequence::Save, this, this, &viewphoto::saveChanges, Qt::WindowShortcut);
    save->setObjectName(QStringLiteral("save shortcut"));
}

bool viewphoto::setFile(const QString &fileName)
{
    m_modified = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_fileName = fileName;
    const bool shown = m_view->slotSetFile(fileName);
    m_savedState = m_view->state();
    QApplication::restoreOverrideCursor();
    return shown;
}

QString viewphoto::loadError() const
{
    return m_view->loadError();
}

bool viewphoto::setPixmap(const QPixmap &pixmap)
{
    m_modified = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_view->slotSetPixmap(pixmap);
    m_savedState = m_view->state();
    QApplication::restoreOverrideCursor();
    return true;
}

void viewphoto::giveFocus()
{
    m_view->setFocus();
}

QPixmap viewphoto::displayPixmap() const
{
    return m_view->displayPixmap();
}

void viewphoto::buildToolbar(QWidget *frame)
{
    qDeleteAll(frame->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly));
    delete frame->layout();
    auto *layout = new QHBoxLayout(frame);
    layout->setObjectName(QStringLiteral("action_frameLayout"));
    layout->setContentsMargins(3, 3, 3, 3);
    layout->setSpacing(0);
    // The strip's glossy background lies behind every button of the toolbar.
    QPalette strip = frame->palette();
    strip.setBrush(QPalette::Window, kivPixmap(QStringLiteral("ui-iconview-center-up.png")));
    frame->setPalette(strip);
    frame->setAutoFillBackground(true);
    auto button = [&](const char *name, const char *icon, const QString &text) {
        auto *b = new QToolButton(frame);
        b->setObjectName(QLatin1String(name));
        b->setIcon(QIcon(kivPixmap(QLatin1String(icon))));
        b->setText(text);
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        b->setAutoRaise(true);
        QPalette colours = b->palette();
        colours.setColor(QPalette::ButtonText, QColor(0, 0, 127));
        b->setPalette(colours);
        QFont font = b->font();
        font.setPointSize(9);
        b->setFont(font);
        layout->addWidget(b);
        return b;
    };
    connect(button("toolbar_back", "back.png", QStringLiteral("Back")), &QToolButton::clicked, this, &viewphoto::back);
    auto *line = new QFrame(frame);
    line->setObjectName(QStringLiteral("Line5_2"));
    line->setFrameShape(QFrame::VLine);
    line->setMaximumSize(10, 25);
    layout->addWidget(line);
    connect(button("toolbar_zoomin", "viewmag+.png", QStringLiteral("In")), &QToolButton::clicked, this,
            &viewphoto::slot_zoomin);
    connect(button("toolbar_zoomout", "viewmag-.png", QStringLiteral("Out")), &QToolButton::clicked, this,
            &viewphoto::slot_zoomout);
    m_autosizeButton = button("autoresize", "window_fullscreen.png", QStringLiteral("Autosize"));
    m_autosizeButton->setAutoRaise(!m_view->autosize());
    connect(m_autosizeButton, &QToolButton::clicked, this, &viewphoto::slot_autoresize);
    connect(button("autoresize", "more-tools.png", QStringLiteral("Previous photo")), &QToolButton::clicked, this,
            &viewphoto::previous);
    connect(button("autoresize", "link.png", QStringLiteral("Next Photo")), &QToolButton::clicked, this,
            &viewphoto::next);
    layout->addStretch();
}

void viewphoto::slot_zoomin()
{
    m_view->zoomFast(50);
}

void viewphoto::slot_zoomout()
{
    m_view->zoomFast(-50);
}

void viewphoto::slot_zoom(int amount)
{
    m_view->zoomSmooth(amount);
}

void viewphoto::slot_moreEffects() {}
void viewphoto::slot_print() {}

void viewphoto::slot_autoresize()
{
    const bool on = m_view->autosize();
    if (m_autosizeButton)
        m_autosizeButton->setAutoRaise(on);
    m_view->setAutosize(!on);
    m_view->repaint();
    m_view->setFocus();
}

void viewphoto::FadeToBlack(int n)
{
    m_view->slotFadeToBlack(n);
}

template<typename Effect>
void viewphoto::effectCommand(Effect effect)
{
    m_modified = true;
    if (isHidden())
        Q_EMIT needPicture();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    effect();
    QApplication::restoreOverrideCursor();
}

void viewphoto::EffectMiror()
{
    effectCommand([this] { m_view->slotMoreEffect(4); });
}

void viewphoto::EffectBlackAndWhite()
{
    effectCommand([this] { m_view->slotBlackAndWhite(); });
}

void viewphoto::EffectIntensity(int v)
{
    m_modified = true;
    m_view->slotIntensity(v / 100.0f);
}

void viewphoto::EffectContrast(int)
{
    m_modified = true;
    m_view->slotContrast(2);
}

void viewphoto::EffectRotateClockWise()
{
    effectCommand([this] { m_view->slotRotateClockWise(); });
    Q_EMIT updateRotatePreview();
}

void viewphoto::EffectRotateCounter()
{
    effectCommand([this] { m_view->slotRotateCounter(); });
    Q_EMIT updateRotatePreview();
}

void viewphoto::EffectResize()
{
    m_modified = true;
    if (isHidden())
        Q_EMIT needPicture();
    ResizePhotoDialog dialog(this);
    if (!m_prompter || m_prompter->exec(&dialog) != QDialog::Accepted)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    switch (dialog.chosenWidth()) {
    case 320:
        m_view->slotResize320();
        break;
    case 640:
        m_view->slotResize640();
        break;
    default:
        m_view->slotResize1024();
    }
    QApplication::restoreOverrideCursor();
}

void viewphoto::EffectMore(int id)
{
    m_modified = true;
    m_wait->show();
    if (isHidden()) {
        Q_EMIT needPicture();
        QCoreApplication::processEvents();
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (id == 4)
        m_view->slotMirror();
    else
        m_view->slotMoreEffect(id);
    QApplication::restoreOverrideCursor();
    m_wait->hide();
}

void viewphoto::EffectUndo()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString file = m_view->fileName();
    if (!QFileInfo(file).isWritable()) {
        QApplication::restoreOverrideCursor();
        if (m_prompter) {
            m_prompter->critical(this,
                                 QStringLiteral("Your photo cannot be written...\n ")
                                     + QStringLiteral("This photo is in read only permission mode.Change it in "
                                                      "explorer.\n")
                                     + QStringLiteral("support@vellaro.org") + QStringLiteral("\n\n"),
                                 QStringLiteral("Vellaro Convert"));
        }
        return;  // still modified: leaving asks again
    }
    SaveWorker worker;
    worker.picture = m_view->currentImage();
    worker.destination = file;
    worker.start();
    worker.wait();
    QApplication::restoreOverrideCursor();
    if (worker.result != PictureWriter::Result::Written) {
        if (m_prompter)
            m_prompter->critical(this, PictureWriter::message(worker.result, file));
        return;
    }
    m_modified = false;
    m_savedState = m_view->state();
    Q_EMIT updateThumb();
}

void viewphoto::undoLastEffect()
{
    if (isHidden() || !m_view->undoLastEffect())
        return;
    // Back at the picture the file holds, there is nothing left to save.
    m_modified = m_view->state() != m_savedState;
}

void viewphoto::saveChanges()
{
    if (isHidden() || !m_modified)
        return;
    EffectUndo();
}

bool viewphoto::settleChanges()
{
    if (!m_modified || !m_prompter)
        return true;
    if (!m_prompter->confirm(this, Prompter::Icon::Warning, QStringLiteral("Do you want to save photo modification ?"))) {
        m_modified = false;
        return true;
    }
    EffectUndo();
    return !m_modified;
}

void viewphoto::slot_saveAs()
{
    if (!m_prompter)
        return;
    const QString name = m_prompter->saveFileName(this, QStringLiteral("Choose a filename to save under"), m_fileName,
                                                  QStringLiteral("Images (*.png *.jpg *.bmp)"));
    if (name.isEmpty())
        return;
    // The whole picture with its effects, never the copy fitted to the screen.
    const QImage picture = m_view->currentImage();
    const PictureWriter::Result result = PictureWriter::write(picture, name, -1, m_fileName);
    if (result != PictureWriter::Result::Written) {
        m_prompter->warning(this, PictureWriter::message(result, name));
        return;
    }
    if (!picture.isNull())
        m_modified = false;
}

void viewphoto::closeWithPrompt()
{
    if (m_modified && m_prompter
        && m_prompter->confirm(this, Prompter::Icon::Warning, QStringLiteral("Do you want to save photo modification ?")))
        EffectUndo();
    m_modified = false;
    m_view->clear();
    hide();
    if (parentWidget())
        parentWidget()->update();
    close();
}
