#include "platform/menukeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QProxyStyle>
#include <QShortcut>
#include <QStyleOptionMenuItem>
#include <QStyleFactory>

namespace platform {

namespace {

// The desktop's style but for the menu bar's keyboard navigation, which some styles leave out, and the menu the
// keyboard is on, which some styles draw only once it has dropped down (these menus drop nothing down).
class MenuKeysStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override
    {
        return hint == SH_MenuBar_AltKeyNavigation ? 1 : QProxyStyle::styleHint(hint, option, widget, returned);
    }
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_MenuBarItem && (option->state & State_Selected) && widget && widget->hasFocus()) {
            QStyleOptionMenuItem lit = *qstyleoption_cast<const QStyleOptionMenuItem*>(option);
            lit.state |= State_Sunken;
            QProxyStyle::drawControl(element, &lit, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

QStyle* menuKeysStyle()
{
    static QStyle* const style = [] {
        QStyle* s = new MenuKeysStyle(QStyleFactory::create(QApplication::style()->name()));
        s->setParent(qApp);
        return s;
    }();
    return style;
}

// F10 does what Alt pressed and released alone does: the menu bar watches its window for that pair of keys.
void altAlone(QMenuBar* bar)
{
    QWidget* window = bar->window();
    QKeyEvent pressed(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(window, &pressed);
    QKeyEvent released(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &released);
}

} // namespace

void setUpMenuKeys(QWidget* window)
{
    for (QMenuBar* bar : window->findChildren<QMenuBar*>()) {
        bar->setStyle(menuKeysStyle());
        auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), window);
        QObject::connect(f10, &QShortcut::activated, bar, [bar] { altAlone(bar); });
    }
}

} // namespace platform
