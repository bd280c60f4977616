#pragma once
// Creation of a new cycle sheet for the couple the main window shows: products, dates, the protocol
// workbook built from a template and the new FICHE row.
#include "data/database.h"
#include "office/spreadsheet.h"
#include "platform/forms.h"

#include <QString>
#include <memory>
#include <optional>

namespace Ui {
class Form6;
}
class QMenuBar;
class QPushButton;

class Form6 : public platform::Form {
    Q_OBJECT
public:
    Form6();
    ~Form6() override;

    void Form_Load() override;

    // Public procedures.
    void DECH_EXCEL();
    void EFFACEFICHE();
    void CREEFICHE();
    void AFFICHE();
    void CREEXCEL();

    // Handlers.
    void Aide_Click();
    void CmdNouvFiche_Click();
    void CmdQuitte_Click();
    void Command_Click(int protocol); // Command1 .. Command10
    void Command11_Click();
    void MonthView1_DateClick();
    void OptBloc_Click();
    void OptStim_Click();
    void reserve_Click();

    // Command1 .. Command10.
    QPushButton* protocolButton(int n) const;
    // The couple the window was loaded for (0 when it refused to load).
    qint64 couple() const { return m_couple; }
    QString templateName() const { return m_template; }

    std::unique_ptr<Ui::Form6> ui;
    QMenuBar* menuBar = nullptr;

private:
    bool loadWindow();
    void checkExamDates();
    void reopenDatabase();
    // The workbook stored whole under a hidden name in the workbook folder, waiting for its sheet; kNoWorkbook
    // when the user goes on without it; empty when he declined (the window closes); nothing when the save is
    // not done and the window stays (the user was told why).
    std::optional<QString> stageWorkbook();
    void dropStaged();
    void closeWindow();
    // The couple's sheet number as it now stands in the database, shown, and (intoWorkbook) in the open
    // workbook's number cell when the personalisation wrote it there.
    void showSheetNumber(int number, bool intoWorkbook = true);
    // The workbook file name for the number shown, before the "_2" rule.
    QString plannedWorkbookName() const;
    enum class Stored { Yes, Again, Refused };
    // Takes the sheet number and the workbook's name, puts the workbook in place and adds the row, under the
    // write lock: no two sheets of a couple share a number, no two sheets a workbook, and the row names the file
    // in place. Again: the number changed, the workbook is to be stored again with the new one. Refused: the user
    // was told why (the couple deleted meanwhile, the workbook not put in place).
    Stored storeSheet(const QString& workbook);

    qint64 m_couple = 0;
    std::shared_ptr<data::Database> m_db;
    std::shared_ptr<data::Recordset> m_rs;
    QString m_sql;
    QString m_template;
    office::ExcelApp m_excel;
    // The workbook stored for the sheet (hidden, complete), until the sheet naming it is stored.
    QString m_staged;
    QString m_nomFichier; // NomFichier of the row CREEFICHE adds
    bool m_numberInWorkbook = false; // the open workbook's N8 holds LblNumFich
};

// The main window's "Créer une nouvelle Fiche de Stimulation": opens the creation window for the couple
// shown (it refuses without one), or brings an open one to the front.
void openCreationWindowFromMain();
