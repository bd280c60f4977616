#include "admin/foldercopy.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace admin {

namespace {

// Names are handled as the bytes the file system holds, never through QString: a name that is not UTF-8
// (Latin-1, as unzipping a Windows archive gives) would not survive the round trip.
fs::path toPath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

// A path as the user reads it: each part as UTF-8, or as Latin-1 when its bytes are not UTF-8.
QString shown(const fs::path& path)
{
    QStringList parts;
    for (const QByteArray& part : QByteArray::fromStdString(path.native()).split('/')) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8(part);
        parts << (utf8.hasError() ? QString::fromLatin1(part) : text);
    }
    return QDir::toNativeSeparators(parts.join(QLatin1Char('/')));
}

// The real path of a folder, or of its nearest existing parent followed by the missing part, so that a folder
// not made yet is still seen inside another when reached through a link.
fs::path realPath(const fs::path& path)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    const fs::path real = ec ? fs::path() : fs::weakly_canonical(absolute, ec);
    return ec ? fs::path() : real;
}

// True when inner is outer or lies inside it ("/a/xls" does not lie inside "/a/x").
bool within(const fs::path& inner, const fs::path& outer)
{
    std::string o = outer.native();
    std::string i = inner.native();
    if (!o.ends_with('/'))
        o += '/';
    if (!i.ends_with('/'))
        i += '/';
    return i.starts_with(o);
}

// The cause of a failure in French, where the user can act on it.
QString cause(const std::error_code& ec)
{
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted)
        return QStringLiteral(" (accès refusé)");
    if (ec == std::errc::no_space_on_device)
        return QStringLiteral(" (disque plein)");
    if (ec == std::errc::read_only_file_system)
        return QStringLiteral(" (support en lecture seule)");
    if (ec == std::errc::filename_too_long)
        return QStringLiteral(" (nom trop long)");
    return {};
}

class TreeCopy {
public:
    explicit TreeCopy(const fs::path& destination) : m_destination(realPath(destination)) {}

    // Copies the folder's entries into target; a linked folder is copied as its content.
    void copyFolder(const fs::path& from, const fs::path& to)
    {
        std::error_code ec;
        const fs::path real = fs::canonical(from, ec);
        if (ec) {
            fail(QStringLiteral("Le répertoire %1 ne peut pas être lu%2").arg(shown(from), cause(ec)));
            return;
        }
        // A link back to a folder being copied would copy it without end; one into the destination would
        // copy the copy.
        if (std::any_of(m_open.begin(), m_open.end(), [&](const fs::path& open) { return within(open, real); })) {
            fail(QStringLiteral("Le lien %1 mène à un répertoire qui le contient : il n'est pas copié")
                     .arg(shown(from)));
            return;
        }
        if (!m_open.empty() && (within(real, m_destination) || within(m_destination, real))) {
            fail(QStringLiteral("Le lien %1 mène au répertoire de destination : il n'est pas copié")
                     .arg(shown(from)));
            return;
        }
        fs::create_directories(to, ec);
        if (ec || !fs::is_directory(to, ec)) {
            fail(QStringLiteral("Le répertoire %1 ne peut pas être créé%2").arg(shown(to), cause(ec)));
            return;
        }
        std::vector<fs::path> entries;
        for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
            entries.push_back(it->path());
        if (ec) {
            fail(QStringLiteral("Le répertoire %1 ne peut pas être lu%2").arg(shown(from), cause(ec)));
            return;
        }
        std::sort(entries.begin(), entries.end());

        m_open.push_back(real);
        for (const fs::path& entry : entries) {
            const fs::path target = to / entry.filename();
            const fs::file_status status = fs::status(entry, ec); // through links
            if (status.type() == fs::file_type::not_found)
                fail(QStringLiteral("Le lien %1 ne mène à aucun fichier").arg(shown(entry)));
            else if (fs::is_directory(status))
                copyFolder(entry, target);
            else if (fs::is_regular_file(status))
                replaceFile(entry, target);
            else
                fail(QStringLiteral("%1 n'est ni un fichier ni un répertoire").arg(shown(entry)));
        }
        m_open.pop_back();
    }

    QStringList failures;

private:
    void fail(const QString& why) { failures << why; }

    // The copy is written beside its target first, so a failed copy never leaves a half-written file in place
    // of a whole one.
    void replaceFile(const fs::path& from, const fs::path& to)
    {
        fs::path part = to;
        part += ".copie-en-cours";
        std::error_code ec;
        fs::remove(part, ec);
        if (!fs::copy_file(from, part, fs::copy_options::overwrite_existing, ec)) {
            fs::remove(part, ec);
            fail(QStringLiteral("Copie impossible de %1%2").arg(shown(from), cause(ec)));
            return;
        }
        fs::rename(part, to, ec); // replaces a file of that name at once; a folder there refuses
        if (ec) {
            const QString why = cause(ec);
            fs::remove(part, ec);
            fail(QStringLiteral("Le fichier %1 ne peut pas être remplacé%2").arg(shown(to), why));
        }
    }

    fs::path m_destination;
    std::vector<fs::path> m_open; // real paths of the folders being copied, outermost first
};

} // namespace

bool foldersOverlap(const QString& a, const QString& b)
{
    const fs::path ra = realPath(toPath(a));
    const fs::path rb = realPath(toPath(b));
    return within(ra, rb) || within(rb, ra);
}

QString copyFolder(const QString& source, const QString& destination)
{
    const fs::path from = toPath(source);
    std::error_code ec;
    if (source.isEmpty() || !fs::is_directory(from, ec))
        return QStringLiteral("Le répertoire %1 n'existe pas").arg(QDir::toNativeSeparators(source));
    TreeCopy copy(toPath(destination));
    copy.copyFolder(from, toPath(destination));
    // Every entry is named, up to a screenful.
    constexpr int kShown = 15;
    QStringList lines = copy.failures.mid(0, kShown);
    if (copy.failures.size() > kShown)
        lines << QStringLiteral("… et %1 autres éléments non copiés").arg(copy.failures.size() - kShown);
    return lines.join(QLatin1Char('\n'));
}

} // namespace admin
