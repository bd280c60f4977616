#pragma once
// Windows are sized and placed with the frame the desktop draws around them (title bar and borders), so that
// each one stands whole in the free area of its screen.
#include <QMargins>
#include <QRect>
#include <optional>

class QWidget;

namespace platform {

// The desktop's frame around the window: measured once the window is framed; before that the frame last
// measured on another window, or a title bar and borders as large as common desktops draw them. None for a
// frameless window.
QMargins frameMargins(const QWidget* window);

// For a platform that draws no frame of its own (the offscreen platform of tests): every framed window counts
// this one instead. std::nullopt measures again.
void assumeFrameMargins(std::optional<QMargins> margins);

// The window's rectangle on the screen, frame included.
QRect framedGeometry(const QWidget* window);

// The screen's free area (without its panels) for the window.
QRect freeArea(const QWidget* window);

// The largest size the window may take for its frame to fit in the free area.
QSize roomOnScreen(const QWidget* window);

// Moves the window, and shrinks it if it is too large, so that it stands whole, frame included, in the free area.
void keepWhole(QWidget* window);

// Centres the window, frame included, in the free area.
void centreOnScreen(QWidget* window);

} // namespace platform
