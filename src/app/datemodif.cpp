#include "datemodif.h"
#include "ui_datemodifbase.h"

#include "pixmaplookup.h"

#include <QCalendarWidget>
#include <QSpinBox>

DateModif::DateModif(QWidget *parent)
    : QDialog(parent)
{
    Ui::DateModifBase form;
    form.setupUi(this);
    setObjectName(QStringLiteral("date modif"));
    setModal(true);
    QPalette back = palette();
    back.setColor(QPalette::Window, QColor(200, 200, 200));
    setPalette(back);
    setAutoFillBackground(true);
    form.pixmapLeft->setPixmap(kivPixmap(QStringLiteral("ui-dialog-left-date.png")));
    form.buttonOk->setIcon(QIcon(kivPixmap(QStringLiteral("button_ok.png"))));
    form.buttonCancel->setIcon(QIcon(kivPixmap(QStringLiteral("button_cancel.png"))));
    m_calendar = form.axDate;
    connect(form.buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(form.buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void DateModif::setDate(int year, int month, int day)
{
    const QDate date(year, month, day);
    if (date.isValid())
        m_calendar->setSelectedDate(date);
}

QDate DateModif::date() const
{
    return m_calendar->selectedDate();
}

void DateModif::accept()
{
    // A year typed into the calendar's year field turns the page to that year without
    // choosing a day of it: the chosen day moves to the year shown.
    int year = m_calendar->yearShown();
    auto *yearField = m_calendar->findChild<QSpinBox *>();
    if (yearField && yearField->isVisible()) {
        yearField->interpretText();
        year = yearField->value();
    }
    const QDate chosen = m_calendar->selectedDate();
    if (chosen.isValid() && year != chosen.year()) {
        const QDate first(year, chosen.month(), 1);
        if (first.isValid())
            m_calendar->setSelectedDate(QDate(year, chosen.month(), qMin(chosen.day(), first.daysInMonth())));
    }
    QDialog::accept();
}
