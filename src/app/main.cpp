#include "app/program.h"
#include "platform/application.h"

#ifdef FOLIVEX_HAVE_LO
#include "office/libreoffice.h"
#endif

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
#ifdef FOLIVEX_HAVE_LO
    // Outlives the run: runProgram() detaches it before it goes.
    auto spreadsheet = office::createLibreOfficeSpreadsheet();
    office::setSpreadsheet(spreadsheet.get());
#endif
    return app::runProgram();
}
