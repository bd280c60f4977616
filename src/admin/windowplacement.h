#pragma once
#include <QWidget>

namespace admin {

// Centres a top-level window on the screen it belongs to.
void centreOnScreen(QWidget* window);

} // namespace admin
