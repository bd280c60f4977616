// LibreOffice Calc over UNO. The program runs an office instance of its own (own profile, own pipe), so a
// LibreOffice the user runs is never reached, and only that instance is ever closed.
#include "office/libreoffice.h"

#include "platform/conversions.h"
#include "platform/filewrite.h"
#include "platform/progresswindow.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <cppuhelper/bootstrap.hxx>
#include <rtl/ustring.hxx>

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/awt/XTopWindow.hpp>
#include <com/sun/star/awt/XWindow.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XFrame.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/frame/theUICommandDescription.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <com/sun/star/util/XNumberFormats.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <clocale>
#include <deque>
#include <fcntl.h>
#include <future>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace com::sun::star;
using rtl::OUString;
using uno::Reference;
using uno::UNO_QUERY;
using uno::UNO_QUERY_THROW;

namespace office {

namespace {

constexpr int kExitTimeoutMs = 15000;
// Less room than this on a disk, and a store that failed there is taken for a full disk.
constexpr qint64 kFullDiskBytes = 1024 * 1024;

OUString ou(const QString& s) { return OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), s.size()); }
QString qs(const OUString& s) { return QString(reinterpret_cast<const QChar*>(s.getStr()), s.getLength()); }
QString fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
}

beans::PropertyValue prop(const char* name, const uno::Any& value)
{
    beans::PropertyValue p;
    p.Name = OUString::createFromAscii(name);
    p.Value = value;
    return p;
}

uno::Sequence<beans::PropertyValue> props(std::initializer_list<beans::PropertyValue> list)
{
    uno::Sequence<beans::PropertyValue> seq(static_cast<sal_Int32>(list.size()));
    beans::PropertyValue* out = seq.getArray();
    for (const auto& p : list)
        *out++ = p;
    return seq;
}

// The client side of UNO, bootstrapped once per process.
Reference<uno::XComponentContext> localContext()
{
    static Reference<uno::XComponentContext> context = []() -> Reference<uno::XComponentContext> {
        // Without it the client crashes while connecting.
        setenv("URE_BOOTSTRAP", "vnd.sun.star.pathname:" LO_PROGRAM_DIR "/fundamentalrc", 1);
        try {
            return cppu::defaultBootstrap_InitialComponentContext();
        } catch (...) {
            return {};
        }
    }();
    return context;
}

bool displayAvailable()
{
    const bool display = !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const QString qpa = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!display || qpa == QLatin1String("offscreen") || qpa == QLatin1String("minimal"))
        return false;
    // The -nogui builds have no window backend at all.
    return !QDir(QStringLiteral(LO_PROGRAM_DIR)).entryList({QStringLiteral("libvclplug_*")}).isEmpty();
}

bool processAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 && line.size() > close + 2 && line.at(close + 2) != 'Z';
}

bool isUtf8Locale(const QByteArray& name)
{
    const QByteArray lower = name.toLower();
    return lower.contains(".utf-8") || lower.contains(".utf8");
}

bool localeInstalled(const QByteArray& name)
{
    const locale_t l = ::newlocale(LC_CTYPE_MASK, name.constData(), locale_t(0));
    if (l == locale_t(0))
        return false;
    ::freelocale(l);
    return true;
}

// The environment of the office: the program's own, without the test platform setting, and with a UTF-8
// character type. The office turns file URLs into paths with the encoding of its character type; under "C"
// or a Latin-1 locale it would write "LEFÈVRE" in Latin-1 bytes where the program (UTF-8 whatever its
// locale) looks for UTF-8 ones. The other categories (messages, numbers) stay as they were.
QList<QByteArray> officeEnvironment()
{
    QList<QByteArray> env;
    QByteArray all, ctype, lang;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (entry.startsWith("QT_QPA_PLATFORM=") || entry.startsWith("URE_BOOTSTRAP="))
            continue;
        const QByteArray value = entry.mid(entry.indexOf('=') + 1);
        if (entry.startsWith("LC_ALL="))
            all = value;
        else if (entry.startsWith("LC_CTYPE="))
            ctype = value;
        else if (entry.startsWith("LANG="))
            lang = value;
        env << entry;
    }
    const QByteArray effective = !all.isEmpty() ? all : !ctype.isEmpty() ? ctype : lang;
    if (isUtf8Locale(effective))
        return env;
    // The same language in UTF-8 when the system has it ("fr_FR.ISO-8859-1" -> "fr_FR.UTF-8"), else C.UTF-8.
    QByteArray language = effective;
    QByteArray modifier;
    if (const qsizetype at = language.indexOf('@'); at >= 0) {
        modifier = language.mid(at);
        language.truncate(at);
    }
    if (const qsizetype dot = language.indexOf('.'); dot >= 0)
        language.truncate(dot);
    if (language.isEmpty() || language == "POSIX")
        language = "C";
    QByteArray utf8 = language + ".UTF-8" + modifier;
    if (!localeInstalled(utf8))
        utf8 = "C.UTF-8";
    if (!all.isEmpty()) {
        // LC_ALL would override LC_CTYPE: let LANG carry it to every other category instead.
        env.removeIf([](const QByteArray& e) { return e.startsWith("LC_") || e.startsWith("LANG="); });
        env << "LANG=" + all;
    } else {
        env.removeIf([](const QByteArray& e) { return e.startsWith("LC_CTYPE="); });
    }
    env << "LC_CTYPE=" + utf8;
    return env;
}

