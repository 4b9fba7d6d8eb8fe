#pragma once

#include <QDialog>
#include <QStringList>

class Prompter;

namespace Ui {
class PeopleBase;
}

// The persons a picture can be tagged with: the subjects list, editable here, and the
// persons of one picture chosen from it.
class People : public QDialog
{
    Q_OBJECT

public:
    explicit People(Prompter *prompter, QWidget *parent = nullptr);
    ~People() override;

    // Shows the list sorted; the dialog keeps its own copy.
    void setSubjects(const QStringList &subjects);
    void selectPersons(const QStringList &persons);
    QStringList subjects() const;
    QStringList selectedPersons() const;

public Q_SLOTS:
    void slot_add();
    void slot_remove();

private:
    Ui::PeopleBase *ui;
    Prompter *m_prompter;
    QStringList m_subjects;
};
