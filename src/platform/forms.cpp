#include "platform/forms.h"

#include "platform/guarded.h"
#include "platform/messages.h"
#include "platform/scrollable.h"
#include "platform/windowframe.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QWindow>
#include <vector>

namespace platform {

// The first exposure after a showing: by then the desktop has framed the window and placed it.
class ExposureWatcher final : public QObject {
public:
    explicit ExposureWatcher(Form* form) : QObject(form), m_form(form) {}
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow*>(watched)->isExposed())
            m_form->windowExposed();
        return false;
    }

private:
    Form* m_form;
};

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) {}

void Form::closeEvent(QCloseEvent* event)
{
    // The close box and close() go through the same unload as the registry.
    if (m_unloading) {
        event->accept();
        return;
    }
    event->ignore();
    // Form_Unload may reach the database; a failure keeps the window open.
    runGuarded([this] {
        if (mayClose())
            forms().unload(this);
    });
}

bool Form::event(QEvent* event)
{
    const bool done = QWidget::event(event);
    switch (event->type()) {
    case QEvent::Show:
        // Shown again after it was hidden (by another window's command), it stays where the desktop or the user put
        // it: the desktop would otherwise place it anew, as a window that never had a place.
        if (m_shown && !testAttribute(Qt::WA_Moved) && windowHandle())
            windowHandle()->setPosition(windowHandle()->position());
        m_shown = true;
        m_fitted = growToContent(this);
        m_settled = false;
        if (windowHandle() && windowHandle() != m_watched) {
            m_watched = windowHandle();
            m_watched->installEventFilter(new ExposureWatcher(this));
        }
        // A window that has a place comes back to it whole; the desktop places the others.
        if (testAttribute(Qt::WA_Moved))
            keepWhole(this);
        break;
    case QEvent::Move:
    case QEvent::Resize:
        // The desktop framed the window otherwise than was counted (late, or anew).
        if (m_settled && isVisible() && frameMargins(this) != m_settledFrame)
            settle();
        break;
    case QEvent::LayoutRequest:
        if (isVisible()) {
            // Only content that asks for more than before: a window the user made smaller stays so.
            const QSize wanted = contentSize(this);
            if (wanted.width() > m_fitted.width() || wanted.height() > m_fitted.height()) {
                m_fitted = growToContent(this);
                if (m_settled)
                    keepWhole(this);
            }
        }
        break;
    default:
        break;
    }
    return done;
}

void Form::windowExposed()
{
    if (!m_settled && isVisible())
        settle();
}

void Form::settle()
{
    m_settled = true;
    m_settledFrame = frameMargins(this);
    keepWhole(this);
}

FormRegistry& forms()
{
    static FormRegistry registry;
    return registry;
}

bool FormRegistry::unload(Form* form)
{
    if (!form || form->m_unloading)
        return true;
    bool cancel = false;
    form->Form_Unload(cancel);
    if (cancel)
        return false;
    form->m_unloading = true;
    form->hide();
    forget(form);
    form->deleteLater();
    return true;
}

void FormRegistry::forget(Form* form)
{
    for (auto it = m_forms.begin(); it != m_forms.end(); ++it) {
        if (it->second.data() == form) {
            m_forms.erase(it);
            return;
        }
    }
}

void FormRegistry::unloadAll()
{
    // An unload may load another window (the backup window brings the main window back): rounds until none is
    // left. Past a few rounds the windows go without their unload.
    for (int round = 0;; ++round) {
        std::vector<QPointer<Form>> all;
        for (auto it = m_forms.begin(); it != m_forms.end();) {
            if (it->second) {
                all.emplace_back(static_cast<Form*>(it->second.data()));
                ++it;
            } else {
                it = m_forms.erase(it);
            }
        }
        if (all.empty())
            return;
        for (const QPointer<Form>& f : all) {
            if (f && !f->m_unloading && round < 4) {
                bool cancel = false;
                runGuarded([&] { f->Form_Unload(cancel); }); // a failure keeps none of the others loaded
            }
            if (!f)
                continue;
            f->m_unloading = true;
            f->hide();
            forget(f);
            delete f.data();
        }
    }
}

bool FormRegistry::empty() const
{
    for (const auto& [key, w] : m_forms)
        if (w)
            return false;
    return true;
}

bool FormRegistry::mayEndProgram()
{
    std::vector<Form*> holding;
    for (const auto& [key, w] : m_forms) {
        auto* f = static_cast<Form*>(w.data());
        if (f && !f->m_unloading && f->unsavedChanges())
            holding.push_back(f);
    }
    if (holding.empty())
        return true;
    QStringList names;
    for (const Form* f : holding)
        names << QStringLiteral("« ") + f->windowTitle().trimmed() + QStringLiteral(" »");
    names.sort();
    const QString question =
        (holding.size() == 1 ? QStringLiteral("La fenêtre %1 contient des modifications non enregistrées.")
                             : QStringLiteral("Les fenêtres %1 contiennent des modifications non enregistrées."))
            .arg(names.join(QStringLiteral(", "))) +
        QStringLiteral("\nQuitter le programme sans les enregistrer ?");
    if (askYesNo(question))
        return true;
    // A window hidden on purpose (the cycle sheet under its follow-up) stays hidden.
    for (Form* f : holding) {
        if (f->isVisible()) {
            f->raise();
            f->activateWindow();
            break;
        }
    }
    return false;
}

void FormRegistry::flush()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace platform
