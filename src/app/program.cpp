#include "app/program.h"

#include "app/form0.h"
#include "data/globals.h"
#include "data/longwork.h"
#include "office/spreadsheet.h"
#include "platform/forms.h"
#include "platform/progresswindow.h"

#include <QApplication>

namespace app {

int runProgram()
{
    QApplication::setApplicationName(QStringLiteral("FOLIVEX"));
    // The program ends through the main window (Quitter, its close box), never because a window closed: the
    // backup path closes the main window while the program goes on.
    QApplication::setQuitOnLastWindowClosed(false);
    // exit(), not quit(): Qt's quit first asks every window to close and gives up at the first that refuses,
    // and a window's close box refuses (it unloads the window instead). The windows go in tearDown().
    platform::forms().onQuit = [] {
        QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    };
    // A file of an earlier version gets its indexes at its opening, which takes a while on a large file.
    static platform::ProgressWindowWork indexing;
    data::setLongWork(&indexing);
    platform::forms().show<Form0>();
    const int rc = QApplication::exec();
    tearDown();
    return rc;
}

void tearDown()
{
    // Windows first: they hold their own databases and may close their workbooks through the engine.
    platform::forms().unloadAll();
    platform::forms().flush();
    data::RS_DOSSIERS.reset();
    data::BASE_DOSSIERS.reset();
    data::RS_GROSS.reset();
    data::BASE_GROSS.reset();
    data::GROSS_EXISTE = false;
    office::programEnds();
    office::setSpreadsheet(nullptr);
    data::setLongWork(nullptr);
}

} // namespace app
