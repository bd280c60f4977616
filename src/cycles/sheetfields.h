#pragma once
#include "platform/controls.h"
// The cycle sheet window's controls paired with their FICHE columns (in the order a save writes them), how a
// column's value goes into its control and back.
#include <QList>
#include <QString>
#include <QVariant>

class QWidget;
namespace Ui {
class Form5;
}

namespace sheet {

struct Field {
    enum class Kind {
        Text,      // text as typed or chosen
        DateText,  // a date box stored as typed, the empty text when it holds only blanks
        DayNumber, // a date box stored as a day number, Null when the box holds no date
        Check,     // check box state, 0 or 1
        Whole,     // a whole number typed in a box
    };
    const char* column;
    Kind kind;
    QWidget* control;
};

// The 26 columns a save rewrites, in its order.
QList<Field> fields(const Ui::Form5& ui);

using platform::controlText;
using platform::setControlText;

// The cycle windows' rule for their date boxes: each holds a date or nothing (blanks only count as nothing).
bool dateAccepted(const Field& field);
bool datesAccepted(const QList<Field>& fields);

// The value to store for a field, and a stored value (Null included) shown in its control.
QVariant controlValue(const Field& field);
void setControlValue(const Field& field, const QVariant& value);

} // namespace sheet
