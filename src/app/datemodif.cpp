#include "datemodif.h"
#include "ui_datemodifbase.h"

#include "pixmaplookup.h"

#include <QCalendarWidget>

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
