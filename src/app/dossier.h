#pragma once
// What the main window and the two dossier windows share: the seventeen dossier columns with their boxes and
// labels, the database path test, the reopening of the dossier database and couple list, and the program end.
#include <QString>
#include <array>

namespace app {

struct DossierField {
    const char* box;       // text box of the dossier windows
    const char* column;    // CIVILITES column
    const char* label;     // caption beside the box
    const char* mainLabel; // identity label of the main window
};

inline constexpr int kDossierFieldCount = 17;
extern const std::array<DossierField, kDossierFieldCount> kDossierFields;

inline const QString kSqlCouplesByName = QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOM, PRENOM");
inline const QString kSqlCouplesByPartner = QStringLiteral("SELECT*FROM CIVILITES ORDER BY NOMPART, PRENOMPART");
inline const QString kSqlCouplesTableOrder = QStringLiteral("SELECT*FROM CIVILITES");

// The database path must end with exactly "INDUCTION.mdb" (case-sensitive).
bool databasePathPasses(const QString& path);

// BASE_DOSSIERS opened anew on CHEMIN_BASE. Throws data::DbError.
void reopenDossierBase();
// SQL_DOSSIERS set to sql and RS_DOSSIERS reopened from it on the current BASE_DOSSIERS. Throws data::DbError.
void reopenDossiers(const QString& sql);

// The couple number as the main window shows it: its leading whole number (64 bits, 0 for none), and that number
// in plain digits.
qint64 coupleNumber(const QString& caption);
QString coupleNumberText(const QString& caption);

// Ends the program through the registry's quit hook (tests replace it), or quits the event loop.
void endProgram();

} // namespace app
