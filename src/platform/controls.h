#pragma once
// The text a control shows, whatever its kind: what the windows store and what they fill back. A combo box
// gives its edit text (a list item or whatever was typed).
#include <QString>
#include <QStringList>

class QComboBox;
class QWidget;

namespace platform {

QString controlText(const QWidget* control);
void setControlText(QWidget* control, const QString& text);
// What the user sees of a control's value: its text, or "0" / "1" for a check box or an option button.
QString controlState(const QWidget* control);

// Replaces a combo's list. A long list sizes the combo by its longest item's length in characters rather than
// by measuring every item, which takes tens of milliseconds at each first showing of a window.
void setItems(QComboBox* combo, const QStringList& items);

} // namespace platform
