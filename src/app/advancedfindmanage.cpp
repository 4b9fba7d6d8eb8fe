#include "advancedfindmanage.h"
#include "ui_findadvancedbase.h"
#include "ui_globalfindbase.h"

#include <QLineEdit>

advancedFindManage::advancedFindManage(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::FindAdvancedBase)
{
    ui->setupUi(this);
    ui->comboBoxAttribute->addItems({QStringLiteral("Title"), QStringLiteral("Filename"), QStringLiteral("Love"),
                                     QStringLiteral("Category"), QStringLiteral("Comment"),
                                     QStringLiteral("Subject")});
    connect(ui->comboBoxAttribute, qOverload<int>(&QComboBox::activated), this,
            &advancedFindManage::showConditionInt);
    connect(ui->comboBoxCondition, &QComboBox::textActivated, this, &advancedFindManage::ConditionConnect);
    connect(ui->buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
    showConditionInt(0);
}

advancedFindManage::~advancedFindManage()
{
    delete ui;
}

void advancedFindManage::showConditionInt(int attributePosition)
{
    ui->comboBoxAttribute->setCurrentIndex(attributePosition);
    ui->comboBoxCondition->clear();
    if (attributePosition == 2) {
        ui->comboBoxCondition->addItems({QStringLiteral("Equal To"), QStringLiteral("More Than"),
                                         QStringLiteral("Less Than")});
    } else if (attributePosition == 3) {
        ui->comboBoxCondition->addItems({QStringLiteral("Undefined"), QStringLiteral("Family"),
                                         QStringLiteral("Friends"), QStringLiteral("Sexy"), QStringLiteral("Art"),
                                         QStringLiteral("WallPaper"), QStringLiteral("holidays")});
    } else {
        ui->comboBoxCondition->addItems({QStringLiteral("Contains"), QStringLiteral("Exact Match")});
    }
}

void advancedFindManage::ConditionConnect(const QString &condition)
{
    if (ui->comboBoxAttribute->currentIndex() == 3)
        ui->lineEditValue->setText(condition);
}

QString advancedFindManage::attribute() const
{
    return ui->comboBoxAttribute->currentText();
}

QString advancedFindManage::condition() const
{
    return ui->comboBoxCondition->currentText();
}

QString advancedFindManage::value() const
{
    return ui->lineEditValue->text();
}

globalFind::globalFind(const QString &text, QWidget *parent)
    : QDialog(parent)
{
    Ui::globalFindBase form;
    form.setupUi(this);
    form.lineEditFind->setText(text);
    connect(form.buttonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(form.buttonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString globalFind::text() const
{
    return findChild<QLineEdit *>(QStringLiteral("lineEditFind"))->text();
}
