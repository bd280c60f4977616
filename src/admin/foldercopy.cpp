#include "admin/foldercopy.h"

#include "data/dbcopy.h"
#include "data/longwork.h"
#include "platform/filewrite.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>
#include <unistd.h>
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

// Whether the name is that of a database's journal ("<database>-journal", "-wal", "-shm") beside a file of the
// source folder or of the target folder: the engine's business, copied with the database or never.
bool isJournal(const std::string& name, const std::vector<std::string>& names, const fs::path& targetFolder)
{
    for (const std::string_view suffix : {"-journal", "-wal", "-shm"}) {
        if (name.size() <= suffix.size() || !name.ends_with(suffix))
            continue;
        const std::string database = name.substr(0, name.size() - suffix.size());
        std::error_code ec;
        return std::binary_search(names.begin(), names.end(), database) || fs::exists(targetFolder / database, ec);
    }
    return false;
}

// A count as the French read it ("10 000").
QString count(qint64 n) { return QLocale(QLocale::French, QLocale::France).toString(n); }

class TreeCopy {
public:
    TreeCopy(const FolderCopy& copy, data::Progress* progress)
        : m_way(copy.way), m_destination(realPath(toPath(copy.destination))), m_progress(progress)
    {
        for (const QString& database : copy.databases)
            if (!database.isEmpty())
                m_databases.push_back(realPath(toPath(database)));
    }

    // Lists what the folder holds, to be copied into target; a linked folder is listed as its content.
    void list(const fs::path& from, const fs::path& to, int depth = 0)
    {
        std::error_code ec;
        const fs::path real = fs::canonical(from, ec);
        if (ec) {
            if (depth == 0 || ec != std::errc::no_such_file_or_directory) // a folder gone is passed over
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
        m_entries.push_back({from, to, depth, Kind::Folder, 0});
        std::vector<std::string> names;
        for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec))
            names.push_back(it->path().filename().native());
        if (ec) {
            fail(QStringLiteral("Le répertoire %1 ne peut pas être lu%2").arg(shown(from), cause(ec)));
            return;
        }
        std::sort(names.begin(), names.end());

