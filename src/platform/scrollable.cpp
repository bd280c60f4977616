#include "platform/scrollable.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QVBoxLayout>
#include <QWidget>

namespace platform {

namespace {

// Room the desktop takes around a window for its frame and title bar.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;

QRect freeArea(const QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

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

} // namespace

void stackWhenNarrow(QWidget* window, QBoxLayout* row)
{
    const QRect free = freeArea(window);
    const QLayout* outer = window->layout();
    if (!free.isValid() || !outer)
        return;
    const QMargins m = outer->contentsMargins();
    const int room = free.width() - kFrameWidth - window->style()->pixelMetric(QStyle::PM_ScrollBarExtent) - m.left()
        - m.right();
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
    content->installEventFilter(new ContentWatcher(content, window));

    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    if (menuBar)
        outer->setMenuBar(menuBar);
    outer->addWidget(area);

    QSize wanted = contentSize(window);
    const QRect free = freeArea(window);
    if (free.isValid())
        wanted = wanted.boundedTo(QSize(free.width() - kFrameWidth, free.height() - kFrameHeight));
    window->resize(wanted);
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
    return wanted;
}

QSize growToContent(QWidget* window)
{
    const QSize wanted = contentSize(window);
    const QRect free = freeArea(window);
    QSize size = window->size().expandedTo(wanted);
    if (free.isValid())
        size = size.boundedTo(QSize(free.width() - kFrameWidth, free.height() - kFrameHeight))
                   .expandedTo(window->size().boundedTo(free.size()));
    if (size != window->size()) {
        QPoint at = window->pos();
        // A window not yet on the screen grows around its centre, so a centred window stays centred; one that
        // was never placed is left for the desktop to place.
        const bool placed = window->isVisible() || window->testAttribute(Qt::WA_Moved);
        if (!window->isVisible())
            at -= QPoint((size.width() - window->width()) / 2, (size.height() - window->height()) / 2);
        window->resize(size);
        if (!placed)
            return wanted;
        if (free.isValid()) {
            const QSize frame =
                window->isVisible() ? window->frameGeometry().size() : size + QSize(kFrameWidth, kFrameHeight);
            at.setX(qBound(free.left(), at.x(), qMax(free.left(), free.right() + 1 - frame.width())));
            at.setY(qBound(free.top(), at.y(), qMax(free.top(), free.bottom() + 1 - frame.height())));
        }
        window->move(at);
    }
    return wanted;
}

} // namespace platform
