#include "platform/scrollable.h"

#include "platform/windowframe.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QVBoxLayout>
#include <QWidget>

namespace platform {

namespace {

// Tells the window when the scrolled content asks for another size: the scroll area keeps that to itself.
class ContentWatcher final : public QObject {
public:
    ContentWatcher(QWidget* content, QWidget* window) : QObject(content), m_window(window) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::LayoutRequest)
            QCoreApplication::postEvent(m_window, new QEvent(QEvent::LayoutRequest));
        return false;
    }

private:
    QWidget* m_window;
};

// The width a line edit needs to show a text of that width whole.
int boxWidthFor(const QLineEdit* box, int textWidth)
{
    QStyleOptionFrame opt;
    opt.initFrom(box);
    opt.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, box) : 0;
    const QMargins m = box->textMargins();
    // The line edit keeps 2 pixels of its own on each side of the text; one more for the cursor.
    const QSize contents(textWidth + 4 + 1 + m.left() + m.right(), box->fontMetrics().height());
    return box->style()->sizeFromContents(QStyle::CT_LineEdit, &opt, contents, box).width();
}

void widenFor(QLineEdit* box, const QString& sample)
{
    const int width = boxWidthFor(box, box->fontMetrics().horizontalAdvance(sample));
    box->setMaximumWidth(qMax(box->maximumWidth(), width));
    box->setMinimumWidth(width);
}

class DateWidthKeeper final : public QObject {
public:
    explicit DateWidthKeeper(QLineEdit* box) : QObject(box) { setObjectName(QStringLiteral("dateWidthKeeper")); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
            widenFor(static_cast<QLineEdit*>(watched), QStringLiteral("00/00/0000"));
        return false;
    }
};

// An average French text: the width of that many 'n'.
QString averageText(int characters) { return QString(characters, QLatin1Char('n')); }

constexpr auto kCommandRows = "commandRows";

// A row of push buttons (with spacers between them): the window's commands.
bool isCommandRow(QLayoutItem* item)
{
    const auto* row = qobject_cast<const QBoxLayout*>(item->layout());
    if (!row || row->direction() != QBoxLayout::LeftToRight)
        return false;
    bool buttons = false;
    for (int i = 0; i < row->count(); ++i) {
        QLayoutItem* part = row->itemAt(i);
        if (part->spacerItem())
            continue;
        if (!qobject_cast<const QPushButton*>(part->widget()))
            return false;
        buttons = true;
    }
    return buttons;
}

// The rows of commands that end the layout, taken out of it in their order.
QList<QLayout*> takeCommandRows(QLayout* layout)
{
    QList<QLayout*> rows;
    while (layout->count() > 0 && isCommandRow(layout->itemAt(layout->count() - 1)))
        rows.prepend(layout->takeAt(layout->count() - 1)->layout());
    return rows;
}

} // namespace

void stackWhenNarrow(QWidget* window, QBoxLayout* row)
{
    const QRect free = freeArea(window);
    const QLayout* outer = window->layout();
    if (!free.isValid() || !outer)
        return;
    const QMargins m = outer->contentsMargins();
    const int room = roomOnScreen(window).width() - window->style()->pixelMetric(QStyle::PM_ScrollBarExtent)
        - m.left() - m.right();
    // The row's own minimum, or that of the frame it is the layout of.
    const QWidget* holder = row->parentWidget();
    const int needed = holder && holder != window && holder->layout() == row ? holder->minimumSizeHint().width()
                                                                             : row->minimumSize().width();
    if (needed > room)
        row->setDirection(QBoxLayout::TopToBottom);
}

void keepDateWhole(QLineEdit* box)
{
    widenFor(box, QStringLiteral("00/00/0000"));
    if (!box->findChild<DateWidthKeeper*>(QStringLiteral("dateWidthKeeper"), Qt::FindDirectChildrenOnly))
        box->installEventFilter(new DateWidthKeeper(box));
}

void fitCharacters(QLineEdit* box, int characters) { widenFor(box, averageText(characters)); }

void fitCharacters(QComboBox* box, int characters)
{
    QStyleOptionComboBox opt;
    opt.initFrom(box);
    opt.editable = box->isEditable();
    const QFontMetrics fm = box->fontMetrics();
    const QSize contents(fm.horizontalAdvance(averageText(characters)) + 4 + 1, fm.height());
    box->setMinimumWidth(box->style()->sizeFromContents(QStyle::CT_ComboBox, &opt, contents, box).width());
}

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
    // The commands stay below it, in view however far the fields are scrolled.
    const QList<QLayout*> rows = takeCommandRows(layout);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("scrolledContent"));
    // setLayout takes the layout, and the controls in it, over from the window.
    layout->setMenuBar(nullptr);
    content->setLayout(layout);

    auto* area = new QScrollArea;
    area->setObjectName(QStringLiteral("scrollArea"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    // The window opens with the focus in its first field, not on the area around them, where typing goes nowhere.
    area->setFocusPolicy(Qt::NoFocus);
    area->setWidget(content);
    content->installEventFilter(new ContentWatcher(content, window));

    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    if (menuBar)
        outer->setMenuBar(menuBar);
    outer->addWidget(area);
    if (!rows.isEmpty()) {
        // Built apart, then added: its buttons come after the fields in the tab order, where they were.
        auto* commands = new QWidget;
        commands->setObjectName(QLatin1String(kCommandRows));
        auto* box = new QVBoxLayout(commands);
        const QMargins m = layout->contentsMargins();
        box->setContentsMargins(m.left(), 0, m.right(), m.bottom());
        box->setSpacing(layout->spacing());
        for (QLayout* row : rows)
            box->addLayout(row);
        outer->addWidget(commands);
    }

    window->resize(contentSize(window).boundedTo(roomOnScreen(window)));
}

QSize contentSize(const QWidget* window)
{
    const auto* area = window->findChild<QScrollArea*>(QStringLiteral("scrollArea"), Qt::FindDirectChildrenOnly);
    if (!area || !area->widget())
        return window->sizeHint().expandedTo(window->minimumSizeHint());
    QSize wanted = area->widget()->sizeHint().expandedTo(area->widget()->minimumSizeHint());
    // Room for the vertical scroll bar, should the screen be too short for the content.
    wanted.rwidth() += area->verticalScrollBar()->sizeHint().width();
    if (const QLayout* outer = window->layout(); outer && outer->menuBar())
        wanted.rheight() += outer->menuBar()->sizeHint().height();
    if (const auto* commands = window->findChild<QWidget*>(QLatin1String(kCommandRows), Qt::FindDirectChildrenOnly)) {
        const QSize rows = commands->sizeHint();
        wanted = QSize(qMax(wanted.width(), rows.width()), wanted.height() + rows.height());
    }
    return wanted;
}

QSize growToContent(QWidget* window)
{
    const QSize wanted = contentSize(window);
    const QSize size = window->size().expandedTo(wanted).boundedTo(roomOnScreen(window));
    if (size != window->size()) {
        QRect client = window->geometry();
        // A window not yet on the screen grows around its centre, so a centred window stays centred.
        if (!window->isVisible() && window->testAttribute(Qt::WA_Moved))
            client.translate((client.width() - size.width()) / 2, (client.height() - size.height()) / 2);
        client.setSize(size);
        // One that was never placed keeps no place of its own: the desktop places it.
        if (window->testAttribute(Qt::WA_Moved))
            window->setGeometry(client);
        else
            window->resize(size);
    }
    return wanted;
}

} // namespace platform
