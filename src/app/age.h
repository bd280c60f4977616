#pragma once
// The woman's age on the main window, from the birth date caption of NeeLbl.
#include <QString>
#include <optional>

namespace app {

// Whole years by the birthday on today's date, when the text reads as a date.
std::optional<int> ageFromBirthText(const QString& birthText);

// AgeLbl gets "N ans"; a birth date that does not read as a date empties AgeLbl and NeeLbl.
void AFFICHE_AGE();
// AgeLbl in red above 43 years, else in the window-text colour.
void COLORE_AGE();

} // namespace app
