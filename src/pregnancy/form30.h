#pragma once
// The pregnancy follow-up of one cycle sheet ("Suivi grossesse"): shown over the hidden cycle sheet window,
// filled from its GROSSESSE row or, for a new follow-up, from the cycle sheet window; saves the row and fills
// the registry form.
#include "office/spreadsheet.h"
#include "platform/forms.h"
#include "platform/rowwrite.h"

#include <QString>
#include <memory>
#include <optional>

namespace Ui {
class Form30;
}

namespace data {
class Database;
class Recordset;
}

class Form30 : public platform::Form {
    Q_OBJECT
public:
    Form30();
    ~Form30() override;

    // The cycle sheet window's way in, once it has set the pregnancy globals (data::CHEMINS_BASE,
    // GROSS_EXISTE, ...): shows the follow-up of the sheet it shows. A follow-up already open for another
    // sheet is replaced. Returns nullptr when no follow-up could be opened (the user was told why): the cycle
    // sheet window then stays shown, so it hides itself only on a window returned.
    static Form30* openFollowUp();

    void Form_Load() override;
    void Form_Unload(bool& cancel) override;

    void AFFICHE_GROSS();
    void AFFICHE_GROSS_CREE();
    void ENREG_GROSS();
    void CREEXCEL();

    void CmdEnreg_Click();
    void CmdQuitte_Click();
    void CmdImprim_Click();

    // The registry form the print button opened last (left open for the user).
    const office::ExcelApp& registryForm() const { return m_excel; }

    std::unique_ptr<Ui::Form30> ui;

private:
    bool fill();
    // The notice when another workstation deleted the couple or the sheet this follow-up belongs to; empty when
    // both are there. grossDb is the follow-up's database (the same file as the sheets' in the usual setup).
    QString ownerGone(data::Database& grossDb) const;
    // Stores the new row pending on RS_GROSS, under the write lock, unless what it belongs to is gone or
    // another workstation gave the sheet its follow-up meanwhile (then the user chooses).
    bool addFollowUp(const QString& changedQuestion);

    QString m_modele;        // the registry template's file name
    office::ExcelApp m_excel; // the registry form this window opened last
    qint64 m_sheet = 0;      // internal number of the sheet shown
    qint64 m_couple = 0;        // its couple, as the cycle sheet window showed it
    // The stored row as the window showed it, and its database; none for a new follow-up.
    std::shared_ptr<data::Recordset> m_row;
    std::shared_ptr<data::Database> m_rowDb;
    platform::ShownRow m_shown; // what the controls showed of that row
    bool m_replaced = false; // unloaded to open another sheet: the cycle sheet window stays hidden
};

namespace pregnancy {
// The internal number of a sheet: a positive whole number, or nothing (no follow-up for such a sheet).
std::optional<qint64> sheetNumber(const QString& text);
// Opens data::BASE_GROSS, SQL_GROSS and RS_GROSS on the sheet's row (CHEMINS_BASE from the settings when
// not set); true when the row exists. Throws data::DbError.
bool lookUpFollowUp(qint64 sheet);
} // namespace pregnancy
