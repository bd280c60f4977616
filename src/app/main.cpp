#include "app/form4.h"
#include "platform/forms.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("FOLIVEX"));
    platform::forms().onQuit = [] { QCoreApplication::quit(); };
    platform::forms().show<Form4>();
    return app.exec();
}
