#include "platform/application.h"

#include "data/database.h"
#include "platform/guarded.h"
#include "platform/messages.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace platform {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) { installFrenchTranslations(); }

void installFrenchTranslations()
{
    // The program speaks French whatever the workstation's language: Qt's own dialogs and menus too.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    static QTranslator qt;
    if (qt.isEmpty() && qt.load(QLocale(QLocale::French), QStringLiteral("qtbase"), QStringLiteral("_"),
                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qt);
}

void reportFailure(const std::exception& e)
{
    if (const auto* db = dynamic_cast<const data::DbError*>(&e))
        notice(QStringLiteral("L'opération n'a pas pu aboutir : la base de données a refusé la demande.\n%1")
                   .arg(db->message()));
    else
        notice(QStringLiteral("L'opération n'a pas pu aboutir : erreur inattendue."));
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    // The last net, for a handler that was not connected through guarded().
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportFailure(e);
    }
    return false;
}

} // namespace platform
