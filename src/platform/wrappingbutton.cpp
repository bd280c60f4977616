#include "platform/wrappingbutton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace platform {

namespace {

constexpr int kFlags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
// A line of about sixty characters reads well; past that the caption wraps.
constexpr int kPreferredChars = 60;
constexpr int kLargeHeight = 100000;

} // namespace

QSize WrappingButton::captionSize(int textWidth) const
{
    return fontMetrics().boundingRect(QRect(0, 0, qMax(1, textWidth), kLargeHeight), kFlags, text()).size();
}

QSize WrappingButton::withBevel(const QSize& caption) const
{
    QStyleOptionButton opt;
    initStyleOption(&opt);
    return style()->sizeFromContents(QStyle::CT_PushButton, &opt, caption, this);
}

int WrappingButton::bevelWidth() const { return withBevel(QSize(0, 0)).width(); }

QSize WrappingButton::sizeHint() const
{
    const int oneLine = fontMetrics().boundingRect(QRect(0, 0, kLargeHeight, kLargeHeight), kFlags, text()).width();
    const int preferred = fontMetrics().horizontalAdvance(QString(kPreferredChars, QLatin1Char('n')));
    return withBevel(captionSize(qMin(oneLine, preferred)));
}

QSize WrappingButton::minimumSizeHint() const
{
    const int preferred = fontMetrics().horizontalAdvance(QString(kPreferredChars / 2, QLatin1Char('n')));
    const int oneLine = fontMetrics().boundingRect(QRect(0, 0, kLargeHeight, kLargeHeight), kFlags, text()).width();
    return withBevel(captionSize(qMin(oneLine, preferred)));
}

int WrappingButton::heightForWidth(int width) const
{
    return withBevel(captionSize(width - bevelWidth())).height();
}

void WrappingButton::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QString caption = opt.text;
    opt.text.clear();
    p.drawControl(QStyle::CE_PushButton, opt);
    const QRect room = style()->subElementRect(QStyle::SE_PushButtonContents, &opt, this);
    p.drawItemText(room, kFlags, opt.palette, isEnabled(), caption, QPalette::ButtonText);
}

} // namespace platform
