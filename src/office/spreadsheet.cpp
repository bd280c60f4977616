#include "office/spreadsheet.h"

#include "platform/conversions.h"
#include "platform/environment.h"
#include "platform/filewrite.h"
#include "platform/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <optional>

namespace office {

namespace {

// Stands in for an absent spreadsheet program.
class NoSpreadsheet final : public Spreadsheet {
public:
    Opened open(const QString&) override { return {OpenStatus::NoApplication, 0}; }
    bool isOpen(int) override { return false; }
    bool writeCell(int, const QString&, const CellValue&) override { return false; }
    bool save(int, const QString&, bool, platform::FileFailure*) override { return false; }
    void close(int) override {}
    void closeAll() override {}
    void quit(const QList<int>&) override {}
};

Spreadsheet* g_engine = nullptr;
// Documents left open for the user when the office is closed.
QList<int> g_kept;

// Runs an engine call; false when the office did not answer and the user had it ended.
template <class F>
bool answered(F&& call)
{
    try {
        call();
        return true;
    } catch (const NoAnswer&) {
        return false;
    }
}

} // namespace

QString workingCopyPath() { return platform::programFile(QString::fromLatin1(WORKING_COPY)); }

CellValue CellValue::from(const QVariant& value)
{
    CellValue cell;
    switch (value.typeId()) {
    case QMetaType::QDate:
        cell.kind = Kind::Date;
        cell.date = value.toDate();
        return cell;
    case QMetaType::QDateTime:
        cell.kind = Kind::Date;
        cell.date = value.toDateTime().date();
        return cell;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        cell.kind = Kind::Number;
        cell.number = value.toDouble();
        return cell;
    default:
        break;
    }
    cell.text = value.toString();
    if (cell.text.startsWith(QLatin1Char('='))) {
        cell.kind = Kind::Text; // a formula typed into a dossier field is data, not something to evaluate
    } else if (const auto date = platform::parseDate(cell.text)) {
        // Read with the system's own date rules (two-digit years) rather than the office's.
        cell.kind = Kind::Date;
        cell.date = *date;
        cell.text.clear();
    } else {
        cell.kind = Kind::Typed;
    }
    return cell;
}

CellValue CellValue::literal(const QString& text)
{
    CellValue cell;
    cell.kind = Kind::Text;
    cell.text = text;
    return cell;
}

CellValue CellValue::dateOrLiteral(const QString& text)
{
    if (const auto date = platform::parseDate(text)) {
        CellValue cell;
        cell.kind = Kind::Date;
        cell.date = *date;
        return cell;
    }
    return literal(text);
}

QString CellValue::describe() const
{
    switch (kind) {
    case Kind::Typed: return QStringLiteral("typed \"%1\"").arg(text);
    case Kind::Text: return QStringLiteral("text \"%1\"").arg(text);
    case Kind::Number: return QStringLiteral("number %1").arg(number);
    case Kind::Date: return QStringLiteral("date %1").arg(date.toString(QStringLiteral("dd/MM/yyyy")));
    }
    return {};
}

void setSpreadsheet(Spreadsheet* engine)
{
    g_engine = engine;
    g_kept.clear();
}

bool waitLonger(qint64 waitedMs)
{
    return platform::askYesNo(
        QStringLiteral("Le tableur ne répond pas depuis %1 secondes. Voulez-vous l'attendre encore ?\n\n"
                       "Non : il est arrêté, ce qui n'y était pas enregistré est perdu, et un nouveau tableur est "
                       "démarré ; vos saisies dans le programme restent affichées.")
            .arg(waitedMs / 1000));
}

Spreadsheet& spreadsheet()
{
    static NoSpreadsheet none;
    return g_engine ? *g_engine : none;
}

bool COPIE_MODELE(const QString& templateName)
{
    const QString source = platform::programFile(templateName);
    const QString target = workingCopyPath();
    if (!QFileInfo(source).isFile()) {
        platform::notice(QStringLiteral("Le fichier ") + source + QStringLiteral(" n'existe pas."));
        return false;
    }
    // Whole or not at all; any failure stops the caller, since the old working copy may hold another patient's
    // data.
    platform::FileFailure failure;
    if (!platform::copyFile(source, target, &failure)) {
        platform::notice(QStringLiteral("Impossible de copier le fichier ") + source + QStringLiteral(" sur ") +
                         target + QStringLiteral(" : ") + failure.cause() + QLatin1Char('.'));
        return false;
    }
    return true;
}

ExcelApp OUVRE_EXCEL(const QString& path)
{
    Spreadsheet& engine = spreadsheet();
    answered([&] { engine.closeAll(); }); // an office ended for not answering holds nothing either
    g_kept.clear();
    return openAlongside(path);
}

ExcelApp openAlongside(const QString& path)
{
    Spreadsheet::Opened opened;
    if (!answered([&] { opened = spreadsheet().open(path); }))
        return ExcelApp(OpenStatus::Lost, 0);
    return ExcelApp(opened.status, opened.status == OpenStatus::Opened ? opened.document : 0);
}

bool isOpen(ExcelApp& app)
{
    bool open = false;
    if (app.hasWorkbook() && !answered([&] { open = spreadsheet().isOpen(app.document()); }))
        app.lose();
    return open;
}

void bringToFront(const ExcelApp& app)
{
    if (app.hasWorkbook())
        answered([&] { spreadsheet().bringToFront(app.document()); });
}

void ECRIT_CELLULE(ExcelApp& app, const QString& address, const QVariant& value)
{
    if (!app.hasWorkbook())
        return;
    ECRIT_CELLULE(app, address, CellValue::from(value));
}

void ECRIT_CELLULE(ExcelApp& app, const QString& address, const CellValue& value)
{
    if (!app.hasWorkbook())
        return;
    bool written = false;
    if (!answered([&] { written = spreadsheet().writeCell(app.document(), address, value); }))
        app.lose();
    else if (!written && !isOpen(app))
        app.lose(); // the office died, or the user closed the workbook: nothing more can be written
}

namespace {

// Why the workbook cannot be stored under the path at all: none open, or no such folder.
std::optional<SaveResult> unstorable(ExcelApp& app, const QString& path, platform::FileFailure* failure)
{
    if (!app.hasWorkbook() || !isOpen(app))
        return app.lost() ? SaveResult::Lost : SaveResult::NoWorkbook;
    const QFileInfo target(path);
    if (!target.absoluteDir().exists() || target.isDir()) {
        // The office would create missing folders; a spreadsheet program does not.
        if (failure)
            *failure = platform::FileFailure{path, target.isDir() ? EISDIR : ENOENT};
        return SaveResult::Failed;
    }
    return std::nullopt;
}

SaveResult store(ExcelApp& app, const QString& path, bool replace, platform::FileFailure* failure)
{
    bool saved = false;
    if (!answered([&] { saved = spreadsheet().save(app.document(), path, replace, failure); })) {
        app.lose();
        return SaveResult::Lost;
    }
    if (!saved) {
        if (!isOpen(app)) {
            app.lose(); // the office died while it stored the workbook
            return SaveResult::Lost;
        }
        return SaveResult::Failed;
    }
    return SaveResult::Saved;
}

} // namespace

SaveResult ENREGISTRE_CLASSEUR(ExcelApp& app, const QString& path, platform::FileFailure* failure)
{
    if (const auto refused = unstorable(app, path, failure))
        return *refused;
    const bool replace = QFileInfo::exists(path);
    if (replace && !platform::askYesNo(QStringLiteral("Le fichier ") + path +
                                       QStringLiteral(" existe déjà. Voulez-vous le remplacer ?")))
        return SaveResult::Refused;
    const SaveResult saved = store(app, path, replace, failure);
    // Stored whole: an office that stops answering now loses nothing.
    if (saved == SaveResult::Saved)
        answered([&] { spreadsheet().close(app.document()); });
    return saved;
}

SaveResult storeWorkbook(ExcelApp& app, const QString& path, platform::FileFailure* failure)
{
    if (const auto refused = unstorable(app, path, failure))
        return *refused;
    return store(app, path, false, failure);
}

void DECH_EXCEL(ExcelApp& app)
{
    if (app.hasWorkbook())
        answered([&] { spreadsheet().close(app.document()); }); // ended: the workbook is gone as well
}

void QUITTE_EXCEL()
{
    answered([] { spreadsheet().quit(g_kept); });
}

void keepOpen(const ExcelApp& app)
{
    if (app.hasWorkbook() && !g_kept.contains(app.document()))
        g_kept.append(app.document());
}

void programEnds() { QUITTE_EXCEL(); }

namespace {

// The compound file a legacy workbook is stored in: a 512-byte header, then sectors chained through the file
// allocation table (FAT), whose sectors the header lists (the first 109 in the header, more in a chain).
class CompoundFile {
public:
    explicit CompoundFile(QByteArray bytes) : m_b(std::move(bytes)) {}

