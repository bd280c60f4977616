#pragma once
// The program-wide objects shared by the windows: the database path read at the main window's load, the
// dossier database with its couple list, and the pregnancy follow-up's database and row.
#include "data/database.h"

#include <QString>
#include <memory>

namespace data {

inline QString CHEMIN_BASE;
inline std::shared_ptr<Database> BASE_DOSSIERS;
inline std::shared_ptr<Recordset> RS_DOSSIERS;
inline QString SQL_DOSSIERS;

inline QString CHEMINS_BASE;
inline std::shared_ptr<Database> BASE_GROSS;
inline std::shared_ptr<Recordset> RS_GROSS;
inline QString SQL_GROSS;
inline bool GROSS_EXISTE = false;

// Settings names of the whole system.
inline const QString kSettingsApp = QStringLiteral("TALVENOR");
inline const QString kSettingsSection = QStringLiteral("FOLIVEX");

} // namespace data
