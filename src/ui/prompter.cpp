#include "prompter.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

Prompter::~Prompter() = default;

QString Prompter::saveFileNameAndFilter(QWidget *parent, const QString &caption, const QString &dir,
                                        const QString &filter, QString *)
{
    return saveFileName(parent, caption, dir, filter);
}

void Prompter::information(QWidget *parent, const QString &text, const QString &caption)
{
    message(parent, {Icon::Information, caption, text, {QStringLiteral("OK")}, 0, 0});
}

void Prompter::warning(QWidget *parent, const QString &text, const QString &caption)
{
    message(parent, {Icon::Warning, caption, text, {QStringLiteral("OK")}, 0, 0});
}

void Prompter::critical(QWidget *parent, const QString &text, const QString &caption)
{
    message(parent, {Icon::Critical, caption, text, {QStringLiteral("OK")}, 0, 0});
}

bool Prompter::confirm(QWidget *parent, Icon icon, const QString &text, const QString &caption)
{
    return message(parent, {icon, caption, text, {QStringLiteral("Cancel"), QStringLiteral("OK")}, 0, 0}) == 1;
}

bool Prompter::askYesNo(QWidget *parent, Icon icon, const QString &text, const QString &caption)
{
    return message(parent, {icon, caption, text, {QStringLiteral("&Yes"), QStringLiteral("&No")}, 0, 1}) == 0;
}

int WidgetPrompter::message(QWidget *parent, const Message &box)
{
    static const QMessageBox::Icon icons[] = {QMessageBox::Information, QMessageBox::Warning,
                                              QMessageBox::Critical, QMessageBox::Question};
    QMessageBox mb(icons[int(box.icon)], box.caption, box.text, QMessageBox::NoButton, parent);
    QList<QPushButton *> pushButtons;
    for (const QString &text : box.buttons)
        pushButtons.append(mb.addButton(text, QMessageBox::ActionRole));
    if (box.defaultButton >= 0 && box.defaultButton < pushButtons.size())
        mb.setDefaultButton(pushButtons.at(box.defaultButton));
    if (box.escapeButton >= 0 && box.escapeButton < pushButtons.size())
        mb.setEscapeButton(pushButtons.at(box.escapeButton));
    mb.exec();
    const int pressed = int(pushButtons.indexOf(static_cast<QPushButton *>(mb.clickedButton())));
    return pressed >= 0 ? pressed : box.escapeButton;
}

QString WidgetPrompter::openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                     const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QStringList WidgetPrompter::openFileNames(QWidget *parent, const QString &caption, const QString &dir,
                                          const QString &filter)
{
    return QFileDialog::getOpenFileNames(parent, caption, dir, filter);
}

QString WidgetPrompter::saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                     const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

QString WidgetPrompter::saveFileNameAndFilter(QWidget *parent, const QString &caption, const QString &dir,
                                              const QString &filter, QString *selectedFilter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter, selectedFilter);
}

QString WidgetPrompter::existingDirectory(QWidget *parent, const QString &caption, const QString &dir)
{
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

int WidgetPrompter::exec(QDialog *dialog)
{
    return dialog->exec();
}