// Starts the office as a child in a session of its own, with no inherited standard streams (it would keep the
// caller's pipes open). A direct child is reaped by waitpid when it ends, so no zombie is left where init does
// not reap; it still outlives the program when left running.
qint64 spawnDetached(const QString& program, const QStringList& args)
{
    QList<QByteArray> argBytes{QFile::encodeName(program)};
    for (const QString& a : args)
        argBytes << a.toUtf8();
    std::vector<char*> argv;
    for (QByteArray& a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    QList<QByteArray> envBytes = officeEnvironment();
    std::vector<char*> envp;
    for (QByteArray& e : envBytes)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? pid : -1;
}

void reap(qint64 pid)
{
    if (pid > 0)
        ::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG);
}

// Processes whose command line carries our pipe: the launcher (oosplash) and the office (soffice.bin).
QList<qint64> processesWithPipe(const QString& pipe, bool officeOnly)
{
    const QByteArray marker = "pipe,name=" + pipe.toUtf8() + ";";
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric || !processAlive(pid))
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (!cmdline.open(QIODevice::ReadOnly) || !cmdline.readAll().contains(marker))
            continue;
        if (officeOnly) {
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
            if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "soffice.bin")
                continue;
        }
        pids << pid;
    }
    return pids;
}

struct ProfileSetting {
    const char* path;
    const char* name;
    const char* value;
};

// Settings the profile needs: no lock files (a stale one makes a load return nothing), no tips, no autosave or
// recovery, no "keep format?" question, French input conventions, and a French interface and document language
// whatever the desktop's language. The interface language is the profile's UILocale: the --language start option
// of LibreOffice 7.4 (Debian 12) only applies while a profile has no UILocale, so a profile switched to another
// language in the office's options would stay in it. A UILocale whose language pack is missing is dropped by the
// office, which then follows the desktop.
constexpr ProfileSetting kProfileSettings[] = {
    {"/org.openoffice.Office.Common/Misc", "UseLocking", "false"},
    {"/org.openoffice.Office.Common/Misc", "ShowTipOfTheDay", "false"},
    {"/org.openoffice.Office.Common/Misc", "FirstRun", "false"},
    {"/org.openoffice.Office.Common/Save/Document", "AutoSave", "false"},
    {"/org.openoffice.Office.Common/Save/Document", "WarnAlienFormat", "false"},
    {"/org.openoffice.Office.Recovery/AutoSave", "Enabled", "false"},
    {"/org.openoffice.Office.Recovery/RecoveryInfo", "Enabled", "false"},
    {"/org.openoffice.Setup/L10N", "ooSetupSystemLocale", "fr-FR"},
    {"/org.openoffice.Office.Linguistic/General", "UILocale", "fr-FR"},
    {"/org.openoffice.Office.Linguistic/General", "DefaultLocale", "fr-FR"},
    {"/org.openoffice.Setup/Product", "ooSetupLastVersion", "99.0"},
};

