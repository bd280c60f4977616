#pragma once
// Cycle sheet (FICHE) rules shared by the creation window and the cycle sheet window: the couple's sheet
// query, the number a new sheet gets and where its workbook lives.
#include "data/database.h"

#include <QDate>
#include <QString>
#include <memory>

namespace cycles {

// NomFichier of a sheet saved without a workbook.
inline const QString kNoWorkbook = QStringLiteral("Pas de Fiche stim");

// "SELECT*FROM FICHE WHERE NUMERO=12 ORDER BY NUMFICH" and its criteria "NUMERO=12".
QString sheetsQuery(qint64 couple);
QString sheetsCriteria(qint64 couple);

// One past the couple's highest NUMFICH (a freed number below it is not given again); 1 for a first sheet.
int nextSheetNumber(const std::shared_ptr<data::Database>& db, qint64 couple);

// The workbook name of a new sheet: five letters of the surname, two of the first name, the sheet number,
// "_" and the day number of the save: MARTICl3_38426.xls.
QString workbookFileName(const QString& surname, const QString& firstName, const QString& sheet,
                         const QDate& day);

// fileName when it is free, otherwise the first of fileName with "_2", "_3" ... before ".xls" that is: no sheet
// names it and no file of the workbook folder bears it. Two couples whose names begin alike never share a
// workbook, and no file is ever written over. Taken under the write lock, together with the sheet number, it
// stays free until the sheet that names it is stored. Throws data::DbError.
QString freeWorkbookName(data::Database& db, const QString& fileName);

// The workbook directory (setting CheminXls, read at each use; the program directory when unset or empty) and
// a file in it. The creation window saves there, the cycle sheet window opens from there and the backup copies
// it.
QString workbookDir();
QString workbookPath(const QString& fileName);

} // namespace cycles
