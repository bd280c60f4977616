#pragma once
// The cycle sheet window: one couple's stimulation cycle sheets, one at a time, with their retrieval, transfer and
// result; saving, deleting, the cycle workbook, the way to the pregnancy follow-up and the operative report.
#include "cycles/report.h"
#include "data/database.h"
#include "office/spreadsheet.h"
#include "platform/forms.h"
#include "platform/rowwrite.h"

#include <memory>

namespace Ui {
class Form5;
}

class Form5 : public platform::Form {
    Q_OBJECT
public:
    Form5();
    ~Form5() override;

    void Form_Load() override;

    // Puts the current row of the window's sheets into the controls.
    void AFFICHEFICHE();
    // Composes the operative report of what the controls show now.
    report::Page IMPRIME() const;

    // The couple whose sheets the window shows (fixed by its load, never the main window's current one).
    qint64 couple() const { return m_couple; }

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Check1_Click();
    void TxtNumPat_Change();
    void CmdModif_Click();
    void CmdSupprimer_Click();
    void CmdQuitte_Click();
    void CmdCree_Click();
    void reserve_Click();
    void Aide_Click();
    void CmdOuvrXls_Click();
    void Command5_Click();
    void CmdCRO_Click();
    void Cro_Click();

    std::unique_ptr<Ui::Form5> ui;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void loadCouple(qint64 couple);
    QString reportPdfPath() const;
    void loadReferenceLists();
    void checkExams();
    bool openSheets();
    void clearSheet();
    void browse(void (data::Recordset::*move)(), bool (data::Recordset::*passed)() const,
                void (data::Recordset::*back)());
    void reloadAndMove(void (data::Recordset::*move)());
    bool hasCurrentSheet() const;

    std::shared_ptr<data::Database> m_db;
    std::shared_ptr<data::Recordset> m_rs;
    platform::ShownRow m_shown; // the sheet shown, as its controls showed it
    QString m_sql;
    qint64 m_couple = 0;
    office::ExcelApp m_app;
    QString m_appPath;
};
