#pragma once
// The main window's side of the exam window: its exams button and the procedures that fill the exam window
// from the couple shown.

namespace workup {

// Copies the couple's names from the main window into the exam window.
void AFFICHE_2();
// Fills the fifty exam controls from the current row of RS_DOSSIERS.
void AFFICHE_3();
// Empties the fifty exam controls.
void EFFACEXAMENS();

// The main window's "&Voir ou Modifier les Examens": opens the exam window for the couple shown and fills it
// from the couple's EXAMENS row, or empty when there is none. Does nothing when no couple is shown.
void CmdExamens_Click();

} // namespace workup
