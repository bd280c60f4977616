#include "app/form0.h"
#include "platform/application.h"
#include "platform/forms.h"

#ifdef FOLIVEX_HAVE_LO
#include "office/libreoffice.h"
#endif

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("FOLIVEX"));
    // The program ends through the main window (Quitter, its close box), never because a window closed: the
    // backup path closes the main window while the program goes on.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::forms().onQuit = [] {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    };

#ifdef FOLIVEX_HAVE_LO
    auto spreadsheet = office::createLibreOfficeSpreadsheet();
    office::setSpreadsheet(spreadsheet.get());
#endif

    platform::forms().show<Form0>();
    const int rc = app.exec();

#ifdef FOLIVEX_HAVE_LO
    office::setSpreadsheet(nullptr);
#endif
    return rc;
}
