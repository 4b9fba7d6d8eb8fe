#include "printerdialog.h"
#include "ui_printerdialogbase.h"

#include "pixmaplookup.h"
#include "prompter.h"

#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>

using PageComposition::Dimension;
using PageComposition::Layout;
using PageComposition::Picture;

PrinterDialog::PrinterDialog(Prompter *prompter, QWidget *parent)
    : QDialog(parent)
    , m_form(std::make_unique<Ui::PrinterDialogBase>())
    , m_prompter(prompter)
{
    m_form->setupUi(this);
    setObjectName(QStringLiteral("Print Dialog"));
    setModal(true);
    QPalette back = palette();
    back.setColor(QPalette::Window, QColor(200, 200, 200));
    setPalette(back);
    setAutoFillBackground(true);
    m_form->pixmapLeft->setPixmap(kivPixmap(QStringLiteral("ui-dialog-left-print.png")));
    m_form->pixmapRight->setPixmap(kivPixmap(QStringLiteral("ui-dialog-right.png")));
    m_form->pushButtonPageMinus->setIcon(QIcon(kivPixmap(QStringLiteral("undo.png"))));
    m_form->pushButtonPagePlus->setIcon(QIcon(kivPixmap(QStringLiteral("redo.png"))));
    m_form->pushButtonOption->setIcon(QIcon(kivPixmap(QStringLiteral("printer.png"))));
    m_form->pushButtonPrint->setIcon(QIcon(kivPixmap(QStringLiteral("button_ok.png"))));
    m_form->pushButtonCancel->setIcon(QIcon(kivPixmap(QStringLiteral("button_cancel.png"))));
    // The preview's own background shows the page's white.
    m_form->previewPixmap->setAutoFillBackground(true);

    connect(m_form->radioButtonTwo, &QRadioButton::clicked, this, &PrinterDialog::passToTwo);
    connect(m_form->radioButtonFull, &QRadioButton::clicked, this, &PrinterDialog::passToFull);
    connect(m_form->radioButtonFour, &QRadioButton::clicked, this, &PrinterDialog::passToFour);
    connect(m_form->radioButtonContact, &QRadioButton::clicked, this, &PrinterDialog::passToContact);
    connect(m_form->pushButtonOption, &QPushButton::clicked, this, &PrinterDialog::setupPrinterDialog);
    connect(m_form->radioButtonCrop, &QRadioButton::clicked, this, &PrinterDialog::CropToFitMode);
    connect(m_form->radioButtonShrink, &QRadioButton::clicked, this, &PrinterDialog::ShrinkMode);
    connect(m_form->radioButtonNone, &QRadioButton::clicked, this, &PrinterDialog::NoneMode);
    connect(m_form->pushButtonPageMinus, &QPushButton::clicked, this, &PrinterDialog::slot_minuspage);
    connect(m_form->pushButtonPagePlus, &QPushButton::clicked, this, &PrinterDialog::slot_pluspage);
    connect(m_form->pushButtonCopyPlus, &QPushButton::clicked, this, &PrinterDialog::slot_minusCopypage);
    connect(m_form->pushButtonCopyMinus, &QPushButton::clicked, this, &PrinterDialog::slot_plusCopypage);
    connect(m_form->pushButtonPrint, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_form->pushButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    showPrinter();
    showCopies();
    showPage();
}

PrinterDialog::~PrinterDialog() = default;

void PrinterDialog::setPictures(const QStringList &paths, const QList<Picture> &previews)
{
    m_paths = paths;
    m_previews = previews;
    m_page = 0;
    makeLayoutPictures();
    showPage();
}

int PrinterDialog::pageCount() const
{
    return qMax(1, PageComposition::pageCount(m_layout, int(m_paths.size())));
}

PrintRun PrinterDialog::printRun() const
{
    return PrintRun(m_paths, m_layout, m_mode, m_copies);
}

void PrinterDialog::passToTwo() { setLayout(Layout::TwoPerPage); }
void PrinterDialog::passToFull() { setLayout(Layout::OnePerPage); }
void PrinterDialog::passToFour() { setLayout(Layout::FourPerPage); }
void PrinterDialog::passToContact() { setLayout(Layout::MiniatureSheet); }
void PrinterDialog::CropToFitMode() { setMode(Dimension::FullPage); }
void PrinterDialog::ShrinkMode() { setMode(Dimension::PreserveRatio); }
void PrinterDialog::NoneMode() { setMode(Dimension::NoChange); }

void PrinterDialog::setupPrinterDialog()
{
    m_printer.setCopyCount(m_copies);
    QPrintDialog setup(&m_printer, this);
    if (m_prompter->exec(&setup) != QDialog::Accepted)
        return;
    // The set-up dialog's own copies field counts too.
    m_copies = qBound(1, m_printer.copyCount(), MaxCopies);
    showPrinter();
    showCopies();
    makeLayoutPictures();
    showPage();
}

void PrinterDialog::slot_minuspage()
{
    if (m_page > 0)
        --m_page;
    showPage();
}

void PrinterDialog::slot_pluspage()
{
    if (m_page + 1 < pageCount())
        ++m_page;
    showPage();
}

void PrinterDialog::slot_minusCopypage()
{
    // As many as the printer set-up dialog and the tool allow.
    if (m_copies < MaxCopies)
        ++m_copies;
    showCopies();
}

void PrinterDialog::accept()
{
    // Nowhere to print to: the user chooses a printer or a file, and the dialog stays
    // with the choices made.
    if (m_printer.outputFormat() == QPrinter::PdfFormat && m_printer.outputFileName().isEmpty()) {
        m_prompter->information(this, QStringLiteral("No printer is set up on this computer.\nChoose a printer, "
                                                     "or \"Print to File (PDF)\" and a file name."));
        setupPrinterDialog();
        if (m_printer.outputFormat() == QPrinter::PdfFormat && m_printer.outputFileName().isEmpty())
            return;
    }
    QDialog::accept();
}

void PrinterDialog::slot_plusCopypage()
{
    if (m_copies > 1)
        --m_copies;
    showCopies();
}

void PrinterDialog::setLayout(Layout layout)
{
    // The page shown keeps its first picture in view.
    const int first = m_page * PageComposition::perPage(m_layout);
    m_layout = layout;
    m_page = qMin(first / PageComposition::perPage(layout), pageCount() - 1);
    showPage();
}

void PrinterDialog::setMode(Dimension mode)
{
    m_mode = mode;
    showPage();
}

void PrinterDialog::showPrinter()
{
    QString text;
    if (m_printer.outputFormat() == QPrinter::PdfFormat && !m_printer.outputFileName().isEmpty())
        text = QStringLiteral("PDF file: ") + QFileInfo(m_printer.outputFileName()).fileName();
    else if (!m_printer.printerName().isEmpty() && m_printer.printerName() != QPrinterInfo::defaultPrinterName())
        text = m_printer.printerName();
    else if (m_printer.outputFormat() == QPrinter::NativeFormat && !QPrinterInfo::defaultPrinterName().isEmpty())
        text = QStringLiteral("Default Printer");
    else
        text = QStringLiteral("No printer: choose one, or a PDF file");
    m_form->textLabelPrinter->setText(text);
    m_form->textLabelPrinter->setToolTip(text);
}

void PrinterDialog::showCopies()
{
    m_form->textLabelCopy->setText(QString::number(m_copies) + QStringLiteral(" Copy"));
    m_printer.setCopyCount(m_copies);
}

QSize PrinterDialog::pageSize()
{
    const QSize page(m_printer.width(), m_printer.height());
    return page.isEmpty() ? QSize(794, 1123) : page;
}

QImage PrinterDialog::composed(Layout layout, Dimension mode, const QMargins &margins, const QList<Picture> &pictures,
                               const QSize &shown)
{
    const QSize page = pageSize();
    const QSize fitted = page.scaled(shown, Qt::KeepAspectRatio);
    QImage image(fitted, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(qreal(fitted.width()) / page.width(), qreal(fitted.height()) / page.height());
    PageComposition::paint(painter, page, layout, mode, margins, pictures);
    return image;
}

void PrinterDialog::showPage()
{
    m_page = qBound(0, m_page, pageCount() - 1);
    m_form->textLabelPage->setText(QStringLiteral("Page : ") + QString::number(m_page + 1));
    m_form->pushButtonPageMinus->setEnabled(m_page > 0);
    m_form->pushButtonPagePlus->setEnabled(m_page + 1 < pageCount());
    const int per = PageComposition::perPage(m_layout);
    const QSize shown = m_form->previewPixmap->contentsRect().size();
    m_form->previewPixmap->setPixmap(QPixmap::fromImage(
        composed(m_layout, m_mode, PageComposition::pageMargins(), m_previews.mid(qsizetype(m_page) * per, per),
                 shown)));
}

void PrinterDialog::makeLayoutPictures()
{
    // The small pictures of the layouts show the first pictures, the first standing in
    // for a second, third or fourth the list does not have (the third and fourth only
    // come from a list of more than three).
    const Picture first = m_previews.value(0);
    const Picture second = m_previews.size() > 1 ? m_previews.at(1) : first;
    const Picture third = m_previews.size() > 3 ? m_previews.at(2) : first;
    const Picture fourth = m_previews.size() > 3 ? m_previews.at(3) : first;
    const QMargins one(2, 2, 2, 2), others(2, 2, 2, 6);
    const struct {
        QLabel *label;
        Layout layout;
        QMargins margins;
        QList<Picture> pictures;
    } smalls[] = {
        {m_form->pixmapFull, Layout::OnePerPage, one, {first}},
        {m_form->pixmapTwo, Layout::TwoPerPage, others, {first, second}},
        {m_form->pixmapFour, Layout::FourPerPage, others, {first, second, third, fourth}},
        {m_form->pixmapContact, Layout::MiniatureSheet, others, m_previews},
    };
    for (const auto &small : smalls)
        small.label->setPixmap(QPixmap::fromImage(composed(small.layout, Dimension::PreserveRatio, small.margins,
                                                           small.pictures, small.label->contentsRect().size())));
}
