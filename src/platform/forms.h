#pragma once
// The global window instances: a window is loaded (constructed, then its Form_Load run) on first touch,
// shown, hidden, and unloaded (its Form_Unload may cancel; otherwise it is destroyed and the next touch
// loads it anew). Windows reach one another only through this registry.
#include "platform/inputboxes.h"
#include "platform/menukeys.h"

#include <QMargins>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <typeindex>
#include <unordered_map>

class QWindow;

namespace platform {

class ExposureWatcher;

// Base of every window: a top-level QWidget with the load and unload events.
class Form : public QWidget {
    Q_OBJECT
public:
    explicit Form(QWidget* parent = nullptr);
    virtual void Form_Load() {}
    // Set cancel to keep the window loaded.
    virtual void Form_Unload(bool& cancel) { Q_UNUSED(cancel); }

    // True while the window is being unloaded, so handlers can stop touching it.
    bool unloading() const { return m_unloading; }

    // The user's work in the window: markSaved() once it is filled from its record, and unsavedChanges() then
    // tells whether anything typed, chosen or ticked since would be lost by emptying or reloading it.
    void markSaved();
    bool unsavedChanges() const;
    // Before another window's command empties or reloads this one: true when nothing would be lost or the user
    // agrees to lose it (question); on No the window is brought to the front as it is.
    bool mayDiscard(const QString& question);
    // Asked by the close box before the unload, with the question of the windows' "Quitter"; false keeps the
    // window open as it is.
    virtual bool mayClose() { return mayDiscard(QStringLiteral("Quitter sans enregistrer ?")); }

protected:
    void closeEvent(QCloseEvent* event) override;
    // Each showing, and content that grows while shown, size the window to what it holds; once the desktop has
    // framed and placed it, the window is kept whole on the screen.
    bool event(QEvent* event) override;

private:
    friend class FormRegistry;
    friend class ExposureWatcher;
    void windowExposed();
    void settle();
    QStringList editedValues() const;
    bool m_unloading = false;
    bool m_marked = false;
    QStringList m_saved;
    bool m_shown = false;
    QSize m_fitted; // the content size the window was last grown to
    bool m_settled = false; // placed whole since it was last shown
    QMargins m_settledFrame; // the frame counted then
    QPointer<QWindow> m_watched; // the native window whose exposure settles it
};

class FormRegistry {
public:
    template <class T> T* get()
    {
        if (T* f = find<T>())
            return f;
        auto* f = new T();
        setUpInputBoxes(f);
        setUpMenuKeys(f);
        m_forms[std::type_index(typeid(T))] = f;
        f->Form_Load();
        // The load may have unloaded the window again: the object stays valid until the event loop runs,
        // and isLoaded<T>() tells the caller.
        return f;
    }

    template <class T> T* find() const
    {
        auto it = m_forms.find(std::type_index(typeid(T)));
        if (it == m_forms.end() || !it->second || static_cast<Form*>(it->second.data())->m_unloading)
            return nullptr;
        return static_cast<T*>(it->second.data());
    }

    template <class T> bool isLoaded() const { return find<T>() != nullptr; }
    template <class T> T* show()
    {
        T* f = get<T>();
        if (isLoaded<T>()) {
            f->show();
            f->raise();
            f->activateWindow();
        }
        return f;
    }
    template <class T> void hide() { if (T* f = find<T>()) f->hide(); }
    // Unloads the window if it is loaded; false when its Form_Unload cancelled.
    template <class T> bool unload() { T* f = find<T>(); return f ? unload(f) : true; }

    bool unload(Form* form);
    // Unloads and destroys every loaded window, whatever its Form_Unload says, and those their unloads load.
    void unloadAll();
    // No window is loaded.
    bool empty() const;
    // Before the program ends: true when no window holds unsaved work or the user agrees to lose it (one
    // question naming the windows); on No the first such window is brought to the front.
    bool mayEndProgram();
    // Destroys the windows already unloaded (tests call it instead of running the event loop).
    void flush();

    // Called when the main window is closed other than by the backup path; the application quits.
    std::function<void()> onQuit;

private:
    friend class Form;
    void forget(Form* form);
    std::unordered_map<std::type_index, QPointer<QWidget>> m_forms;
};

FormRegistry& forms();

} // namespace platform
