// Whether a window holds work the user has not stored: the values of its editable controls compared with those
// it had when it was filled.
#include "platform/forms.h"
#include "platform/messages.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace platform {

QStringList Form::editedValues() const
{
    QStringList values;
    for (const QWidget* w : findChildren<QWidget*>()) {
        if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
            values << combo->currentText();
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
            // A combo's own edit box is its text, taken above; a read-only box is not the user's.
            if (!edit->isReadOnly() && !qobject_cast<const QComboBox*>(edit->parentWidget()))
                values << edit->text();
        } else if (const auto* text = qobject_cast<const QPlainTextEdit*>(w)) {
            if (!text->isReadOnly())
                values << text->toPlainText();
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
            if (button->isCheckable())
                values << QString::number(button->isChecked());
        }
    }
    return values;
}

void Form::markSaved()
{
    m_saved = editedValues();
    m_marked = true;
}

bool Form::unsavedChanges() const { return m_marked && editedValues() != m_saved; }

bool Form::mayDiscard(const QString& question)
{
    if (!unsavedChanges() || askYesNo(question))
        return true;
    show();
    raise();
    activateWindow();
    return false;
}

} // namespace platform
