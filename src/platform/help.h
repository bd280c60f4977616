#pragma once
// The help engine stand-in: every window asks for (help file, command, topic); the real service opens the
// program directory's help file with the desktop's viewer, tests record the calls.
#include <QString>

namespace platform {

constexpr int HelpContext = 1;   // show the topic given
constexpr int HelpContents = 15; // the main window's call: the file's contents

class HelpService {
public:
    virtual ~HelpService() = default;
    virtual void showHelp(const QString& helpFile, int command, int topic) = 0;
};

void setHelpService(HelpService* service); // nullptr restores the real one
HelpService& helpService();

// The program directory's "Folivex.hlp".
QString helpFile();
void showHelp(int command, int topic = 0);

} // namespace platform