// Writes the settings into the profile before the office starts, into a new profile or over the values of one
// that an earlier version of the program made or the user changed; the office's other settings are kept.
bool prepareProfile(const QString& dir)
{
    const QString file = dir + QStringLiteral("/user/registrymodifications.xcu");
    QString content;
    if (QFile in(file); in.open(QIODevice::ReadOnly))
        content = QString::fromUtf8(in.readAll());
    const QString original = content;
    const QString end = QStringLiteral("</oor:items>");
    if (!content.contains(end))
        content = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<oor:items "
                                 "xmlns:oor=\"http://openoffice.org/2001/registry\" "
                                 "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
                                 "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n") +
                  end + QLatin1Char('\n');
    for (const ProfileSetting& s : kProfileSettings) {
        const QString path = QString::fromLatin1(s.path), name = QString::fromLatin1(s.name);
        // The office writes one item a line.
        const QString earlier = QStringLiteral("<item oor:path=\"%1\"><prop oor:name=\"%2\"[^\n]*</item>\n?")
                                    .arg(QRegularExpression::escape(path), QRegularExpression::escape(name));
        content.remove(QRegularExpression(earlier));
        content.insert(content.lastIndexOf(end),
                       QStringLiteral("<item oor:path=\"%1\"><prop oor:name=\"%2\" oor:op=\"fuse\"><value>%3</value>"
                                      "</prop></item>\n")
                           .arg(path, name, QString::fromLatin1(s.value)));
    }
    if (content == original)
        return true;
    if (!QDir().mkpath(dir + QStringLiteral("/user")))
        return false;
    return platform::writeFile(file, content.toUtf8());
}

lang::Locale french()
{
    lang::Locale locale;
    locale.Language = OUString::createFromAscii("fr");
    locale.Country = OUString::createFromAscii("FR");
    return locale;
}

bool isDateFormat(const Reference<util::XNumberFormats>& formats, sal_Int32 key)
{
    try {
        Reference<beans::XPropertySet> format = formats->getByKey(key);
        sal_Int16 type = 0;
        if (format.is())
            format->getPropertyValue(OUString::createFromAscii("Type")) >>= type;
        return (type & util::NumberFormat::DATE) != 0;
    } catch (const uno::Exception&) {
        return false;
    }
}

Reference<util::XNumberFormats> numberFormats(const Reference<frame::XModel>& model)
{
    Reference<util::XNumberFormatsSupplier> supplier(model, UNO_QUERY_THROW);
    return supplier->getNumberFormats();
}

Reference<sheet::XSpreadsheet> firstSheet(const Reference<frame::XModel>& model)
{
    Reference<sheet::XSpreadsheetDocument> doc(model, UNO_QUERY_THROW);
    Reference<container::XIndexAccess> sheets(doc->getSheets(), UNO_QUERY_THROW);
    return Reference<sheet::XSpreadsheet>(sheets->getByIndex(0), UNO_QUERY_THROW);
}

Reference<sheet::XSpreadsheet> activeSheet(const Reference<frame::XModel>& model)
{
    Reference<sheet::XSpreadsheetView> view(model->getCurrentController(), UNO_QUERY);
    if (view.is()) {
        Reference<sheet::XSpreadsheet> sheet = view->getActiveSheet();
        if (sheet.is())
            return sheet;
    }
    return firstSheet(model);
}

Reference<table::XCell> cellAt(const Reference<sheet::XSpreadsheet>& sheet, const QString& address)
{
    Reference<table::XCellRange> range = sheet->getCellRangeByName(ou(address));
    return range->getCellByPosition(0, 0);
}

void closeModel(const Reference<frame::XModel>& model)
{
    if (!model.is())
        return;
    try {
        Reference<util::XModifiable> modifiable(model, UNO_QUERY);
        if (modifiable.is())
            modifiable->setModified(false);
        Reference<util::XCloseable> closeable(model, UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
        else
            Reference<lang::XComponent>(model, UNO_QUERY_THROW)->dispose();
    } catch (const uno::Exception&) {
        // Already closed, or the office went away: either way the document is gone.
    }
}

// A workbook on disk loaded hidden and read-only, closed when it goes out of scope.
class ReadOnlyDocument {
public:
    ReadOnlyDocument(const Reference<frame::XDesktop2>& desktop, const QString& path)
    {
        Reference<frame::XComponentLoader> loader(desktop, UNO_QUERY_THROW);
        model.set(loader->loadComponentFromURL(ou(fileUrl(path)), OUString::createFromAscii("_blank"), 0,
                                               props({prop("Hidden", uno::Any(true)), prop("ReadOnly", uno::Any(true))})),
                  UNO_QUERY_THROW);
    }
    ~ReadOnlyDocument() { closeModel(model); }
    ReadOnlyDocument(const ReadOnlyDocument&) = delete;
    ReadOnlyDocument& operator=(const ReadOnlyDocument&) = delete;

    Reference<frame::XModel> model;
};

// Why the office could not store a workbook in the folder: it says no more than that it failed, and a full disk
// is what fails a store where the program itself writes.
int storeError(const QString& folder)
{
    struct statvfs disk;
    if (::statvfs(QFile::encodeName(folder).constData(), &disk) == 0 &&
        qint64(disk.f_bavail) * qint64(disk.f_frsize) < kFullDiskBytes)
        return ENOSPC;
    return EIO;
}

// The one thread that talks to the office: a call the office never answers holds it, never the caller.
class OfficeThread {
public:
    ~OfficeThread()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

    void post(std::function<void()> task)
    {
        const std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { loop(); });
        m_tasks.push_back(std::move(task));
        m_wake.notify_one();
    }

private:
    void loop()
    {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stop || !m_tasks.empty(); });
                if (m_tasks.empty())
                    return;
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_stop = false;
    std::thread m_thread;
};

