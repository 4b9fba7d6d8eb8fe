#pragma once

#include "propertytextlabel.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest>

// What a user does to the organiser's widgets, shared by the tests that drive them.

// Types `text` into a property field of `page`: click, type, Return.
inline void typeInto(QWidget *page, const char *field, const QString &text)
{
    auto *label = page->findChild<propertyTextLabel *>(QLatin1String(field));
    QVERIFY(label);
    QTest::mouseClick(label, Qt::LeftButton);
    QLineEdit *editor = label->lineEditor();
    QVERIFY(editor->isVisible());
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
}

// Drags the files `paths` from another program onto `item` of `list` and drops them
// there; false when the list refused the drag as it entered.
inline bool dropFilesOn(QTreeWidget *list, QTreeWidgetItem *item, const QStringList &paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls << QUrl::fromLocalFile(path);
    data.setUrls(urls);
    const QPoint at = list->visualItemRect(item).center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &drop);
    return true;
}
