#pragma once
// A window's menu bar is reached from the keyboard whatever the desktop's style: F10, or Alt pressed and released
// alone, highlights its first menu; the arrows move along it, Enter opens the menu highlighted, Escape (or F10
// again) gives the keyboard back to the box it came from. The captions stay as they are. The registry sets it up
// for every window it loads.
class QWidget;

namespace platform {

void setUpMenuKeys(QWidget* window);

} // namespace platform
