#include "platform/keyfilter.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace platform {

namespace {

class KeyFilterObject final : public QObject {
public:
    KeyFilterObject(QObject* parent, KeyFilterFn fn) : QObject(parent), m_fn(std::move(fn)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* ke = static_cast<QKeyEvent*>(event);
        // A shortcut (Ctrl+V pastes) is no character, whatever text the platform gives its key; AltGr, which
        // some platforms report as Ctrl+Alt, types one.
        const auto mods = ke->modifiers();
        if ((mods & (Qt::ControlModifier | Qt::MetaModifier)) && !(mods & Qt::AltModifier))
            return false;
        int code = 0;
        if (ke->key() == Qt::Key_Backspace)
            code = 8;
        else if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter)
            code = 13;
        else if (ke->text().size() == 1 && ke->text()[0].unicode() >= 32)
            code = ke->text()[0].unicode();
        else
            return false; // navigation and shortcuts are not characters
        const int out = m_fn(code);
        if (out == code)
            return false;
        if (out == 0)
            return true;
        if (out == 8 || out == 13)
            return false;
        const QString text = QString(QChar(char16_t(out)));
        if (auto* le = qobject_cast<QLineEdit*>(watched))
            le->insert(text);
        else if (auto* pe = qobject_cast<QPlainTextEdit*>(watched))
            pe->insertPlainText(text);
        else if (auto* te = qobject_cast<QTextEdit*>(watched))
            te->insertPlainText(text);
        else
            return false;
        return true;
    }

private:
    KeyFilterFn m_fn;
};

bool isAsciiDigit(int k) { return k >= '0' && k <= '9'; }

} // namespace

void installKeyFilter(QWidget* edit, KeyFilterFn filter)
{
    edit->installEventFilter(new KeyFilterObject(edit, std::move(filter)));
}

int upperCaseKey(int k)
{
    if (k >= 'a' && k <= 'z')
        return k - 32;
    return k;
}

int dropApostropheUpperKey(int k) { return k == '\'' ? 0 : upperCaseKey(k); }

int dateKey(int k) { return (isAsciiDigit(k) || k == '/' || k == 8) ? k : 0; }

int digitsKey(int k) { return (isAsciiDigit(k) || k == 8) ? k : 0; }

int digitsCommaKey(int k) { return (isAsciiDigit(k) || k == ',' || k == 8) ? k : 0; }

void installDecimalKeyFilter(QLineEdit* edit)
{
    installKeyFilter(edit, [edit](int k) {
        const int out = digitsCommaDotKey(k);
        if (out != ',')
            return out;
        QString kept = edit->text(); // what stays once the typed comma replaces the selection
        if (edit->hasSelectedText())
            kept.remove(edit->selectionStart(), edit->selectedText().size());
        return kept.contains(QLatin1Char(',')) ? 0 : out;
    });
}

namespace {

class UnusedAltKeys final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* ke = static_cast<QKeyEvent*>(event);
        // An access key never reaches the box; AltGr, which some platforms report as Ctrl+Alt, types.
        const auto mods = ke->modifiers();
        return (mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !ke->text().isEmpty()
            && ke->text()[0].isPrint();
    }
};

} // namespace

void dropUnusedAltKeys(QWidget* box) { box->installEventFilter(new UnusedAltKeys(box)); }

int digitsCommaDotKey(int k)
{
    if (k == '.')
        return ',';
    return digitsCommaKey(k);
}

} // namespace platform
