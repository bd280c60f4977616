#include "platform/help.h"

#include "platform/environment.h"
#include "platform/messages.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace platform {

namespace {

class DesktopHelpService final : public HelpService {
public:
    void showHelp(const QString& file, int, int) override
    {
        if (!QFileInfo::exists(file) || !QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
            notice(QStringLiteral("Impossible d'afficher l'aide : le fichier %1 est introuvable ou aucun programme ne peut l'ouvrir.").arg(file));
    }
};

HelpService* g_help = nullptr;

} // namespace

void setHelpService(HelpService* service) { g_help = service; }

HelpService& helpService()
{
    static DesktopHelpService real;
    return g_help ? *g_help : real;
}

QString helpFile() { return programFile(QStringLiteral("Folivex.hlp")); }

void showHelp(int command, int topic) { helpService().showHelp(helpFile(), command, topic); }

} // namespace platform
