#pragma once
#include "platform/forms.h"

#include <QString>
#include <memory>

namespace data {
class Recordset;
}

class QAction;
class QLineEdit;
class QMenuBar;

namespace Ui {
class Form4;
}

// The main window: the current couple, browsing and search, and the commands that open every other window.
// Closing it ends the program, except through the backup menu, after which the backup window brings it back
// with showMainWindow() (a fresh load: settings, path test, database, letterhead).
class Form4 : public platform::Form {
    Q_OBJECT
public:
    Form4();
    ~Form4() override;
    void Form_Load() override;
    void Form_Unload(bool& cancel) override;

    // The eighteen identity labels from the current row of RS_DOSSIERS, and their clearing.
    void AFFICHE();
    void EFFACAFFICHE();
    // The couple's names and number into the cycle sheet window (loads it when it is not loaded).
    void AFFICHE_1();

    // Move buttons and search boxes.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Text1_Change();
    void Text2_Change();

    // Commands.
    void CmdCreeDossier_Click();
    void CmdModifie_Click();
    void CmdSupprime_Click();
    void CmdCreerFiche_Click();
    void CmdOuvrirFiche_Click();
    void CmdExamens_Click();
    void CmdStat_Click();
    void CmdQuitter_Click();
    // Menus.
    void Options_Click();
    void reserve_Click();
    void Sauve_Click();
    void Entete_Click();
    void Propos_Click();
    void Aide_Click();

    std::unique_ptr<Ui::Form4> ui;
    QMenuBar* menuBar = nullptr;
    QAction* Options = nullptr;
    QAction* reserve = nullptr;
    QAction* Sauve = nullptr;
    QAction* Entete = nullptr;
    QAction* Propos = nullptr;
    QAction* Aide = nullptr;

    // The last cycle-sheet query text of the cycle-sheet opening.
    QString sqlFiches;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The close box ends the program: asked first when other windows hold unsaved work.
    bool mayClose() override { return m_ending || platform::forms().mayEndProgram(); }

private:
    enum class Move { First, Last, Previous, Next };
    void moveTo(Move move);
    void search(QLineEdit* box, const QString& sql, const QString& column);
    bool coupleShown() const;
    // Whether the current row of RS_DOSSIERS is the couple the identity labels show (by its names).
    bool showsCurrentCouple() const;
    bool showsCoupleOf(const data::Recordset& rs) const;
    // Before a command opens a window on the couple shown: false, once the user is told and the list read
    // again, when the number shown holds another couple in the file in place (a backup restored meanwhile) or
    // the couple was renamed there. A couple gone is left to the command, which says so itself.
    bool coupleShownStillInFile();
    // The couple list reopened in name order, on its first row.
    void reopenCoupleList();
    void leave(); // ends the program from the load

    bool m_toBackup = false; // closed by the backup menu: the program goes on
    bool m_ending = false;   // the program end is already under way
};

// Loads (afresh when it was closed) and shows the main window.
Form4* showMainWindow();