// How long a call may take before the wait shows at all: most calls end well within it.
constexpr int kQuietWaitMs = 50;

} // namespace

// The members below "office thread" are used only from tasks run there; the others from the caller's thread.
struct LibreOfficeSpreadsheet::Impl {
    LibreOfficeOptions options;
    bool visible = false;
    std::atomic<qint64> launcherPid = 0; // set by a start on the office thread, read by end()

    // office thread
    Reference<uno::XComponentContext> remote;
    Reference<frame::XDesktop2> desktop;
    QHash<int, Reference<frame::XModel>> documents;
    int nextId = 1;

    OfficeThread thread; // last: it ends before what its tasks use goes

    // Runs work on the office thread and waits for it, within the time limit. Past the limit the user may end
    // the office: the call then throws NoAnswer once the work has returned (killing the office makes any call
    // it was in return at once).
    template <class F>
    auto run(int limitMs, F&& work) -> decltype(work())
    {
        using Result = decltype(work());
        auto task = std::make_shared<std::packaged_task<Result()>>(std::forward<F>(work));
        std::future<Result> result = task->get_future();
        thread.post([task] { (*task)(); });
        const auto done = [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; };
        bool ended = false;
        if (result.wait_for(std::chrono::milliseconds(kQuietWaitMs)) != std::future_status::ready) {
            platform::waitFor(QStringLiteral("Le tableur travaille, veuillez patienter…"), done, limitMs,
                              [&](qint64 waited) {
                                  if (!done() && !waitLonger(waited) && !done()) {
                                      end();
                                      ended = true;
                                  }
                              });
        }
        if (ended) {
            result.wait();
            forgetOffice();
            throw NoAnswer();
        }
        return result.get();
    }

    // Drops what this engine held of an office that was ended; nothing of it can answer any more.
    void forgetOffice()
    {
        std::promise<void> forgotten;
        thread.post([&] {
            disconnect();
            forgotten.set_value();
        });
        forgotten.get_future().wait();
    }

    // Kills the program's own office (its launcher and soffice.bin, found by the pipe only they listen on).
    void end()
    {
        for (qint64 pid : processesWithPipe(options.pipeName, false))
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        QElapsedTimer timer;
        timer.start();
        while (!processesWithPipe(options.pipeName, false).isEmpty() && timer.elapsed() < 5000) {
            reap(launcherPid);
            QThread::msleep(20);
        }
        reap(launcherPid);
        launcherPid = 0;
    }

    // Reaches the instance on our pipe (maybe left running by an earlier run of the program, with a registry
    // form open) or starts one, with the longer limit of a start.
    bool ready()
    {
        if (run(options.callLimitMs, [this] { return connected() || connect(); }))
            return true;
        return run(options.startLimitMs, [this] { return launch(); });
    }

    // What read finds in a workbook on disk, loaded hidden and read-only; nothing when it cannot be read.
    template <class Result, class Read>
    Result readDocument(const QString& path, Read read)
    {
        if (!QFileInfo(path).isFile() || !ready())
            return {};
        return run(options.callLimitMs, [&]() -> Result {
            try {
                const ReadOnlyDocument document(desktop, path);
                return read(document.model);
            } catch (const uno::Exception&) {
                return {};
            }
        });
    }

    // --- office thread ---

    void disconnect()
    {
        documents.clear();
        desktop.clear();
        remote.clear();
    }

    bool connect()
    {
        const Reference<uno::XComponentContext> local = localContext();
        if (!local.is())
            return false;
        try {
            Reference<bridge::XUnoUrlResolver> resolver = bridge::UnoUrlResolver::create(local);
            Reference<uno::XInterface> object = resolver->resolve(
                ou(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(options.pipeName)));
            remote.set(object, UNO_QUERY_THROW);
            desktop = frame::Desktop::create(remote);
            return true;
        } catch (const uno::Exception&) {
            remote.clear();
            desktop.clear();
            return false;
        }
    }

