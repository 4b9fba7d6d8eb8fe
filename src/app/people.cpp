#include "people.h"
#include "ui_peoplebase.h"

#include "cataloguetext.h"
#include "prompter.h"

People::People(Prompter *prompter, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::PeopleBase)
    , m_prompter(prompter)
{
    ui->setupUi(this);
    connect(ui->pushButtonAdd, &QPushButton::clicked, this, &People::slot_add);
    connect(ui->lineEditSubject, &QLineEdit::returnPressed, this, &People::slot_add);
    connect(ui->pushButtonRemove, &QPushButton::clicked, this, &People::slot_remove);
    connect(ui->buttonOk, &QPushButton::clicked, this, &QDialog::accept);
}

People::~People()
{
    delete ui;
}

void People::setSubjects(const QStringList &subjects)
{
    ui->listBoxSubjects->clear();
    m_subjects = subjects;
    QStringList sorted = subjects;
    sorted.sort();
    ui->listBoxSubjects->addItems(sorted);
}

void People::selectPersons(const QStringList &persons)
{
    for (const QString &person : persons) {
        const QList<QListWidgetItem *> found = ui->listBoxSubjects->findItems(person, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (!found.isEmpty())
            found.first()->setSelected(true);
    }
}

QStringList People::subjects() const
{
    QStringList all;
    for (int i = 0; i < ui->listBoxSubjects->count(); ++i)
        all << ui->listBoxSubjects->item(i)->text();
    return all;
}

QStringList People::selectedPersons() const
{
    QStringList selected;
    for (int i = 0; i < ui->listBoxSubjects->count(); ++i) {
        if (ui->listBoxSubjects->item(i)->isSelected())
            selected << ui->listBoxSubjects->item(i)->text();
    }
    return selected;
}

void People::slot_add()
{
    const QString name = ui->lineEditSubject->text();
    if (name.isEmpty())
        return;
    if (!ui->listBoxSubjects->findItems(name, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty()) {
        if (m_prompter)
            m_prompter->information(this, QStringLiteral("This subject is already in the DataBase\nchoose another "
                                                         "subject name"));
        return;
    }
    // A picture's persons are joined with ",": a name holding one would split in two.
    const QString refusal = CatalogueText::subjectRefusal(name);
    if (!refusal.isEmpty()) {
        if (m_prompter)
            m_prompter->information(this, refusal);
        return;
    }
    m_subjects << name;
    ui->listBoxSubjects->addItem(name);
    ui->lineEditSubject->clear();
}

void People::slot_remove()
{
    QListWidgetItem *current = ui->listBoxSubjects->currentItem();
    if (!current || current->text() == QLatin1String("Undefined"))
        return;
    m_subjects.removeOne(current->text());
    delete current;
}
