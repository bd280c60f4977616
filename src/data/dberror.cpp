#include "data/dberror.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>
#include <sqlite3.h>

namespace data {

DbError::DbError(int code, const QString& message)
    : std::runtime_error(QStringLiteral("%1: %2").arg(code).arg(message).toStdString()), m_code(code),
      m_message(message)
{
}

namespace errors {

DbError noCurrentRecord() { return DbError(DbError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours.")); }

DbError recordDeleted()
{
    return DbError(DbError::RecordDeleted, QStringLiteral("Ces données ont été supprimées sur un autre poste depuis "
                                                          "leur lecture."));
}

DbError rowChanged()
{
    return DbError(DbError::RowChanged, QStringLiteral("Ces données ont été modifiées sur un autre poste depuis "
                                                       "leur lecture."));
}

DbError notUpdatable()
{
    return DbError(DbError::NotUpdatable, QStringLiteral("Ce jeu d'enregistrements n'est pas modifiable"));
}

DbError fileReplaced(const QString& path)
{
    return DbError(DbError::FileReplaced,
                   QStringLiteral("Le fichier de la base de données %1 a été remplacé (restauration d'une sauvegarde "
                                  "sur un poste ?) depuis la lecture de ces données : rien n'a été lu ni enregistré. "
                                  "Relisez les données (nouvelle recherche, fenêtre rouverte).")
                       .arg(QDir::toNativeSeparators(path)));
}

DbError closed(const QString& path)
{
    return DbError(DbError::CannotOpen,
                   QStringLiteral("La base de données %1 est fermée.").arg(QDir::toNativeSeparators(path)));
}

DbError engine(sqlite3* db, int rc, const QString& path, bool opening, const QString& sql)
{
    const QString file = QDir::toNativeSeparators(path);
    const bool exists = QFileInfo::exists(path);
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return DbError(DbError::Locked, QStringLiteral("La base de données %1 est occupée par un autre poste : "
                                                       "réessayez dans un instant.").arg(file));
    case SQLITE_NOTADB:
        return DbError(DbError::NotADatabase, QStringLiteral("Le fichier %1 n'est pas une base de données.").arg(file));
    case SQLITE_CORRUPT:
        return DbError(DbError::Damaged, QStringLiteral("La base de données %1 est endommagée.").arg(file));
    case SQLITE_FULL:
        return DbError(DbError::DiskFull, QStringLiteral("Le disque de la base de données %1 est plein.").arg(file));
    case SQLITE_NOMEM:
        return DbError(DbError::DiskError, QStringLiteral("Mémoire insuffisante pour lire la base de données %1.").arg(file));
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        // A file deleted while in use reads as read-only to the engine: say what happened.
        if (!exists)
            return DbError(DbError::FileNotFound,
                           opening ? QStringLiteral("Le fichier de la base de données %1 est introuvable.").arg(file)
                                   : QStringLiteral("Le fichier de la base de données %1 est introuvable : il a été "
                                                    "supprimé ou déplacé pendant son utilisation.").arg(file));
        if (rc == SQLITE_READONLY_DBMOVED)
            return fileReplaced(path);
        if ((rc & 0xff) == SQLITE_READONLY)
            return DbError(DbError::ReadOnly, QStringLiteral("La base de données %1 est en lecture seule.").arg(file));
        if ((rc & 0xff) == SQLITE_IOERR)
            return DbError(DbError::DiskError, QStringLiteral("Erreur de lecture ou d'écriture sur le fichier %1 "
                                                              "(disque ou réseau).").arg(file));
        if (opening)
            return DbError(DbError::CannotOpen, QStringLiteral("Le fichier %1 ne peut pas être ouvert : accès refusé.").arg(file));
        return DbError(DbError::ReadOnly, QStringLiteral("La base de données %1 ne peut pas être modifiée : son "
                                                         "répertoire n'accepte pas l'écriture.").arg(file));
    default:
        break;
    }
    // Whoever mends the program needs the query and the engine's words; the user, what it means for the work.
    qWarning("database: query refused (%s): %s", db ? sqlite3_errmsg(db) : sqlite3_errstr(rc), qPrintable(sql));
    return DbError(DbError::SqlError, QStringLiteral("La base de données %1 a refusé une opération demandée par le "
                                                     "programme : rien n'a été lu ni enregistré.").arg(file));
}

} // namespace errors

} // namespace data
