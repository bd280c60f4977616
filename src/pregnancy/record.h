#pragma once
// The GROSSESSE row and the follow-up window's controls: one table says which control gives which item of
// which list column, and one pair of loops writes and reads every list.
#include <QString>
#include <QStringList>
#include <vector>

class QWidget;

namespace data {
class Recordset;
}
namespace platform {
class ShownRow;
}

namespace pregnancy {

// A list column and the controls of its items, in item order (control arrays as Name_0 .. Name_N).
struct ListColumn {
    QString column;
    QStringList controls;
};

// The eight list columns in their save order: identite, DIAGGROSS, TERG1, TERG2M, TERG2F, TERG2P, HOSPIT,
// ACCOUCHE.
const std::vector<ListColumn>& listColumns();

// The separator between items (carriage return, line feed).
inline const QString kItemSeparator = QStringLiteral("\r\n");

// An item as a list stores it: a line break inside it becomes a blank, so it can never shift the items after it.
QString listItem(const QString& item);
// Splits a stored list into exactly `count` items: missing items are empty (short list, empty or Null
// column), items beyond `count` are ignored.
QStringList splitList(const QString& text, int count);

// The item a control gives: text box and combo their text, label its caption, check box "0" or "1" (the
// comment box its text).
QString itemOf(const QWidget* control);
// Puts an item back; a check box is ticked only by the item 1 (a non-number reads as clear).
void setItem(QWidget* control, const QString& item);

// The comment as stored (line breaks CR LF, as every stored row holds them) and as the text box shows it.
QString storedComment(const QString& shown);
QString shownComment(const QString& stored);

// The named control of the window; throws std::logic_error when the window lacks it.
QWidget* control(const QWidget* window, const QString& name);

// ENREG_GROSS: Nom, Prenom, the eight lists and COMMENT of the row being edited or added. What shown holds
// of the row and its list items is written back as read while its control is unchanged; a list keeps its
// items beyond the window's controls.
void writeRecord(const QWidget* window, data::Recordset& rs, const platform::ShownRow& shown);
// AFFICHE_GROSS, steps 2 to 4: the current row into the controls (LblNomPren included), noted in shown.
void readRecord(QWidget* window, const data::Recordset& rs, platform::ShownRow& shown);

} // namespace pregnancy
