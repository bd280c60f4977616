#include "platform/messages.h"

#include "platform/windowframe.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

// The desktop draws the box's title in its title bar, beside the window's icon and up to three buttons, each about
// as wide as the bar is high: a box of a few words is made wide enough for them all, so that its title is never cut.
void makeRoomForTitle(QMessageBox& box)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    const QMargins frame = frameMargins(&box);
    const int framed = QFontMetrics(font).horizontalAdvance(box.windowTitle()) + 5 * frame.top();
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(framed - frame.left() - frame.right(), 0, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

class QtMessageService final : public MessageService {
public:
    MsgResult show(const MsgBoxRequest& r) override
    {
        QMessageBox box(QApplication::activeWindow());
        box.setText(r.text);
        box.setWindowTitle(r.title.isEmpty() ? appTitle() : r.title);
        switch (r.icon) {
        case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
        case MsgIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
        }
        switch (r.buttons) {
        case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case MsgButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        }
        if (auto* b = box.button(QMessageBox::Yes))
            b->setText(QStringLiteral("Oui"));
        if (auto* b = box.button(QMessageBox::No))
            b->setText(QStringLiteral("Non"));
        if (auto* b = box.button(QMessageBox::Cancel))
            b->setText(QStringLiteral("Annuler"));
        makeRoomForTitle(box);
        switch (box.exec()) {
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        case QMessageBox::Cancel: return MsgResult::Cancel;
        default: return MsgResult::Ok;
        }
    }
};

MessageService* g_service = nullptr;

} // namespace

QString appTitle() { return QStringLiteral("FOLIVEX"); }

void setMessageService(MessageService* service) { g_service = service; }

MessageService& messageService()
{
    static QtMessageService real;
    return g_service ? *g_service : real;
}

MsgResult msgBox(const QString& text, MsgButtons buttons, MsgIcon icon, const QString& title)
{
    return messageService().show({text, buttons, icon, title.isEmpty() ? appTitle() : title});
}

bool askYesNo(const QString& text)
{
    return msgBox(text, MsgButtons::YesNo, MsgIcon::Question, QStringLiteral("Attention")) == MsgResult::Yes;
}

void notice(const QString& text) { msgBox(text); }

} // namespace platform
