#pragma once
// What the user types into a window's boxes is what the window stores. The window registry sets up every
// window it loads:
// - an editable combo neither completes the typed text with one of its items nor adds the text to its list
//   on Enter, and shows a long text from its start when set from code or left; its list still drops down;
// - a one-line box (a text box, the box of an editable combo) turns pasted line breaks into blanks, so no
//   one-line column stores them; multi-line boxes keep theirs; it takes a text of any length;
// - the mouse wheel changes a control's value (a combo's item, a spin box, the calendar's month) only while
//   that control has the focus, and never gives the focus: over any other control it scrolls the window under
//   the pointer, or does nothing.
#include <QString>

class QWidget;

namespace platform {

void setUpInputBoxes(QWidget* window);

// A text made one line: each run of line breaks (CR, LF) inside it becomes one blank, those at either end go.
// pos, a caret position in text, is moved along.
QString oneLine(const QString& text, int* pos = nullptr);

} // namespace platform