    bool connected()
    {
        if (!desktop.is())
            return false;
        try {
            desktop->getCurrentFrame(); // a dead bridge throws here
            return true;
        } catch (const uno::Exception&) {
            disconnect();
            return false;
        }
    }

    // Starts the office and connects to it; false once nothing of ours runs any more. How long it may take is
    // the caller's limit.
    bool launch()
    {
        if (!prepareProfile(options.profileDir))
            return false;
        QStringList args{
            QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(options.pipeName),
            QStringLiteral("-env:UserInstallation=") + fileUrl(options.profileDir),
            QStringLiteral("--norestore"), QStringLiteral("--nologo"), QStringLiteral("--nodefault"),
            QStringLiteral("--nolockcheck")};
        if (!visible)
            args << QStringLiteral("--headless");
        const qint64 pid = spawnDetached(options.soffice, args);
        if (pid <= 0)
            return false;
        launcherPid = pid;
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            if (connect())
                return true;
            // The launcher hands over to an instance already running on our profile and exits; keep trying
            // while anything of ours is alive.
            reap(pid);
            if (!processAlive(pid) && processesWithPipe(options.pipeName, false).isEmpty() &&
                timer.elapsed() > 2000)
                return false;
            QThread::msleep(50);
        }
    }

    Reference<frame::XModel> model(int id)
    {
        const Reference<frame::XModel> m = documents.value(id);
        if (!m.is())
            return {};
        try {
            m->getURL(); // a closed document throws DisposedException
            return m;
        } catch (const uno::Exception&) {
            documents.remove(id);
            return {};
        }
    }

    void waitForExit()
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < kExitTimeoutMs) {
            reap(launcherPid);
            if (processesWithPipe(options.pipeName, false).isEmpty()) {
                reap(launcherPid); // it may have ended between the two calls
                return;
            }
            QThread::msleep(50);
        }
        // The office did not end by itself; these are processes of our own instance (our pipe), never others.
        for (int signal : {SIGTERM, SIGKILL}) {
            const QList<qint64> pids = processesWithPipe(options.pipeName, false);
            if (pids.isEmpty())
                return;
            for (qint64 pid : pids)
                ::kill(static_cast<pid_t>(pid), signal);
            QThread::msleep(1000);
            reap(launcherPid);
        }
    }

    // Asks the office to end. False when the user kept it (answered Cancel to its own question).
    bool terminate()
    {
        bool ended = true;
        try {
            ended = desktop->terminate();
        } catch (const uno::Exception&) {
            ended = true; // the bridge went down with the office
        }
        if (!ended)
            return false;
        disconnect();
        waitForExit();
        launcherPid = 0;
        return true;
    }

    QList<Reference<frame::XModel>> openModels()
    {
        QList<Reference<frame::XModel>> models;
        Reference<container::XEnumeration> all = desktop->getComponents()->createEnumeration();
        while (all->hasMoreElements()) {
            Reference<frame::XModel> model(all->nextElement(), UNO_QUERY);
            if (model.is())
                models << model;
        }
        return models;
    }

    bool hasOpenDocuments()
    {
        try {
            return !openModels().isEmpty();
        } catch (const uno::Exception&) {
            return false;
        }
    }

    // What the workbook's stored file is: the working copy, or a workbook of the user's.
    static bool isWorkingCopy(const Reference<frame::XModel>& model)
    {
        return QFileInfo(QUrl(qs(model->getURL())).toLocalFile()) == QFileInfo(workingCopyPath());
    }

    static bool isModified(const Reference<frame::XModel>& model)
    {
        const Reference<util::XModifiable> modifiable(model, UNO_QUERY);
        return modifiable.is() && modifiable->isModified();
    }
};

LibreOfficeSpreadsheet::LibreOfficeSpreadsheet(LibreOfficeOptions options) : d(std::make_unique<Impl>())
{
    if (options.profileDir.isEmpty()) {
        options.profileDir = qEnvironmentVariable("FOLIVEX_LO_PROFILE");
        if (options.profileDir.isEmpty())
            options.profileDir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                                 QStringLiteral("/folivex/office-profile");
    }
    options.profileDir = QFileInfo(options.profileDir).absoluteFilePath();
    if (options.pipeName.isEmpty()) {
        const QByteArray hash = QCryptographicHash::hash(options.profileDir.toUtf8(), QCryptographicHash::Sha1);
        options.pipeName = QStringLiteral("folivex-") + QString::fromLatin1(hash.toHex().left(16));
    }
    switch (options.display) {
    case LibreOfficeOptions::Display::Auto: d->visible = displayAvailable(); break;
    case LibreOfficeOptions::Display::Visible: d->visible = true; break;
    case LibreOfficeOptions::Display::Headless: d->visible = false; break;
    }
    d->options = std::move(options);
}

