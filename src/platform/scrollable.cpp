#include "platform/scrollable.h"

#include <QLayout>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

namespace platform {

void makeScrollable(QWidget* window)
{
    QLayout* layout = window->layout();
    if (!layout)
        return;
    // The menu bar stays above the scrolled part, whether the layout holds it as its menu bar or first item.
    QWidget* menuBar = layout->menuBar();
    if (!menuBar && layout->count() > 0 && qobject_cast<QMenuBar*>(layout->itemAt(0)->widget())) {
        QLayoutItem* item = layout->takeAt(0);
        menuBar = item->widget();
        delete item;
    }
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("scrolledContent"));
    // setLayout takes the layout, and the controls in it, over from the window.
    layout->setMenuBar(nullptr);
    content->setLayout(layout);

    auto* area = new QScrollArea;
    area->setObjectName(QStringLiteral("scrollArea"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(content);

    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    if (menuBar)
        outer->setMenuBar(menuBar);
    outer->addWidget(area);

    QSize wanted = content->sizeHint();
    wanted.rwidth() += area->verticalScrollBar()->sizeHint().width();
    if (menuBar)
        wanted.rheight() += menuBar->sizeHint().height();
    if (const QScreen* screen = window->screen()) {
        const QRect free = screen->availableGeometry();
        // Leave room for the window frame the desktop adds.
        wanted = wanted.boundedTo(QSize(free.width() - 16, free.height() - 48));
    }
    window->resize(wanted);
}

} // namespace platform
