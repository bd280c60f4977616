#pragma once
// Key-by-key input filters in the manner of a KeyPress handler: the filter receives the typed character's code
// (8 for Backspace, 13 for Enter) and returns the code to insert, 0 to drop the key.
#include <QLineEdit>
#include <functional>

namespace platform {

using KeyFilterFn = std::function<int(int keyAscii)>;

void installKeyFilter(QWidget* edit, KeyFilterFn filter);

// Common filters.
int upperCaseKey(int keyAscii);            // letters to upper case (é stays é, as the system's UCase of a key)
int dropApostropheUpperKey(int keyAscii);  // search boxes: upper case, apostrophe dropped
int dateKey(int keyAscii);                 // digits, "/" and Backspace
int digitsKey(int keyAscii);               // digits and Backspace
int digitsCommaKey(int keyAscii);          // digits, "," and Backspace
int digitsCommaDotKey(int keyAscii);       // digits, "," (a "." becomes ",") and Backspace

// A decimal box: digitsCommaDotKey, with one decimal comma at most (a second one, or a "." after it, types
// nothing).
void installDecimalKeyFilter(QLineEdit* edit);

// Alt with a key that is no access key types nothing in the window's text boxes (it would insert the letter).
void dropUnusedAltKeys(QWidget* box);

} // namespace platform
