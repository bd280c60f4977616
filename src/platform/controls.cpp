#include "platform/controls.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QVariant>
#include <algorithm>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace platform {

QString controlText(const QWidget* control)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentText();
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(control))
        return plain->toPlainText();
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    return {};
}

QString controlState(const QWidget* control)
{
    if (auto* button = qobject_cast<const QAbstractButton*>(control); button && button->isCheckable())
        return QString::number(button->isChecked());
    return controlText(control);
}

void setControlText(QWidget* control, const QString& text)
{
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->isEditable() ? combo->setEditText(text) : combo->setCurrentText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(control))
        plain->setPlainText(text);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text);
}

void setItems(QComboBox* combo, const QStringList& items)
{
    constexpr qsizetype kMeasuredItems = 200;
    constexpr int kWidestChars = 40;
    static const char* const kSizedByLength = "sizedByLength"; // the policy set here, not the window's own
    combo->clear();
    combo->addItems(items);
    if (items.size() <= kMeasuredItems) {
        if (combo->property(kSizedByLength).toBool()) {
            combo->setSizeAdjustPolicy(QComboBox::AdjustToContentsOnFirstShow);
            combo->setProperty(kSizedByLength, false);
        }
        return;
    }
    qsizetype longest = 0;
    for (const QString& item : items)
        longest = std::max(longest, item.size());
    combo->setMinimumContentsLength(int(std::min<qsizetype>(longest, kWidestChars)));
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setProperty(kSizedByLength, true);
}

} // namespace platform
