#include "office/spreadsheet.h"

#include "platform/conversions.h"
#include "platform/environment.h"
#include "platform/filewrite.h"
#include "platform/messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace office {

namespace {

// Stands in for an absent spreadsheet program.
class NoSpreadsheet final : public Spreadsheet {
public:
    Opened open(const QString&) override { return {OpenStatus::NoApplication, 0}; }
    bool isOpen(int) override { return false; }
    bool writeCell(int, const QString&, const CellValue&) override { return false; }
    bool save(int, const QString&) override { return false; }
    void close(int) override {}
    void closeAll() override {}
    void quit() override {}
};

Spreadsheet* g_engine = nullptr;

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

void setSpreadsheet(Spreadsheet* engine) { g_engine = engine; }

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
    engine.closeAll();
    const Spreadsheet::Opened opened = engine.open(path);
    return ExcelApp(opened.status, opened.status == OpenStatus::Opened ? opened.document : 0);
}

void ECRIT_CELLULE(ExcelApp& app, const QString& address, const QVariant& value)
{
    if (!app.hasWorkbook())
        return;
    ECRIT_CELLULE(app, address, CellValue::from(value));
}

void ECRIT_CELLULE(ExcelApp& app, const QString& address, const CellValue& value)
{
    if (app.hasWorkbook())
        spreadsheet().writeCell(app.document(), address, value);
}

SaveResult ENREGISTRE_CLASSEUR(ExcelApp& app, const QString& path)
{
    Spreadsheet& engine = spreadsheet();
    if (!app.hasWorkbook() || !engine.isOpen(app.document()))
        return SaveResult::NoWorkbook;
    const QFileInfo target(path);
    if (!target.absoluteDir().exists() || target.isDir())
        return SaveResult::Failed; // the office would create missing folders; a spreadsheet program does not
    if (target.exists()) {
        if (!platform::askYesNo(QStringLiteral("Le fichier ") + path +
                                QStringLiteral(" existe déjà. Voulez-vous le remplacer ?")))
            return SaveResult::Refused;
    }
    if (!engine.save(app.document(), path))
        return SaveResult::Failed;
    engine.close(app.document());
    return SaveResult::Saved;
}

void DECH_EXCEL(ExcelApp& app)
{
    if (app.hasWorkbook())
        spreadsheet().close(app.document());
}

void QUITTE_EXCEL() { spreadsheet().quit(); }

} // namespace office
