#pragma once
// The text a control shows, whatever its kind: what the windows store and what they fill back. A combo box
// gives its edit text (a list item or whatever was typed).
#include <QString>

class QWidget;

namespace platform {

QString controlText(const QWidget* control);
void setControlText(QWidget* control, const QString& text);

} // namespace platform
