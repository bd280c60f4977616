// folivex-newdb PATH [--demo]: creates a new, empty database file with its five tables and starter lists.
#include "data/schema.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool demo = args.removeAll(QStringLiteral("--demo")) > 0;
    QTextStream err(stderr);
    if (args.size() != 1) {
        err << "usage: folivex-newdb PATH [--demo]\n";
        return 2;
    }
    const QString failure = data::createDatabase(args.first(), demo);
    if (!failure.isEmpty()) {
        err << failure << "\n";
        return 1;
    }
    return 0;
}
