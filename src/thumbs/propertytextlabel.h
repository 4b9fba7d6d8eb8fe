#pragma once

#include <QLabel>

class QComboBox;
class QLineEdit;

// One field of the property panel: it looks like a label and turns into a line editor
// (kind 0) or a category drop-down (any other kind) when clicked. The label shows a
// shortened or dot-padded form of the value; text() is always the whole value.
class propertyTextLabel : public QLabel
{
    Q_OBJECT

public:
    explicit propertyTextLabel(QWidget *parent = nullptr);

    // The categories the drop-down offers, in order.
    static const QStringList &categories();
    // What the label shows for `value` in a field `fieldWidth` pixels wide measured
    // with `metrics`: "..." and the value without its first three characters when it
    // does not fit (aligned right), else the value followed by a dot leader.
    static QString displayText(const QString &value, const QFontMetrics &metrics, int fieldWidth,
                               Qt::Alignment *alignment = nullptr);

    void setText(const QString &value);
    QString text() const { return m_value; }
    int kind() const { return m_kind; }
    void setKind(int kind) { m_kind = kind; }
    bool isEditable() const { return m_editable; }
    void setEditable(bool editable) { m_editable = editable; }
    int maxLength() const { return m_maxLength; }
    void setMaxLength(int length) { m_maxLength = length; }
    bool isModified() const { return m_modified; }
    void setModified(bool modified) { m_modified = modified; }
    void setTitleWidth(int width) { m_titleWidth = width; }

    QLineEdit *lineEditor() const { return m_editor; }
    QComboBox *comboBox() const { return m_combo; }
    bool isHovered() const { return m_hovered; }

Q_SIGNALS:
    void SaveNewProperty();

public Q_SLOTS:
    void slot_update();
    void slot_update_combo(const QString &chosen);

protected:
    // Opens the editor; the variants below report the press instead.
    virtual void openEditor();
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refreshDisplay();

    QString m_value;
    QLineEdit *m_editor;
    QComboBox *m_combo;
    int m_kind = 0;
    bool m_editable = true;
    int m_maxLength = 32767;
    bool m_modified = false;
    bool m_set = false;
    bool m_hovered = false;
    int m_titleWidth = 20;
};

// The persons field (and the album's date field): a press is reported, not edited here.
class propertyTextLabelDate : public propertyTextLabel
{
    Q_OBJECT

public:
    using propertyTextLabel::propertyTextLabel;

Q_SIGNALS:
    void pressEventDate();

protected:
    void openEditor() override { Q_EMIT pressEventDate(); }
};

// The file-name field (and the album's "From" field): a press starts the rename.
class propertyTextLabelFilename : public propertyTextLabel
{
    Q_OBJECT

public:
    using propertyTextLabel::propertyTextLabel;

Q_SIGNALS:
    void pressEventFilename();

protected:
    void openEditor() override { Q_EMIT pressEventFilename(); }
};
