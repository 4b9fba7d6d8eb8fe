#pragma once

#include "prompter.h"

#include <QDialog>
#include <QList>
#include <QQueue>
#include <functional>

// A prompter for tests: records every exchange and answers from a script. A box
// with no scripted answer gets its escape button, a chooser an empty answer.
class ScriptedPrompter : public Prompter
{
public:
    QList<Message> messages;
    QQueue<int> answers;          // button indexes, in order
    QQueue<QString> fileAnswers;  // chooser answers, in order
    QQueue<int> dialogResults;    // exec() results, in order
    // Plays the user's part in a dialog (fills its fields) before its result is given.
    std::function<void(QDialog *)> onExec;
    QStringList choosers;         // captions of the file and folder choosers shown
    // Plays what the user does while a box is open (plugs a drive in) before answering.
    std::function<void(const Message &)> onMessage;

    int message(QWidget *, const Message &box) override
    {
        messages.append(box);
        if (onMessage)
            onMessage(box);
        return answers.isEmpty() ? box.escapeButton : answers.dequeue();
    }
    QString openFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return nextFile();
    }
    QStringList openFileNames(QWidget *, const QString &, const QString &, const QString &) override
    {
        const QString answer = nextFile();
        return answer.isEmpty() ? QStringList() : answer.split(QLatin1Char('\n'));
    }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &) override
    {
        return nextFile();
    }
    // The filter entry the user picks in a save chooser that tells it; none: left as offered.
    QQueue<QString> filterAnswers;
    QStringList chooserFolders;  // the folder each save chooser was opened in
    QString saveFileNameAndFilter(QWidget *, const QString &caption, const QString &dir, const QString &,
                                  QString *selectedFilter) override
    {
        choosers << caption;
        chooserFolders << dir;
        if (selectedFilter && !filterAnswers.isEmpty())
            *selectedFilter = filterAnswers.dequeue();
        return nextFile();
    }
    QString existingDirectory(QWidget *, const QString &caption, const QString &) override
    {
        choosers << caption;
        return nextFile();
    }
    int exec(QDialog *dialog) override
    {
        if (onExec)
            onExec(dialog);
        return dialogResults.isEmpty() ? QDialog::Rejected : dialogResults.dequeue();
    }

private:
    QString nextFile() { return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue(); }
};
