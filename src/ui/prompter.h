#pragma once

#include <QString>
#include <QStringList>

class QDialog;
class QWidget;

// Every modal exchange with the user (message boxes, questions, file and folder
// choosers, running a dialog) passes through one Prompter. The application installs
// a real one at start-up; tests install a scripted one, so no modal loop ever blocks
// a test and every text shown to the user can be checked.
class Prompter
{
public:
    enum class Icon { Information, Warning, Critical, Question };

    // A message box. `buttons` are the button texts in the order shown; the result is
    // the index of the button pressed, or `escapeButton` when the box is dismissed.
    struct Message
    {
        Icon icon = Icon::Information;
        QString caption = QStringLiteral("Vellaro");
        QString text;
        QStringList buttons = {QStringLiteral("OK")};
        int defaultButton = 0;
        int escapeButton = 0;
    };

    virtual ~Prompter();

    virtual int message(QWidget *parent, const Message &box) = 0;
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter) = 0;
    virtual QStringList openFileNames(QWidget *parent, const QString &caption, const QString &dir,
                                      const QString &filter) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                                 const QString &filter) = 0;
    virtual QString existingDirectory(QWidget *parent, const QString &caption, const QString &dir) = 0;
    // A save chooser that also tells which of the filter's entries the user picked:
    // `selectedFilter` names the entry shown first and receives the one chosen.
    virtual QString saveFileNameAndFilter(QWidget *parent, const QString &caption, const QString &dir,
                                          const QString &filter, QString *selectedFilter);
    // Runs `dialog` modally and returns its result code (QDialog::Accepted or Rejected).
    virtual int exec(QDialog *dialog) = 0;

    // Conveniences over message(), all captioned "Vellaro" unless told otherwise.
    void information(QWidget *parent, const QString &text, const QString &caption = QStringLiteral("Vellaro"));
    void warning(QWidget *parent, const QString &text, const QString &caption = QStringLiteral("Vellaro"));
    void critical(QWidget *parent, const QString &text, const QString &caption = QStringLiteral("Vellaro"));
    // A confirmation: Cancel first, OK second; true when OK was pressed.
    bool confirm(QWidget *parent, Icon icon, const QString &text,
                 const QString &caption = QStringLiteral("Vellaro"));
    // A Yes / No question; true on Yes.
    bool askYesNo(QWidget *parent, Icon icon, const QString &text,
                  const QString &caption = QStringLiteral("Vellaro"));
};

// The prompter real message boxes and choosers go through.
class WidgetPrompter : public Prompter
{
public:
    int message(QWidget *parent, const Message &box) override;
    QString openFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override;
    QStringList openFileNames(QWidget *parent, const QString &caption, const QString &dir,
                              const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &dir,
                         const QString &filter) override;
    QString existingDirectory(QWidget *parent, const QString &caption, const QString &dir) override;
    QString saveFileNameAndFilter(QWidget *parent, const QString &caption, const QString &dir, const QString &filter,
                                  QString *selectedFilter) override;
    int exec(QDialog *dialog) override;
};
