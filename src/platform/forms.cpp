#include "platform/forms.h"

#include "platform/scrollable.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <vector>

namespace platform {

Form::Form(QWidget* parent) : QWidget(parent, Qt::Window) {}

void Form::closeEvent(QCloseEvent* event)
{
    // The close box and close() go through the same unload as the registry.
    if (m_unloading) {
        event->accept();
        return;
    }
    event->ignore();
    forms().unload(this);
}

bool Form::event(QEvent* event)
{
    const bool done = QWidget::event(event);
    if (event->type() == QEvent::Show) {
        m_fitted = growToContent(this);
    } else if (event->type() == QEvent::LayoutRequest && isVisible()) {
        // Only content that asks for more than before: a window the user made smaller stays so.
        const QSize wanted = contentSize(this);
        if (wanted.width() > m_fitted.width() || wanted.height() > m_fitted.height())
            m_fitted = growToContent(this);
    }
    return done;
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
    std::vector<Form*> all;
    for (auto& [key, w] : m_forms)
        if (w)
            all.push_back(static_cast<Form*>(w.data()));
    for (Form* f : all) {
        bool cancel = false;
        f->Form_Unload(cancel);
        f->m_unloading = true;
        f->hide();
        forget(f);
        delete f;
    }
    m_forms.clear();
}

void FormRegistry::flush()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace platform