LibreOfficeSpreadsheet::~LibreOfficeSpreadsheet()
{
    try {
        // A visible workbook left for the user (the registry form) outlives the program; nothing else does.
        const bool left = d->run(d->options.callLimitMs, [this] {
            return !d->connected() || (d->visible && d->hasOpenDocuments());
        });
        if (!left)
            shutdown();
    } catch (const NoAnswer&) {
        // ended by the user
    }
}

const LibreOfficeOptions& LibreOfficeSpreadsheet::options() const { return d->options; }
bool LibreOfficeSpreadsheet::isVisible() const { return d->visible; }
bool LibreOfficeSpreadsheet::start() { return d->ready(); }
bool LibreOfficeSpreadsheet::isRunning()
{
    return d->run(d->options.callLimitMs, [this] { return d->connected() || d->connect(); });
}

QList<qint64> LibreOfficeSpreadsheet::officeProcessIds() const
{
    return processesWithPipe(d->options.pipeName, true);
}

QString LibreOfficeSpreadsheet::commandLabel(const QString& command)
{
    if (!d->ready())
        return {};
    return d->run(d->options.callLimitMs, [&]() -> QString {
        try {
            const Reference<container::XNameAccess> modules = frame::theUICommandDescription::get(d->remote);
            const Reference<container::XNameAccess> calc(
                modules->getByName(OUString::createFromAscii("com.sun.star.sheet.SpreadsheetDocument")),
                UNO_QUERY_THROW);
            uno::Sequence<beans::PropertyValue> properties;
            if (!(calc->getByName(ou(command)) >>= properties))
                return {};
            for (sal_Int32 i = 0; i < properties.getLength(); ++i) {
                OUString label;
                if (properties[i].Name == "Label" && (properties[i].Value >>= label))
                    return qs(label);
            }
        } catch (const uno::Exception&) {
        }
        return {};
    });
}

Spreadsheet::Opened LibreOfficeSpreadsheet::open(const QString& path)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!d->ready())
            return {OpenStatus::NoApplication, 0};
        if (!QFileInfo(path).isFile())
            return {OpenStatus::FileNotFound, 0};
        const std::optional<Opened> opened = d->run(d->options.callLimitMs, [&]() -> std::optional<Opened> {
            try {
                Reference<frame::XComponentLoader> loader(d->desktop, UNO_QUERY_THROW);
                const auto args =
                    props({prop("Hidden", uno::Any(!d->visible)), prop("ReadOnly", uno::Any(false))});
                Reference<lang::XComponent> component =
                    // "_default" reuses an empty start window the user may have left, instead of adding a frame.
                    loader->loadComponentFromURL(ou(fileUrl(path)), OUString::createFromAscii("_default"), 0, args);
                Reference<frame::XModel> model(component, UNO_QUERY);
                if (!model.is() || !Reference<sheet::XSpreadsheetDocument>(model, UNO_QUERY).is()) {
                    closeModel(model);
                    return Opened{OpenStatus::Failed, 0};
                }
                if (d->visible) {
                    try {
                        Reference<awt::XTopWindow> top(
                            model->getCurrentController()->getFrame()->getContainerWindow(), UNO_QUERY);
                        if (top.is())
                            top->toFront();
                    } catch (const uno::Exception&) {
                    }
                }
                const int id = d->nextId++;
                d->documents.insert(id, model);
                return Opened{OpenStatus::Opened, id};
            } catch (const uno::RuntimeException&) {
                // The user ended the office since the last call: start a new one and try again.
                d->disconnect();
                return std::nullopt;
            } catch (const uno::Exception&) {
                return Opened{OpenStatus::Failed, 0};
            }
        });
        if (opened)
            return *opened;
    }
    return {OpenStatus::Failed, 0};
}

bool LibreOfficeSpreadsheet::isOpen(int document)
{
    return d->run(d->options.callLimitMs, [&] { return d->model(document).is(); });
}

