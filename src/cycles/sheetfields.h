#pragma once
// The cycle sheet window's controls paired with their FICHE columns (in the order a save writes them), how a
// column's value goes into its control and back, and the up-to-date rule on the couple's exams.
#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>

class QWidget;
namespace Ui {
class Form5;
}

namespace sheet {

struct Field {
    enum class Kind {
        Text,      // text as typed or chosen
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

// Text of a line edit, plain text edit or combo box.
QString controlText(const QWidget* control);
void setControlText(QWidget* control, const QString& text);

// The value to store for a field, and a stored value (Null included) shown in its control.
QVariant controlValue(const Field& field);
void setControlValue(const Field& field, const QVariant& value);

// "Dossier non à jour (...)" when an exam is out of date on "today", empty otherwise. "column" gives the text of
// an EXAMENS column of the couple's row.
QString staleExamWarning(const std::function<QString(const QString& column)>& column, const QDate& today);

} // namespace sheet
