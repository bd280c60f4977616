#include "admin/foldercopy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace admin {

namespace {

// The real path of the folder, or of its nearest existing parent followed by the missing part, so that a
// folder not made yet is still seen inside another when reached through a link; with a trailing separator so
// that "/a/xls" is not taken as lying inside "/a/x".
QString folderKey(const QString& path)
{
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    QString missing;
    while (!QFileInfo::exists(existing)) {
        const qsizetype cut = existing.lastIndexOf(QLatin1Char('/'));
        if (cut <= 0) {
            existing = QStringLiteral("/");
            break;
        }
        missing.prepend(existing.mid(cut));
        existing.truncate(cut);
    }
    QString p = QFileInfo(existing).canonicalFilePath() + missing;
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

QString replaceFile(const QString& from, const QString& to)
{
    const QString part = to + QStringLiteral(".copie-en-cours");
    QFile::remove(part);
    if (!QFile::copy(from, part))
        return QStringLiteral("Copie impossible de %1").arg(QDir::toNativeSeparators(from));
    if (QFileInfo::exists(to) && !QFile::remove(to)) {
        QFile::remove(part);
        return QStringLiteral("Le fichier %1 ne peut pas être remplacé").arg(QDir::toNativeSeparators(to));
    }
    if (!QFile::rename(part, to)) {
        QFile::remove(part);
        return QStringLiteral("Le fichier %1 ne peut pas être écrit").arg(QDir::toNativeSeparators(to));
    }
    return {};
}

} // namespace

bool foldersOverlap(const QString& a, const QString& b)
{
    const QString ka = folderKey(a);
    const QString kb = folderKey(b);
    return ka.startsWith(kb) || kb.startsWith(ka);
}

QString copyFolder(const QString& source, const QString& destination)
{
    const QDir from(source);
    if (source.isEmpty() || !from.exists())
        return QStringLiteral("Le répertoire %1 n'existe pas").arg(QDir::toNativeSeparators(source));
    if (!QDir().mkpath(destination))
        return QStringLiteral("Le répertoire %1 ne peut pas être créé").arg(QDir::toNativeSeparators(destination));
    const QDir to(destination);
    const auto entries =
        from.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir() && entry.isSymLink())
            continue; // a linked folder could lead back into the tree
        const QString target = to.filePath(entry.fileName());
        const QString failure = entry.isDir() ? copyFolder(entry.filePath(), target)
                                              : replaceFile(entry.filePath(), target);
        if (!failure.isEmpty())
            return failure;
    }
    return {};
}

} // namespace admin
