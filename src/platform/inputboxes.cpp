#include "platform/inputboxes.h"

#include "platform/keyfilter.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QTextEdit>
#include <QValidator>
#include <QWidget>

#include <algorithm>
#include <limits>

namespace platform {

namespace {

constexpr int kDefaultMaxLength = 32767;

bool isBreak(QChar c) { return c == u'\r' || c == u'\n'; }

// Runs on every change of the box's text, typed, pasted, dropped or set from code, before the change is shown.
class OneLineValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override
    {
        if (std::any_of(input.cbegin(), input.cend(), isBreak))
            input = oneLine(input, &pos);
        return Acceptable;
    }
};

// Leaving the combo shows its text from the start. Popups and window switches do not leave it.
class ComboStartOnLeave final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                if (QLineEdit* edit = static_cast<QComboBox*>(watched)->lineEdit())
                    edit->setCursorPosition(0);
        }
        return false;
    }
};

// A control whose value the wheel changes: a combo's item, a spin box's number, a calendar's month, a slider.
bool wheelChangesValue(const QWidget* w)
{
    return qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QCalendarWidget*>(w) ||
           (qobject_cast<const QAbstractSlider*>(w) && !qobject_cast<const QScrollBar*>(w));
}

// The control of w's window whose value a wheel over w would change (w itself or the control w is part of).
QWidget* valueControlAt(QWidget* w)
{
    for (; w; w = w->parentWidget()) {
        if (wheelChangesValue(w))
            return w;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

// The wheel never gives the focus.
void dropWheelFocus(QWidget* w)
{
    constexpr int wheelOnly = Qt::WheelFocus & ~Qt::StrongFocus;
    if (w->focusPolicy() & wheelOnly)
        w->setFocusPolicy(Qt::FocusPolicy(w->focusPolicy() & ~wheelOnly));
}

// The wheel changes a control's value only while the control has the focus, so that no value changes without the
// user choosing it; otherwise it goes on to what lies under the pointer, so a window whose fields scroll still
// scrolls.
// One filter on the application rather than one on each control: controls made after a window was set up (a
// combo's line edit made anew, a dialog's combo) are covered too, and no control's own wheel handler runs first.
class WheelOnlyWithFocus final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Polish) {
            dropWheelFocus(w);
        } else if (event->type() == QEvent::Wheel) {
            const QWidget* control = valueControlAt(w);
            const QWidget* focus = QApplication::focusWidget();
            if (control && !(focus && (focus == control || control->isAncestorOf(focus)))) {
                event->ignore(); // handed on to the widgets under the control
                return true;
            }
        }
        return false;
    }
};

void setUpCombo(QComboBox* combo)
{
    // Inline completion would replace what was typed ("ma" leaving as "MAP"), and its match ignores case.
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
    QLineEdit* edit = combo->lineEdit();
    // Whatever moves the caret while the user is elsewhere (a fill from code, an item matched on leaving)
    // leaves the text shown from its start.
    QObject::connect(edit, &QLineEdit::cursorPositionChanged, edit, [edit](int, int now) {
        if (now != 0 && !edit->hasFocus())
            edit->setCursorPosition(0);
    });
    combo->installEventFilter(new ComboStartOnLeave(combo));
    edit->setCursorPosition(0);
}

} // namespace

QString oneLine(const QString& text, int* pos)
{
    const qsizetype caret = pos ? *pos : -1;
    QString out;
    out.reserve(text.size());
    qsizetype newCaret = -1;
    for (qsizetype i = 0; i < text.size();) {
        if (i == caret)
            newCaret = out.size();
        if (!isBreak(text[i])) {
            out += text[i++];
            continue;
        }
        qsizetype end = i;
        while (end < text.size() && isBreak(text[end]))
            ++end;
        if (i > 0 && end < text.size())
            out += u' ';
        if (caret > i && caret <= end)
            newCaret = out.size();
        i = end;
    }
    if (pos)
        *pos = int(newCaret < 0 ? out.size() : newCaret);
    return out;
}

void setUpInputBoxes(QWidget* window)
{
    static QPointer<WheelOnlyWithFocus> wheelFilter;
    if (!wheelFilter) {
        wheelFilter = new WheelOnlyWithFocus(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(wheelFilter);
    }
    // Those polished before the filter came.
    dropWheelFocus(window);
    for (QWidget* w : window->findChildren<QWidget*>())
        dropWheelFocus(w);
    for (QComboBox* combo : window->findChildren<QComboBox*>())
        if (combo->isEditable())
            setUpCombo(combo);
    for (QLineEdit* edit : window->findChildren<QLineEdit*>()) {
        // A spin box's own box (the calendar's year) keeps its validator.
        if (qobject_cast<QAbstractSpinBox*>(edit->parentWidget()))
            continue;
        // A text as long as the file holds, rather than the 32 767 characters a box takes by default: a text cut
        // on showing would be stored cut.
        if (edit->maxLength() == kDefaultMaxLength)
            edit->setMaxLength(std::numeric_limits<int>::max());
        if (edit->validator())
            continue;
        edit->setValidator(new OneLineValidator(edit));
        dropUnusedAltKeys(edit);
    }
    // Tab and Shift+Tab leave a multi-line box as any other: no tab character is typed into a stored text,
    // and a keyboard user's next value goes to the next box.
    for (QPlainTextEdit* text : window->findChildren<QPlainTextEdit*>()) {
        text->setTabChangesFocus(true);
        dropUnusedAltKeys(text);
    }
    for (QTextEdit* text : window->findChildren<QTextEdit*>()) {
        text->setTabChangesFocus(true);
        dropUnusedAltKeys(text);
    }
}

} // namespace platform