bool LibreOfficeSpreadsheet::writeCell(int document, const QString& address, const CellValue& value)
{
    return d->run(d->options.callLimitMs, [&] {
        const Reference<frame::XModel> model = d->model(document);
        if (!model.is())
            return false;
        try {
            Reference<table::XCell> cell = cellAt(activeSheet(model), address);
            Reference<beans::XPropertySet> cellProps(cell, UNO_QUERY_THROW);
            const OUString formatProp = OUString::createFromAscii("NumberFormat");
            switch (value.kind) {
            case CellValue::Kind::Text:
                Reference<text::XText>(cell, UNO_QUERY_THROW)->setString(ou(value.text));
                break;
            case CellValue::Kind::Number:
                cell->setValue(value.number);
                break;
            case CellValue::Kind::Date: {
                cell->setValue(double(platform::dayNumber(value.date)));
                const Reference<util::XNumberFormats> formats = numberFormats(model);
                sal_Int32 current = 0;
                cellProps->getPropertyValue(formatProp) >>= current;
                if (!isDateFormat(formats, current)) { // keep a date layout the template chose for the cell
                    const OUString code = OUString::createFromAscii("JJ/MM/AAAA");
                    sal_Int32 key = formats->queryKey(code, french(), false);
                    if (key < 0)
                        key = formats->addNew(code, french());
                    cellProps->setPropertyValue(formatProp, uno::Any(key));
                }
                break;
            }
            case CellValue::Kind::Typed: {
                sal_Int32 before = 0;
                cellProps->getPropertyValue(formatProp) >>= before;
                cellProps->setPropertyValue(OUString::createFromAscii("FormulaLocal"), uno::Any(ou(value.text)));
                // Complete dates never get here (they arrive as Date); anything else the office read as a date,
                // such as "10/10", is kept as the text that was typed.
                if (cell->getType() == table::CellContentType_VALUE) {
                    sal_Int32 after = 0;
                    cellProps->getPropertyValue(formatProp) >>= after;
                    if (after != before && isDateFormat(numberFormats(model), after)) {
                        cellProps->setPropertyValue(formatProp, uno::Any(before));
                        Reference<text::XText>(cell, UNO_QUERY_THROW)->setString(ou(value.text));
                    }
                }
                break;
            }
            }
            return true;
        } catch (const uno::Exception&) {
            return false;
        }
    });
}

// The office writes a temporary file of its own beside what it stores, then copies it under the name: both go
// into a private folder beside the workbook, and the workbook is put in place once it is whole. A store cut short
// (a full disk, a write error, the office ended or dead) leaves nothing in the workbook folder, and the file under
// the name is never a part of a workbook.
bool LibreOfficeSpreadsheet::save(int document, const QString& path, bool replace, platform::FileFailure* failure)
{
    const auto failed = [&](int error) {
        if (failure)
            *failure = platform::FileFailure{path, error ? error : EIO};
        return false;
    };
    const QString staging = platform::temporaryNameBeside(path);
    if (::mkdir(QFile::encodeName(staging).constData(), 0700) != 0)
        return failed(errno);
    const auto removeStaging = qScopeGuard([&] { QDir(staging).removeRecursively(); });
    const QString staged = staging + QLatin1Char('/') + QFileInfo(path).fileName();
    const bool stored = d->run(d->options.callLimitMs, [&] {
        const Reference<frame::XModel> model = d->model(document);
        if (!model.is())
            return false;
        try {
            Reference<frame::XStorable> storable(model, UNO_QUERY_THROW);
            storable->storeToURL(ou(fileUrl(staged)),
                                 props({prop("FilterName", uno::Any(OUString::createFromAscii("MS Excel 97"))),
                                        prop("Overwrite", uno::Any(true))}));
            return true;
        } catch (const uno::RuntimeException&) {
            d->connected(); // a dead office is forgotten
            return false;
        } catch (const uno::Exception&) {
            return false;
        }
    });
    if (!stored || !isWholeWorkbook(staged))
        return failed(storeError(staging));
    return platform::installFile(staged, path, replace, failure);
}

void LibreOfficeSpreadsheet::bringToFront(int document)
{
    if (!d->visible)
        return;
    d->run(d->options.callLimitMs, [&] {
        const Reference<frame::XModel> model = d->model(document);
        if (!model.is())
            return;
        try {
            Reference<awt::XTopWindow> top(model->getCurrentController()->getFrame()->getContainerWindow(),
                                           UNO_QUERY);
            if (top.is())
                top->toFront();
        } catch (const uno::Exception&) {
        }
    });
}

void LibreOfficeSpreadsheet::close(int document)
{
    d->run(d->options.callLimitMs, [&] {
        closeModel(d->model(document));
        d->documents.remove(document);
    });
}

