#pragma once

#include <QDate>
#include <QDialog>

class QCalendarWidget;

// Picks a calendar date for a picture or an album.
class DateModif : public QDialog
{
    Q_OBJECT

public:
    explicit DateModif(QWidget *parent = nullptr);
    void setDate(int year, int month, int day);
    QDate date() const;
    QCalendarWidget *calendar() const { return m_calendar; }
    // A year typed into the calendar's year field and not yet taken (Return also
    // presses the dialog's OK) becomes the chosen date's year first.
    void accept() override;

private:
    QCalendarWidget *m_calendar;
};
