#pragma once
// The common part of the new dossier window and the modification window: the seventeen boxes built from one
// table, their key filters, the database path test and the return to the main window after a save.
#include "app/dossier.h"
#include "platform/forms.h"
#include "platform/rowwrite.h"

#include <array>

class QGridLayout;
class QLabel;
class QLineEdit;

namespace data {
class Database;
class Recordset;
}

class DossierWindow : public platform::Form {
    Q_OBJECT
public:
    // The box named as in the table ("NomTxt"), or nullptr.
    QLineEdit* box(const char* name) const;
    // Empties the seventeen boxes in table order.
    void clearBoxes();

    std::array<QLineEdit*, app::kDossierFieldCount> boxes{};
    std::array<QLabel*, app::kDossierFieldCount> labels{};

protected:
    // Builds the boxes and their captions into grid, two columns of pairs; partnerCaption names NomPartTxt.
    void buildBoxes(QGridLayout* grid, const QString& partnerCaption);
    // The path test of CHEMIN_BASE; a failure tells the user and ends the program.
    bool pathTestPasses();
    // Boxes from the current row, and the row's columns from the boxes (numero is never written): a box the
    // user left as the fill showed it gives back the value read.
    void fillBoxes(const data::Recordset& rs);
    void writeColumns(data::Recordset& rs) const;
    // After a save: the main window shows the current row of RS_DOSSIERS (or no couple when there is none),
    // with its age refreshed.
    static void showCurrentInMainWindow();

private:
    platform::ShownRow m_shown;
};