void LibreOfficeSpreadsheet::closeAll()
{
    d->run(d->options.callLimitMs, [this] {
        d->documents.clear();
        if (!d->connected() && !d->connect())
            return;
        try {
            for (const auto& model : d->openModels())
                closeModel(model);
        } catch (const uno::Exception&) {
            d->disconnect();
        }
    });
}

void LibreOfficeSpreadsheet::quit(const QList<int>& keep)
{
    d->run(d->options.callLimitMs, [&] {
        if (!d->connected() && !d->connect())
            return;
        try {
            for (auto it = d->documents.begin(); it != d->documents.end();) {
                const Reference<frame::XModel> model = d->model(it.key());
                // Headless, nobody could see what would be left.
                const bool left = d->visible && model.is() &&
                                  (keep.contains(it.key()) || (Impl::isModified(model) && !Impl::isWorkingCopy(model)));
                if (left) {
                    ++it;
                    continue;
                }
                closeModel(model);
                it = d->documents.erase(it);
            }
            if (d->openModels().isEmpty())
                d->terminate();
        } catch (const uno::Exception&) {
            d->disconnect();
        }
    });
}

void LibreOfficeSpreadsheet::shutdown()
{
    d->run(d->options.callLimitMs, [this] {
        if (!d->connected() && !d->connect()) {
            d->waitForExit(); // an instance still starting or ending
            return;
        }
        d->documents.clear();
        try {
            for (const auto& model : d->openModels())
                closeModel(model);
        } catch (const uno::Exception&) {
        }
        if (d->connected())
            d->terminate();
        else
            d->waitForExit();
    });
}

QList<QStringList> LibreOfficeSpreadsheet::readTexts(const QString& path, const QString& range)
{
    return d->readDocument<QList<QStringList>>(path, [&](const Reference<frame::XModel>& model) {
        QList<QStringList> rows;
        const Reference<sheet::XCellRangeData> data(firstSheet(model)->getCellRangeByName(ou(range)),
                                                     UNO_QUERY_THROW);
        for (const uno::Sequence<uno::Any>& row : data->getDataArray()) {
            QStringList texts;
            for (const uno::Any& value : row) {
                OUString text;
                double number = 0;
                texts << ((value >>= text) ? qs(text) : (value >>= number) ? QString::number(number) : QString());
            }
            rows << texts;
        }
        return rows;
    });
}

QList<CellContent> LibreOfficeSpreadsheet::readCells(const QString& path, const QStringList& addresses)
{
    return d->readDocument<QList<CellContent>>(path, [&](const Reference<frame::XModel>& model) {
        QList<CellContent> cells;
        const Reference<sheet::XSpreadsheet> sheet = firstSheet(model);
        const Reference<util::XNumberFormats> formats = numberFormats(model);
        for (const QString& address : addresses) {
            const Reference<table::XCell> cell = cellAt(sheet, address);
            CellContent content;
            const Reference<beans::XPropertySet> cellProps(cell, UNO_QUERY_THROW);
            content.text = qs(Reference<text::XText>(cell, UNO_QUERY_THROW)->getString());
            content.value = cell->getValue();
            awt::Size size;
            cellProps->getPropertyValue(OUString::createFromAscii("Size")) >>= size;
            content.height = size.Height;
            switch (cell->getType()) {
            case table::CellContentType_EMPTY: content.type = CellContent::Type::Empty; break;
            case table::CellContentType_TEXT: content.type = CellContent::Type::Text; break;
            case table::CellContentType_FORMULA:
                content.type = CellContent::Type::Formula;
                content.formula = qs(cell->getFormula());
                break;
            case table::CellContentType_VALUE: {
                sal_Int32 key = 0;
                cellProps->getPropertyValue(OUString::createFromAscii("NumberFormat")) >>= key;
                content.type = isDateFormat(formats, key) ? CellContent::Type::Date : CellContent::Type::Number;
                if (content.type == CellContent::Type::Date)
                    content.date = platform::fromDayNumber(content.value);
                break;
            }
            default: break;
            }
            cells << content;
        }
        return cells;
    });
}

QList<qint64> officeProcessIds(const QString& pipeName) { return processesWithPipe(pipeName, true); }

std::unique_ptr<LibreOfficeSpreadsheet> createLibreOfficeSpreadsheet(LibreOfficeOptions options)
{
    return std::make_unique<LibreOfficeSpreadsheet>(std::move(options));
}

} // namespace office
