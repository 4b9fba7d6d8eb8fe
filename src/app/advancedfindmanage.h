#pragma once

#include <QDialog>

namespace Ui {
class FindAdvancedBase;
}

// The advanced find: a property, a condition that depends on it, and a value. For
// "Category" the condition list offers the categories, and choosing one writes it
// into the value.
class advancedFindManage : public QDialog
{
    Q_OBJECT

public:
    explicit advancedFindManage(QWidget *parent = nullptr);
    ~advancedFindManage() override;

    QString attribute() const;
    QString condition() const;
    QString value() const;

public Q_SLOTS:
    void showConditionInt(int attributePosition);
    void ConditionConnect(const QString &condition);

private:
    Ui::FindAdvancedBase *ui;
};

// The global find: one text, searched as the search bar searches it.
class globalFind : public QDialog
{
    Q_OBJECT

public:
    explicit globalFind(const QString &text, QWidget *parent = nullptr);
    QString text() const;
};
