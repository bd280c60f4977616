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

// Joins items; a line break inside an item becomes a blank, so it can never shift the items after it.
QString joinList(const QStringList& items);
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

// ENREG_GROSS: Nom, Prenom, the eight lists and COMMENT of the row being edited or added.
void writeRecord(const QWidget* window, data::Recordset& rs);
// AFFICHE_GROSS, steps 2 to 4: the current row into the controls (LblNomPren included).
void readRecord(QWidget* window, const data::Recordset& rs);

} // namespace pregnancy
