#pragma once
// Windows open at the size their filled content asks for, no larger than the screen's free area. Tall windows
// (the exam and follow-up records) put their contents into a scroll area so that they stay usable on a laptop
// screen.
class QBoxLayout;
class QComboBox;
class QLineEdit;
class QSize;
class QWidget;

namespace platform {

void makeScrollable(QWidget* window);

// The size the window needs to show its content without scrolling (the scrolled content's own size for a
// scrollable window).
QSize contentSize(const QWidget* window);

// Grows the window to its content's size, within the screen's free area, and keeps it on the screen; it never
// shrinks a window. Returns the size asked for.
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
