#pragma once
// Message boxes in the shapes the windows use. Everything goes through one replaceable service so that
// tests can script the answers and record every box.
#include <QString>

namespace platform {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Question, Exclamation, Critical, Information };
enum class MsgResult { Ok, Cancel, Yes, No };

struct MsgBoxRequest {
    QString text;
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
    QString title;
};

class MessageService {
public:
    virtual ~MessageService() = default;
    virtual MsgResult show(const MsgBoxRequest& request) = 0;
};

// The application's title, used by every box without a title of its own.
QString appTitle();

// The real service (QMessageBox) unless a test installed another; passing nullptr restores the real one.
void setMessageService(MessageService* service);
MessageService& messageService();

MsgResult msgBox(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None,
                 const QString& title = QString());

// A question: Yes/No, question icon, titled "Attention". True on Yes.
bool askYesNo(const QString& text);

// A result, refusal or error: OK only, no icon, the application's title.
void notice(const QString& text);

} // namespace platform