    bool whole()
    {
        static const QByteArray magic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
        if (m_b.size() < 512 || !m_b.startsWith(magic) || u16(28) != 0xFFFE)
            return false;
        const int shift = u16(30);
        if (shift != 9 && shift != 12)
            return false;
        m_sector = qint64(1) << shift;
        m_header = qMax<qint64>(512, m_sector);
        if (!readFat())
            return false;
        // Every sector the table gives to a chain lies within the file: a file cut short loses its last ones.
        qint64 used = 0;
        for (qint64 i = 0; i < m_fat.size(); ++i)
            if (m_fat[i] != kFree)
                used = i + 1;
        if (m_header + used * m_sector > m_b.size())
            return false;
        return hasWorkbookStream();
    }

private:
    static constexpr quint32 kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE;

    quint32 u32(qint64 at) const
    {
        return at + 4 > m_b.size() ? kEnd
                                   : quint32(quint8(m_b[at])) | quint32(quint8(m_b[at + 1])) << 8 |
                                         quint32(quint8(m_b[at + 2])) << 16 | quint32(quint8(m_b[at + 3])) << 24;
    }
    quint16 u16(qint64 at) const { return quint16(quint8(m_b[at]) | quint8(m_b[at + 1]) << 8); }
    qint64 offset(quint32 sector) const { return m_header + qint64(sector) * m_sector; }
    bool inFile(quint32 sector) const { return sector < 0xFFFFFFFA && offset(sector) + m_sector <= m_b.size(); }