        m_open.push_back(real);
        for (const std::string& name : names) {
            if (m_progress && ++m_found % 200 == 0)
                m_progress->report(QStringLiteral("%1 : %2 fichiers trouvés").arg(word(), count(m_found)), 0);
            // Files of work under way are no part of what the tree holds: a database's journals, the program's
            // own temporary files, the office's lock files (".~lock.<name>#": copied back, they would say a
            // workbook is open).
            if (isJournal(name, names, to) || name.starts_with(".~"))
                continue;
            const fs::path entry = from / name;
            const fs::path target = to / name;
            const fs::file_status own = fs::symlink_status(entry, ec);
            if (own.type() == fs::file_type::not_found)
                continue; // deleted since the listing
            const fs::file_status status = fs::status(entry, ec); // through links
            if (status.type() == fs::file_type::not_found) {
                if (fs::is_symlink(own))
                    fail(QStringLiteral("Le lien %1 ne mène à aucun fichier").arg(shown(entry)));
            } else if (fs::is_directory(status)) {
                list(entry, target, depth + 1);
            } else if (fs::is_regular_file(status)) {
                const std::uintmax_t size = fs::file_size(entry, ec);
                m_entries.push_back({entry, target, depth + 1, database(entry, target) ? Kind::Database : Kind::File,
                                     ec ? 0 : size});
            } else {
                fail(QStringLiteral("%1 n'est ni un fichier ni un répertoire").arg(shown(entry)));
            }
        }
        m_open.pop_back();
    }

    // Copies what was listed: the folders made, then the databases, then the other files.
    void run()
    {
        std::vector<const Entry*> databases, files;
        int failedFolder = -1; // the depth of a folder that could not be made: what it holds is not copied
        for (const Entry& e : m_entries) {
            if (failedFolder >= 0 && e.depth > failedFolder)
                continue;
            failedFolder = -1;
            if (e.kind == Kind::Folder) {
                if (!makeFolder(e))
                    failedFolder = e.depth;
                continue;
            }
            (e.kind == Kind::Database ? databases : files).push_back(&e);
            ++m_files;
            m_bytes += qint64(e.size);
        }
        // One database at a time: its copy holds the other workstations' saves back.
        for (const Entry* e : databases) {
            tell();
            copyDatabase(*e);
            done(*e, 0);
        }
        // The other files a few at once: most of a small file's copy is the wait for the disk to flush it, and
        // the disk flushes several as fast as one.
        std::atomic<size_t> next = 0;
        auto copier = [&] {
            for (size_t i; (i = next++) < files.size();)
                copyFile(*files[i]);
        };
        {
            std::vector<std::jthread> copiers;
            for (int n = 0; n < kCopiers; ++n)
                copiers.emplace_back(copier);
        }
        tell();
    }

    // What could not be copied, in the order of the tree.
    QStringList failures()
    {
        std::stable_sort(m_failures.begin(), m_failures.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        QStringList out;
        for (const auto& [at, why] : m_failures)
            out << why;
        return out;
    }

private:
    static constexpr int kCopiers = 8;

    enum class Kind { Folder, File, Database };
    struct Entry {
        fs::path from, to;
        int depth;
        Kind kind;
        std::uintmax_t size;
    };

    QString word() const { return m_way == CopyWay::Backup ? QStringLiteral("Sauvegarde") : QStringLiteral("Restauration"); }

    // Found while listing: at the place the tree has reached.
    void fail(const QString& why) { m_failures.emplace_back(m_entries.size(), why); }
    // Found while copying the entry, from any copier.
    void fail(const Entry& e, const QString& why)
    {
        const std::lock_guard lock(m_mutex);
        m_failures.emplace_back(size_t(&e - m_entries.data()), why);
    }

    // Tells the files copied and the bytes (with those of the database under way, and what is done to it).
    void tell(const QString& database = QString(), qint64 current = 0)
    {
        if (!m_progress)
            return;
        const QString files = m_files > 1 ? QStringLiteral("fichiers") : QStringLiteral("fichier");
        QString step = QStringLiteral("%1 : %2 %3 sur %4").arg(word(), count(m_filesDone), files, count(m_files));
        if (!database.isEmpty())
            step += QLatin1Char('\n') + database;
        m_progress->report(step, m_bytes ? double(m_bytesDone + current) / double(m_bytes) : 1.0);
    }

    // The file's bytes not told yet, and the file, counted as copied.
    void done(const Entry& e, qint64 told)
    {
        m_bytesDone += std::max<qint64>(0, qint64(e.size) - told);
        ++m_filesDone;
        tell();
    }

    // Whether the file is a database, to be copied through the engine.
    bool database(const fs::path& from, const fs::path& to) const
    {
        for (const fs::path& named : m_databases)
            if (named.filename() == from.filename() && (realPath(from) == named || realPath(to) == named))
                return true;
        std::error_code ec;
        return data::isDatabaseFile(QByteArray::fromStdString(from.native()))
               || (m_way == CopyWay::Restore && fs::is_regular_file(to, ec)
                   && data::isDatabaseFile(QByteArray::fromStdString(to.native())));
    }

    bool makeFolder(const Entry& e)
    {
        std::error_code ec;
        fs::path existing = e.to;
        while (existing != existing.parent_path() && !fs::exists(existing, ec))
            existing = existing.parent_path();
        fs::create_directories(e.to, ec);
        if (ec || !fs::is_directory(e.to, ec)) {
            fail(e, QStringLiteral("Le répertoire %1 ne peut pas être créé%2").arg(shown(e.to), cause(ec)));
            return false;
        }
        // The folders made outlive a power cut once their parents are flushed.
        for (fs::path made = e.to; made != existing && made != made.parent_path(); made = made.parent_path())
            platform::syncFolder(native(made.parent_path()));
        return true;
    }

    void copyFile(const Entry& e)
    {
        platform::FileFailure failure;
        qint64 told = 0;
        const bool copied = platform::copyFile(native(e.from), native(e.to), &failure, [&](qint64 bytes) {
            bytes = std::min(bytes, qint64(e.size));
            m_bytesDone += bytes - told;
            told = bytes;
            tell();
            return true;
        });
        done(e, told);
        if (copied || (failure.reading && failure.error == ENOENT)) // gone since the listing: as if deleted before
            return;
        failure.path = shown(failure.reading ? e.from : e.to);
        fail(e, failure.message());
    }

    void copyDatabase(const Entry& e)
    {
        std::error_code ec;
        if (!fs::exists(e.from, ec))
            return; // deleted since the listing
        auto told = [&](const QString& step, double done) {
            tell(QStringLiteral("Base de données %1 : %2").arg(shown(e.from.filename()), step), qint64(double(e.size) * done));
        };
        const bool inPlace = m_way == CopyWay::Restore && fs::is_regular_file(e.to, ec)
                             && data::isDatabaseFile(QByteArray::fromStdString(e.to.native()));
        if (inPlace) {
            // Other workstations may hold it open: the engine writes the saved content into it.
            const QString failure = data::restoreDatabase({native(e.from).bytes, native(e.to).bytes, shown(e.from), shown(e.to)}, told);
            if (!failure.isEmpty())
                fail(e, failure);
            return;
        }
        const platform::NativePath part = platform::temporaryNameBeside(native(e.to));
        const QString failure = data::copyDatabase({native(e.from).bytes, part.bytes, shown(e.from), shown(e.to)}, told);
        if (!failure.isEmpty()) {
            removeWithJournals(part.bytes);
            fail(e, failure);
            return;
        }
        // A journal left beside the target would be played back into the copy put in its place.
        removeWithJournals(native(e.to).bytes, false);
        platform::FileFailure installed;
        if (!platform::installFile(part, native(e.to), true, &installed)) {
            removeWithJournals(part.bytes);
            installed.path = shown(e.to);
            fail(e, installed.message());
        }
    }

    static platform::NativePath native(const fs::path& path) { return {QByteArray::fromStdString(path.native())}; }

    static void removeWithJournals(const QByteArray& path, bool file = true)
    {
        if (file)
            ::unlink(path.constData());
        for (const char* suffix : {"-journal", "-wal", "-shm"})
            ::unlink((path + suffix).constData());
    }

    CopyWay m_way;
    fs::path m_destination;
    data::Progress* m_progress;
    std::vector<fs::path> m_databases; // real paths
    std::vector<fs::path> m_open;      // real paths of the folders being listed, outermost first
    std::vector<Entry> m_entries;
    qint64 m_found = 0;
    qint64 m_files = 0, m_bytes = 0;
    std::atomic<qint64> m_filesDone = 0, m_bytesDone = 0;
    std::mutex m_mutex; // of the failures, for the copiers
    std::vector<std::pair<size_t, QString>> m_failures; // at their place in the tree
};

} // namespace

bool foldersOverlap(const QString& a, const QString& b)
{
    const fs::path ra = realPath(toPath(a));
    const fs::path rb = realPath(toPath(b));
    return within(ra, rb) || within(rb, ra);
}

QString copyFolder(const FolderCopy& copy, data::Progress* progress)
{
    const fs::path from = toPath(copy.source);
    std::error_code ec;
    if (copy.source.isEmpty() || !fs::is_directory(from, ec))
        return QStringLiteral("Le répertoire %1 n'existe pas").arg(QDir::toNativeSeparators(copy.source));
    TreeCopy tree(copy, progress);
    tree.list(from, toPath(copy.destination));
    tree.run();
    // Every entry is named, up to a screenful.
    constexpr int kShown = 15;
    const QStringList failures = tree.failures();
    QStringList lines = failures.mid(0, kShown);
    if (failures.size() > kShown)
        lines << QStringLiteral("… et %1 autres éléments non copiés").arg(failures.size() - kShown);
    return lines.join(QLatin1Char('\n'));
}

} // namespace admin
