#include "propertytextlabel.h"

#include "cataloguetext.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

const QString kLeader(44, QLatin1Char('.'));

} // namespace

propertyTextLabel::propertyTextLabel(QWidget *parent)
    : QLabel(parent)
    , m_editor(new QLineEdit(this))
    , m_combo(new QComboBox(this))
{
    setScaledContents(false);
    setMinimumWidth(40);
    // Reached with Tab; Return, Enter, F2 or Space opens it as a click does.
    setFocusPolicy(Qt::StrongFocus);
    m_editor->setObjectName(QStringLiteral("textedit"));
    m_editor->hide();
    m_editor->installEventFilter(this);
    m_combo->setObjectName(QStringLiteral("comboprop"));
    m_combo->hide();
    m_combo->installEventFilter(this);
    connect(m_editor, &QLineEdit::returnPressed, this, &propertyTextLabel::slot_update);
    connect(m_combo, &QComboBox::textActivated, this, &propertyTextLabel::slot_update_combo);
}

const QStringList &propertyTextLabel::categories()
{
    return CatalogueText::categories();
}

QString propertyTextLabel::displayText(const QString &value, const QFontMetrics &metrics, int fieldWidth,
                                       Qt::Alignment *alignment)
{
    const bool tooWide = metrics.horizontalAdvance(value) >= fieldWidth;
    if (alignment)
        *alignment = (tooWide ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
    return tooWide ? QStringLiteral("...") + value.mid(3) : value + kLeader;
}

void propertyTextLabel::setText(const QString &value)
{
    m_value = value;
    m_set = true;
    refreshDisplay();
}

void propertyTextLabel::refreshDisplay()
{
    if (!m_set)
        return;
    Qt::Alignment alignment;
    const QString shown = displayText(m_value, fontMetrics(), width(), &alignment);
    setAlignment(alignment);
    QLabel::setText(shown);
    setToolTip(m_value.trimmed().isEmpty() ? QString() : m_value);
}

void propertyTextLabel::openEditor()
{
    const QRect whole(0, 0, width(), height());
    if (m_kind == 0) {
        m_editor->setGeometry(whole);
        m_editor->setMaxLength(m_maxLength);
        // An empty value is stored as " ": the user starts from an empty editor, or
        // "Green meadow" typed in would be saved as " Green meadow".
        m_editor->setText(m_value == QLatin1String(" ") ? QString() : m_value);
        m_editor->setModified(false);
        m_editor->show();
        m_editor->setFocus(Qt::MouseFocusReason);
        return;
    }
    m_combo->setGeometry(whole);
    m_combo->clear();
    m_combo->addItems(categories());
    m_combo->setCurrentText(m_value);
    m_combo->show();
    m_combo->setFocus(Qt::MouseFocusReason);
    m_combo->showPopup();
}

void propertyTextLabel::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    if (m_editable)
        openEditor();
}

void propertyTextLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
    case Qt::Key_Space:
        if (m_editable)
            openEditor();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void propertyTextLabel::focusInEvent(QFocusEvent *event)
{
    QLabel::focusInEvent(event);
    setFrameShape(QFrame::Box);
}

void propertyTextLabel::focusOutEvent(QFocusEvent *event)
{
    QLabel::focusOutEvent(event);
    if (!m_hovered)
        setFrameShape(QFrame::NoFrame);
}

void propertyTextLabel::enterEvent(QEnterEvent *event)
{
    QLabel::enterEvent(event);
    m_hovered = true;
    setFrameShape(QFrame::Box);
}

void propertyTextLabel::leaveEvent(QEvent *event)
{
    QLabel::leaveEvent(event);
    m_hovered = false;
    if (!hasFocus())
        setFrameShape(QFrame::NoFrame);
    if (m_editor->isVisible())
        slot_update();
}

void propertyTextLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    refreshDisplay();
}

bool propertyTextLabel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor && m_editor->isVisible()) {
        const int key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent *>(event)->key() : 0;
        if (key == Qt::Key_Escape) {
            // Escape drops what was typed.
            m_editor->clear();
            m_editor->hide();
            setFocus();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // Taken here: passed on, the key would reach this field and open it again.
            slot_update();
            setFocus();
            return true;
        }
        // Moving the focus away commits, as leaving the field does.
        if (event->type() == QEvent::FocusOut)
            slot_update();
    } else if (watched == m_combo && event->type() == QEvent::FocusOut && !m_combo->view()->isVisible()) {
        m_combo->hide();
    }
    return QLabel::eventFilter(watched, event);
}

void propertyTextLabel::slot_update()
{
    if (!m_editor->isVisible())
        return;
    const QString typed = m_editor->text();
    const bool changed = m_editor->isModified() && typed != m_value;
    // Hidden first: hiding moves the focus, which would commit again.
    m_editor->hide();
    m_editor->clear();
    if (!changed)
        return;
    m_modified = true;
    setText(typed);
    if (typed != QLatin1String("") && typed != QLatin1String(" "))
        Q_EMIT SaveNewProperty();
}

void propertyTextLabel::slot_update_combo(const QString &chosen)
{
    m_modified = true;
    setText(chosen);
    m_combo->hide();
    // The list took the pointer: the field may have been left meanwhile.
    if (!underMouse()) {
        m_hovered = false;
        setFrameShape(QFrame::NoFrame);
    }
    Q_EMIT SaveNewProperty();
}
