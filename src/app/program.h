#pragma once
// The program's run from the splash to its end, shared by the executable and the tests that run it whole.
namespace app {

// Shows the splash, runs the event loop until the main window ends the program, then tearDown(). Returns the
// event loop's status. The application object must exist; the caller installs the spreadsheet engine.
int runProgram();

// Ends what the program holds while the application object still exists: every window unloaded and destroyed
// (those unloaded earlier and awaiting deletion too), the shared databases and recordsets released, the
// spreadsheet engine detached. Objects with static storage duration are destroyed in an order nobody chose;
// after this call none of them holds a window, a database or a recordset, so none is destroyed after what it
// uses.
void tearDown();

} // namespace app
