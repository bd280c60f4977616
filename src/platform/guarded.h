#pragma once
// Window handlers run from Qt's own frames (a click, a timer, a text change). An exception must not cross
// those frames: Qt does not support it and is left half-way (a button held down, a signal half emitted).
// A handler connected through guarded() reports the failure itself and returns to Qt normally.
#include <concepts>
#include <exception>
#include <functional>
#include <utility>

namespace platform {

// The notice for a failure nothing else handled: a database refusal with its French text, anything else as an
// unexpected error (never the engine's own English text).
void reportFailure(const std::exception& e);

// Runs f; a failure is reported. False when f failed.
template <class F>
bool runGuarded(F&& f)
{
    try {
        std::forward<F>(f)();
        return true;
    } catch (const std::exception& e) {
        reportFailure(e);
    }
    return false;
}

template <class F>
class Guarded {
public:
    explicit Guarded(F f) : m_f(std::move(f)) {}

    // Constrained so that connect() finds how many of the signal's arguments the handler takes.
    template <class... A>
        requires std::invocable<F&, A...>
    void operator()(A&&... args)
    {
        runGuarded([&] { std::invoke(m_f, std::forward<A>(args)...); });
    }

private:
    F m_f;
};

// A callable for connect() that runs f and reports its failure.
template <class F>
Guarded<F> guarded(F f)
{
    return Guarded<F>(std::move(f));
}

// The same for a member handler of obj: guarded(this, &Form5::CmdModif_Click).
template <class Obj, class R, class... Args>
auto guarded(Obj* obj, R (Obj::*handler)(Args...))
{
    return guarded([obj, handler](Args... args) { (obj->*handler)(std::forward<Args>(args)...); });
}

} // namespace platform
