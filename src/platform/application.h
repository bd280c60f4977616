#pragma once
// The program's application object. A failure that no window caught (a database refusing an operation in a
// handler that did not expect it) must not end the program and lose what other windows hold: it is reported
// and the event that raised it is dropped.
#include <QApplication>

namespace platform {

// Qt's translations into French (standard dialogs, context menus) and the French locale; the application
// object installs them, and tests that check Qt's own texts call it.
void installFrenchTranslations();

class Application : public QApplication {
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace platform
