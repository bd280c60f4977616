#pragma once
// The registry form "FIVNAT": which cell of the form takes which value of the follow-up window, in writing
// order, and the values collected from the window before the spreadsheet is touched.
#include "office/spreadsheet.h"

#include <QString>
#include <utility>
#include <vector>

class QWidget;

namespace pregnancy {

struct RegistryCell {
    enum class Source {
        Initials, // the first three letters of the surname, two blanks, the first name
        Item,     // the control's item as the record stores it (check boxes "0" / "1"), as text
        Date,     // a date box's item: a date when complete, otherwise its text
        Cross,    // a check box as "X", or nothing when clear
    };
    QString cell;
    QString control; // empty for Initials
    Source source = Source::Item;
    // What the form prints beside the cell, in its row (below it for A1), and above it where the same row
    // holds several cells (trimester or child); the sample form "FIVNAT.xls" is checked against them.
    QString caption;
    QString heading;
};

// The 98 cells in writing order.
const std::vector<RegistryCell>& registryCells();

// (cell, value) for every cell, in writing order. Only the date cells take dates: every other value is written
// as the text it is, so scores, dossier numbers and counts never turn into dates. A clear pathology box gives
// an empty value, which empties the cell.
std::vector<std::pair<QString, office::CellValue>> registryValues(const QWidget* window);

} // namespace pregnancy
