// Whether a window holds work the user has not stored: the values of its editable controls compared with those
// it had when it was filled.
#include "platform/controls.h"
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
        const auto* edit = qobject_cast<const QLineEdit*>(w);
        const auto* text = qobject_cast<const QPlainTextEdit*>(w);
        const auto* button = qobject_cast<const QAbstractButton*>(w);
        // A combo's own edit box is its text, taken with the combo; a read-only box is not the user's.
        if (qobject_cast<const QComboBox*>(w) ||
            (edit && !edit->isReadOnly() && !qobject_cast<const QComboBox*>(edit->parentWidget())) ||
            (text && !text->isReadOnly()) || (button && button->isCheckable()))
            values << controlState(w);
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