    bool readFat()
    {
        QList<quint32> fatSectors;
        const quint32 count = u32(44);
        for (int i = 0; i < 109 && quint32(fatSectors.size()) < count; ++i)
            fatSectors << u32(76 + 4 * i);
        const qint64 perSector = m_sector / 4;
        for (quint32 next = u32(68); quint32(fatSectors.size()) < count;) {
            if (!inFile(next))
                return false;
            for (qint64 i = 0; i + 1 < perSector && quint32(fatSectors.size()) < count; ++i)
                fatSectors << u32(offset(next) + 4 * i);
            next = u32(offset(next) + 4 * (perSector - 1));
        }
        for (quint32 s : fatSectors) {
            if (!inFile(s))
                return false;
            for (qint64 i = 0; i < perSector; ++i)
                m_fat << u32(offset(s) + 4 * i);
        }
        return !m_fat.isEmpty();
    }

    // The directory holds a stream "Workbook" (BIFF8) or "Book" (earlier versions) with content.
    bool hasWorkbookStream() const
    {
        qsizetype steps = 0;
        for (quint32 s = u32(48); s != kEnd; s = m_fat.value(s, kFree)) {
            if (!inFile(s) || ++steps > m_fat.size())
                return false;
            for (qint64 entry = offset(s); entry + 128 <= offset(s) + m_sector; entry += 128) {
                const int length = u16(entry + 64);
                if (m_b[entry + 66] != 2 || length < 2 || length > 64)
                    continue;
                const QString name = QString::fromUtf16(reinterpret_cast<const char16_t*>(m_b.constData() + entry),
                                                        length / 2 - 1);
                if ((name == QLatin1String("Workbook") || name == QLatin1String("Book")) && u32(entry + 120) > 0)
                    return true;
            }
        }
        return false;
    }

    QByteArray m_b;
    qint64 m_sector = 512;
    qint64 m_header = 512;
    QList<quint32> m_fat;
};

} // namespace

bool isWholeWorkbook(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && CompoundFile(file.readAll()).whole();
}

} // namespace office
