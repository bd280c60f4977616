#pragma once
// What the user-interface thread shows and does while long work runs: the progress window's first paint, the
// longest pause of the event loop, and the longest time the progress bar stood still once shown.
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>
#include <algorithm>

namespace bench {

class Watch final : public QObject {
public:
    explicit Watch(const QElapsedTimer& clock) : m_clock(clock)
    {
        qApp->installEventFilter(this);
        m_tick.setTimerType(Qt::PreciseTimer);
        m_tick.setInterval(5);
        connect(&m_tick, &QTimer::timeout, this, [this] { pause(); });
        m_tick.start();
    }
    // The time since the event loop last ran, kept when it is the longest.
    void pause()
    {
        const qint64 now = m_clock.nsecsElapsed();
        longest = std::max(longest, now - m_last);
        m_last = now;
    }

    // The bar shown since its last move, kept when it is the longest.
    void still()
    {
        if (m_moved >= 0)
            stood = std::max(stood, m_clock.nsecsElapsed() - m_moved);
    }

    qint64 painted = -1; // ns
    qint64 longest = 0;  // ns
    qint64 stood = 0;    // ns

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() != QEvent::Paint || !o->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(o);
        if (w->window()->objectName() != QLatin1String("ProgressWindow"))
            return false;
        if (painted < 0)
            painted = m_clock.nsecsElapsed();
        if (auto* bar = qobject_cast<QProgressBar*>(w); bar && bar->value() != m_bar) {
            still();
            m_moved = m_clock.nsecsElapsed();
            m_bar = bar->value();
        }
        return false;
    }

private:
    const QElapsedTimer& m_clock;
    QTimer m_tick;
    qint64 m_last = 0;
    int m_bar = -1;      // the value last painted
    qint64 m_moved = -1; // when it was first painted
};

} // namespace bench
