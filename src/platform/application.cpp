#include "platform/application.h"

#include "data/database.h"
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

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const data::DbError& e) {
        notice(QStringLiteral("L'opération n'a pas pu aboutir : la base de données a refusé la demande.\n%1")
                   .arg(e.message()));
    } catch (const std::exception& e) {
        notice(QStringLiteral("L'opération n'a pas pu aboutir : erreur inattendue.\n%1").arg(QString::fromLocal8Bit(e.what())));
    }
    return false;
}

} // namespace platform
