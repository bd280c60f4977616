#pragma once
#include "platform/forms.h"
#include "platform/rowwrite.h"

#include <QList>
#include <memory>
#include <utility>

class QLineEdit;

namespace Ui {
class Form7;
}
namespace data {
class Database;
class Recordset;
} // namespace data

// The couple's work-up: one EXAMENS row shown in fifty controls, the exam dates with their validation and
// stale marks, and the derived values with the ovarian response score.
class Form7 : public platform::Form {
    Q_OBJECT
public:
    Form7();
    ~Form7() override;
    void Form_Load() override;

    std::unique_ptr<Ui::Form7> ui;

    // The fifty exam controls, in the order of data::examColumns().
    const QList<QWidget*>& examControls() const { return m_examControls; }
    // The nineteen date boxes.
    const QList<QLineEdit*>& dateBoxes() const { return m_dateBoxes; }

    // The couple the window was last filled for, and its EXAMENS row as the fill read it (none when the couple
    // had no row yet): the save writes that couple's row whatever the main window shows by then, and notices a
    // change another workstation saved after the fill.
    void setCouple(qint64 numero, std::shared_ptr<data::Recordset> row = {})
    {
        m_numero = numero;
        m_row = std::move(row);
        m_shown.clear();
    }
    // AFFICHE_3: the fifty controls from the current row of rs (the couple's row).
    void showExams(const data::Recordset& rs);
    qint64 couple() const { return m_numero; }

    // LblAge from the couple's birth date, then the BMI, the ratio and the score.
    void fillDerived(const QString& birthText);

    void ENREG_EXAMS();
    void VERIFIE_DATES();
    void CALCULE_SCORE();
    // Validates the date box being left; false keeps the focus in it.
    bool DateVALIDE(QLineEdit* box);

    void Command2_Click();
    void Quitte_Click();
    void Aide_Click();
    void TxtPds_Change();
    void TxtTaille_Change();
    void TxtFsh_Change();
    void TxtLh_Change();
    void TxtDateGen_DblClick();
    void TxtDategenM_DblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateBmi();
    void updateRatio();
    void updateScore();
    void copyGeneralDate(const QString& generalBox);
    // True (and forgets it) when leaving a date box was just refused: the click that tried to leave it
    // must not act.
    bool takeRefusedDate();
    // The date check every way a button acts goes through first; false stops the button.
    bool datesAccepted(bool everyBox);
    // Stores the addition pending on m_rs, the couple's first row, unless another workstation gave the couple
    // a row meanwhile: then asks changedQuestion, and Yes writes this window's values into that row.
    bool addFirstRow(const QString& changedQuestion);

    std::shared_ptr<data::Database> m_db;
    std::shared_ptr<data::Recordset> m_rs;
    std::shared_ptr<data::Recordset> m_row; // the couple's row as the fill read it
    platform::ShownRow m_shown;             // and what the controls showed of it
    QString m_sql;
    qint64 m_numero = -1;
    QList<QWidget*> m_examControls;
    QList<QLineEdit*> m_dateBoxes;
    bool m_dateRefused = false;
    bool m_validating = false;
};
