#include "platform/progresswindow.h"

#include "platform/messages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <mutex>
#include <thread>

namespace platform {

ProgressWindow::ProgressWindow(const QString& what)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("ProgressWindow"));
    setWindowTitle(appTitle());
    setWindowModality(Qt::ApplicationModal);
    auto* text = new QLabel(what, this);
    text->setWordWrap(true);
    m_step = new QLabel(this);
    m_bar = new QProgressBar(this);
    m_step->setWordWrap(true);
    m_bar->setRange(0, 1000);
    m_bar->setFormat(QStringLiteral("%p\u00a0%"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_step);
    layout->addWidget(m_bar);
    setFixedWidth(480);
}

void ProgressWindow::tell(const QString& step, double done)
{
    m_step->setText(step);
    // How far not known: a moving bar, until it is known again.
    m_bar->setRange(0, done < 0 ? 0 : 1000);
    m_bar->setValue(done < 0 ? 0 : int(done * 1000));
}

void ProgressWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

namespace {

// What the worker tells, read by the user-interface thread.
class SharedProgress final : public data::Progress {
public:
    void report(const QString& step, double done) override
    {
        const std::lock_guard lock(m_mutex);
        m_step = step;
        m_done = done;
    }
    void tell(ProgressWindow& window) const
    {
        std::unique_lock lock(m_mutex);
        const QString step = m_step;
        const double done = m_done;
        lock.unlock();
        window.tell(step, done);
    }

private:
    mutable std::mutex m_mutex;
    QString m_step;
    double m_done = 0;
};

// What the user does before the window shows is dropped, as the window drops it once shown: nothing waits to
// run once the work has ended (a click would land on whatever stands there by then).
class DropInput final : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (!event->spontaneous())
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::ContextMenu:
        case QEvent::Close: // a window's close box
            event->ignore();
            return true;
        default:
            return false;
        }
    }
};

// Shows the window, its size fixed, in the middle of the screen the user works on.
void showCentred(ProgressWindow& window)
{
    window.adjustSize();
    window.setFixedSize(window.size());
    if (const QScreen* screen = QApplication::activeWindow() ? QApplication::activeWindow()->screen()
                                                             : QGuiApplication::primaryScreen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
}

} // namespace

void ProgressWindowWork::run(const QString& what, const std::function<void(data::Progress&)>& work)
{
    SharedProgress progress;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || QThread::currentThread() != qApp->thread()) {
        work(progress); // no window can be shown from here
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ProgressWindow window(what);
    QTimer refresh;
    refresh.setInterval(100);
    QObject::connect(&refresh, &QTimer::timeout, &window, [&] { progress.tell(window); });
    QEventLoop loop;
    std::atomic<bool> ended = false;
    {
        // Joined however the loops end (the program asked to quit meanwhile): the work holds its caller's data.
        const std::jthread worker([&] {
            work(progress);
            ended = true;
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        // Quick work shows nothing. Meanwhile the program's windows paint, and what the user does is dropped.
        if (m_showAfter > 0) {
            DropInput dropInput;
            qApp->installEventFilter(&dropInput);
            QTimer::singleShot(m_showAfter, &loop, &QEventLoop::quit);
            loop.exec();
            qApp->removeEventFilter(&dropInput);
        }
        if (!ended) {
            progress.tell(window);
            showCentred(window);
            refresh.start();
            loop.exec();
            window.hide();
        }
    }
    QApplication::restoreOverrideCursor();
}

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
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(20);
    bool shown = false;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        } else if (shown && clock.elapsed() >= limit) {
            tick.stop();
            overdue(clock.elapsed());
            limit = clock.elapsed() + limitMs;
            tick.start();
        }
    });
    tick.start();
    {
        // Quick work shows nothing; meanwhile the windows paint and what the user does is dropped. The window
        // shows at the latest when the limit is reached, so that the question is asked with input let through.
        DropInput dropInput;
        qApp->installEventFilter(&dropInput);
        QTimer::singleShot(qMin(showAfterMs, limitMs), &loop, &QEventLoop::quit);
        loop.exec();
        qApp->removeEventFilter(&dropInput);
    }
    if (!done()) {
        ProgressWindow window(what);
        window.tell(QString(), -1);
        showCentred(window);
        shown = true;
        loop.exec();
        window.hide();
    }
    QApplication::restoreOverrideCursor();
}

} // namespace platform
