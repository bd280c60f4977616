#include "platform/waiting.h"

#include "platform/progresswindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <memory>

namespace platform {

void waitFor(const QString& what, const std::function<bool()>& done, int limitMs,
             const std::function<void(qint64)>& overdue, int showAfterMs)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || QThread::currentThread() != qApp->thread()) {
        while (!done())
            QThread::msleep(10);
        return;
    }
    QElapsedTimer clock;
    clock.start();
    qint64 limit = limitMs;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::unique_ptr<ProgressWindow> window;
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
            return;
        }
        if (!window && clock.elapsed() >= showAfterMs) {
            // Input to the program's other windows is refused from now on, not kept for later.
            loop.quit();
            return;
        }
        if (clock.elapsed() >= limit) {
            tick.stop();
            overdue(clock.elapsed());
            limit = clock.elapsed() + limitMs;
            tick.start();
        }
    });
    tick.start();
    // Quick work shows nothing; what the user types meanwhile waits for it.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!done()) {
        window = std::make_unique<ProgressWindow>(what);
        window->tell(QString(), -1);
        window->adjustSize();
        window->setFixedSize(window->size());
        if (const QScreen* screen = QApplication::activeWindow() ? QApplication::activeWindow()->screen()
                                                                 : QGuiApplication::primaryScreen())
            window->move(screen->availableGeometry().center() - window->rect().center());
        window->show();
        loop.exec();
        window->hide();
    }
    QApplication::restoreOverrideCursor();
}

} // namespace platform
