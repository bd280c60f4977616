#pragma once
// Windows open at the size their filled content asks for, no larger than the screen's free area leaves them with
// their frame. Tall windows (the exam and follow-up records) put their fields into a scroll area so that they
// stay usable on a laptop screen; their commands stay below it, always in view.
class QBoxLayout;
class QComboBox;
class QLineEdit;
class QSize;
class QWidget;

namespace platform {

// The window's fields go into a scroll area; the rows of push buttons that end its layout stay below it.
void makeScrollable(QWidget* window);

// The size the window needs to show its content without scrolling (for a scrollable window, its fields' own
// size with its menu bar and commands).
QSize contentSize(const QWidget* window);

// Grows the window to its content's size, within the room the screen leaves it with its frame; it shrinks only a
// window larger than that room. Returns the size asked for.
QSize growToContent(QWidget* window);

// On a screen too narrow for the row side by side, its parts go one under the other, in the same order: the
// window may then scroll up and down, never sideways. Call before makeScrollable().
void stackWhenNarrow(QWidget* window, QBoxLayout* row);

// A date box always shows a whole date ("00/00/0000") in the font it has, also after its font changes (stale
// dates are shown larger).
void keepDateWhole(QLineEdit* box);

// A box at least wide enough for that many characters of its font.
void fitCharacters(QLineEdit* box, int characters);
void fitCharacters(QComboBox* box, int characters);

} // namespace platform
