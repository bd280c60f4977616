#pragma once
// Tall windows (the exam and follow-up records) must stay usable on a laptop screen: their contents go into a
// scroll area, and the window opens no larger than the screen's free area.
class QWidget;

namespace platform {

void makeScrollable(QWidget* window);

} // namespace platform
