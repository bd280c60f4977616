#include "platform/windowframe.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace platform {

namespace {

// Before any window is framed: a title bar and borders no smaller than the usual desktops'.
constexpr QMargins kUsualFrame(8, 40, 8, 8);

std::optional<QMargins>& assumedFrame()
{
    static std::optional<QMargins> frame;
    return frame;
}

// The frame last measured: windows opened later are sized with it before their own is known.
std::optional<QMargins>& learntFrame()
{
    static std::optional<QMargins> frame;
    return frame;
}

// Puts the window so that its frame covers framed.
void placeFramed(QWidget* window, const QRect& framed)
{
    // The client rectangle, not the frame's corner: a window not yet framed would otherwise be placed by a
    // frame it does not have.
    window->setGeometry(framed.marginsRemoved(frameMargins(window)));
}

} // namespace

QMargins frameMargins(const QWidget* window)
{
    if (window->windowFlags() & Qt::FramelessWindowHint)
        return {};
    if (assumedFrame())
        return *assumedFrame();
    if (window->isVisible() && window->windowHandle()) {
        const QRect inner = window->geometry();
        const QRect outer = window->frameGeometry();
        const QMargins measured(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                                outer.bottom() - inner.bottom());
        if (!measured.isNull()) {
            learntFrame() = measured;
            return measured;
        }
    }
    return learntFrame().value_or(kUsualFrame);
}

void assumeFrameMargins(std::optional<QMargins> margins) { assumedFrame() = margins; }

QRect framedGeometry(const QWidget* window) { return window->geometry().marginsAdded(frameMargins(window)); }

QRect freeArea(const QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QSize roomOnScreen(const QWidget* window)
{
    const QMargins frame = frameMargins(window);
    return freeArea(window).size().shrunkBy(frame);
}

void keepWhole(QWidget* window)
{
    const QRect free = freeArea(window);
    if (!free.isValid())
        return;
    const QRect now = framedGeometry(window);
    QRect framed = now;
    framed.setSize(framed.size().boundedTo(free.size()));
    framed.moveLeft(qBound(free.left(), framed.left(), free.right() + 1 - framed.width()));
    framed.moveTop(qBound(free.top(), framed.top(), free.bottom() + 1 - framed.height()));
    if (framed != now)
        placeFramed(window, framed);
}

void centreOnScreen(QWidget* window)
{
    const QRect free = freeArea(window);
    if (!free.isValid())
        return;
    QRect framed = framedGeometry(window);
    framed.setSize(framed.size().boundedTo(free.size()));
    framed.moveCenter(free.center());
    placeFramed(window, framed);
}

} // namespace platform
