#include "platform/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

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
