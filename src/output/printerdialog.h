#pragma once

#include "pagecomposition.h"
#include "printrun.h"

#include <QDialog>
#include <QPrinter>
#include <QStringList>

#include <memory>

class Prompter;
namespace Ui {
class PrinterDialogBase;
}

// Chooses how pictures are printed: the layout (each with a small picture of it), the
// dimension mode, the printer and the number of copies, with a preview of every page.
// The previews are drawn from small copies of the pictures; the print reads them again
// at the resolution of the page.
class PrinterDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int MaxCopies = 999;

    // `prompter` runs the printer set-up dialog.
    explicit PrinterDialog(Prompter *prompter, QWidget *parent = nullptr);
    ~PrinterDialog() override;

    // The pictures to print, in order, with their previews (a null preview for a
    // picture that could not be read).
    void setPictures(const QStringList &paths, const QList<PageComposition::Picture> &previews);

    QPrinter &printer() { return m_printer; }
    PageComposition::Layout layout() const { return m_layout; }
    PageComposition::Dimension mode() const { return m_mode; }
    int page() const { return m_page; }
    int pageCount() const;
    int copies() const { return m_copies; }
    // What Print prints with the choices made.
    PrintRun printRun() const;
    // With no printer and no file chosen, asks for one first.
    void accept() override;

public Q_SLOTS:
    void passToTwo();
    void passToFull();
    void passToFour();
    void passToContact();
    void setupPrinterDialog();
    void CropToFitMode();
    void ShrinkMode();
    void NoneMode();
    void slot_minuspage();
    void slot_pluspage();
    // The copies "+" button: one copy more.
    void slot_minusCopypage();
    // The copies "-" button: one copy less, never below one.
    void slot_plusCopypage();

private:
    void setLayout(PageComposition::Layout layout);
    void setMode(PageComposition::Dimension mode);
    void showPrinter();
    void showPage();
    void showCopies();
    void makeLayoutPictures();
    QSize pageSize();
    QImage composed(PageComposition::Layout layout, PageComposition::Dimension mode, const QMargins &margins,
                    const QList<PageComposition::Picture> &pictures, const QSize &shown);

    std::unique_ptr<Ui::PrinterDialogBase> m_form;
    Prompter *m_prompter;
    QPrinter m_printer{QPrinter::ScreenResolution};
    QStringList m_paths;
    QList<PageComposition::Picture> m_previews;
    PageComposition::Layout m_layout = PageComposition::Layout::OnePerPage;
    PageComposition::Dimension m_mode = PageComposition::Dimension::PreserveRatio;
    int m_page = 0;
    int m_copies = 1;
};
