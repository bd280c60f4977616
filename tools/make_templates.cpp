// Turns the cell listings of templates/ into flat OpenDocument spreadsheets (.fods), which the build then
// converts to .xls with LibreOffice.
//
// Listing format, one directive per line ('#' starts a comment line):
//   sheet NAME            name of the sheet
//   width COLUMN SIZE     column width, e.g. "width A 6cm"
//   ADDRESS [{flags}] CONTENT
// flags: b bold, d date format, p a place the program fills (shaded; its row is made tall enough for accented
// capitals, which Calc clips at its default row height). A content starting with "=" is an OpenFormula
// expression; a plain number is a number; anything else is text. "@PROTOCOLE@" is replaced by the protocol's
// name.
//
// Usage: make_templates SOURCE_DIR OUTPUT_DIR
//   reads protocole.cells + protocoles.txt (ten names -> Folivex01 .. Folivex10) and FIVNAT.cells.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QRegularExpression>
#include <QTextStream>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cstdio>

namespace {

struct Cell {
    QString content;
    QString flags;
};

struct Sheet {
    QString name = QStringLiteral("Feuille1");
    QMap<int, QString> widths;               // column -> width
    QMap<int, QMap<int, Cell>> rows;          // row -> column -> cell (1-based)
};

bool parseAddress(const QString& address, int* row, int* column)
{
    static const QRegularExpression re(QStringLiteral("^([A-Z]{1,2})([1-9][0-9]*)$"));
    const auto m = re.match(address);
    if (!m.hasMatch())
        return false;
    int col = 0;
    for (QChar c : m.captured(1))
        col = col * 26 + (c.unicode() - 'A' + 1);
    *column = col;
    *row = m.captured(2).toInt();
    return true;
}

int columnNumber(const QString& letters)
{
    int row = 0, col = 0;
    return parseAddress(letters + QStringLiteral("1"), &row, &col) ? col : 0;
}

bool parse(const QString& text, const QString& protocol, Sheet* sheet, QString* error)
{
    int lineNo = 0;
    for (QString line : text.split(QLatin1Char('\n'))) {
        ++lineNo;
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        line.replace(QStringLiteral("@PROTOCOLE@"), protocol);
        const int space = line.indexOf(QLatin1Char(' '));
        const QString head = space < 0 ? line : line.left(space);
        QString rest = space < 0 ? QString() : line.mid(space + 1).trimmed();
        if (head == QLatin1String("sheet")) {
            sheet->name = rest;
            continue;
        }
        if (head == QLatin1String("width")) {
            const QStringList parts = rest.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const int col = parts.size() == 2 ? columnNumber(parts[0]) : 0;
            if (!col) {
                *error = QStringLiteral("line %1: bad width").arg(lineNo);
                return false;
            }
            sheet->widths[col] = parts[1];
            continue;
        }
        int row = 0, col = 0;
        if (!parseAddress(head, &row, &col)) {
            *error = QStringLiteral("line %1: bad address %2").arg(lineNo).arg(head);
            return false;
        }
        Cell cell;
        if (rest.startsWith(QLatin1Char('{'))) {
            const int close = rest.indexOf(QLatin1Char('}'));
            cell.flags = rest.mid(1, close - 1);
            rest = rest.mid(close + 1).trimmed();
        }
        cell.content = rest;
        if (sheet->rows[row].contains(col)) {
            *error = QStringLiteral("line %1: %2 given twice").arg(lineNo).arg(head);
            return false;
        }
        sheet->rows[row][col] = cell;
    }
    return true;
}

// The row style of rows holding a place the program fills.
const QString kPlaceRow = QStringLiteral("roPlace");

bool holdsPlace(const QMap<int, Cell>& row)
{
    return std::any_of(row.begin(), row.end(), [](const Cell& c) { return c.flags.contains(QLatin1Char('p')); });
}

QString styleName(const QString& flags)
{
    QString sorted = flags;
    std::sort(sorted.begin(), sorted.end());
    return sorted.isEmpty() ? QString() : QStringLiteral("ce_") + sorted;
}

void writeStyles(QXmlStreamWriter& xml, const Sheet& sheet)
{
    xml.writeStartElement(QStringLiteral("office:automatic-styles"));
    xml.writeStartElement(QStringLiteral("number:date-style"));
    xml.writeAttribute(QStringLiteral("style:name"), QStringLiteral("Ndate"));
    const auto part = [&](const char* element) {
        xml.writeStartElement(QString::fromLatin1(element));
        xml.writeAttribute(QStringLiteral("number:style"), QStringLiteral("long"));
        xml.writeEndElement();
    };
    part("number:day");
    xml.writeTextElement(QStringLiteral("number:text"), QStringLiteral("/"));
    part("number:month");
    xml.writeTextElement(QStringLiteral("number:text"), QStringLiteral("/"));
    part("number:year");
    xml.writeEndElement();

    for (auto it = sheet.widths.begin(); it != sheet.widths.end(); ++it) {
        xml.writeStartElement(QStringLiteral("style:style"));
        xml.writeAttribute(QStringLiteral("style:name"), QStringLiteral("co%1").arg(it.key()));
        xml.writeAttribute(QStringLiteral("style:family"), QStringLiteral("table-column"));
        xml.writeEmptyElement(QStringLiteral("style:table-column-properties"));
        xml.writeAttribute(QStringLiteral("style:column-width"), it.value());
        xml.writeEndElement();
    }

    xml.writeStartElement(QStringLiteral("style:style"));
    xml.writeAttribute(QStringLiteral("style:name"), kPlaceRow);
    xml.writeAttribute(QStringLiteral("style:family"), QStringLiteral("table-row"));
    xml.writeEmptyElement(QStringLiteral("style:table-row-properties"));
    xml.writeAttribute(QStringLiteral("style:row-height"), QStringLiteral("0.6cm"));
    xml.writeAttribute(QStringLiteral("style:use-optimal-row-height"), QStringLiteral("false"));
    xml.writeEndElement();

    QSet<QString> done;
    for (const auto& row : sheet.rows) {
        for (const Cell& cell : row) {
            const QString name = styleName(cell.flags);
            if (name.isEmpty() || done.contains(name))
                continue;
            done.insert(name);
            xml.writeStartElement(QStringLiteral("style:style"));
            xml.writeAttribute(QStringLiteral("style:name"), name);
            xml.writeAttribute(QStringLiteral("style:family"), QStringLiteral("table-cell"));
            xml.writeAttribute(QStringLiteral("style:parent-style-name"), QStringLiteral("Default"));
            if (cell.flags.contains(QLatin1Char('d')))
                xml.writeAttribute(QStringLiteral("style:data-style-name"), QStringLiteral("Ndate"));
            if (cell.flags.contains(QLatin1Char('p'))) {
                xml.writeEmptyElement(QStringLiteral("style:table-cell-properties"));
                xml.writeAttribute(QStringLiteral("fo:background-color"), QStringLiteral("#fff2cc"));
                xml.writeAttribute(QStringLiteral("fo:border"), QStringLiteral("0.5pt solid #808080"));
            }
            if (cell.flags.contains(QLatin1Char('b'))) {
                xml.writeEmptyElement(QStringLiteral("style:text-properties"));
                xml.writeAttribute(QStringLiteral("fo:font-weight"), QStringLiteral("bold"));
            }
            xml.writeEndElement();
        }
    }
    xml.writeEndElement();
}

void writeCell(QXmlStreamWriter& xml, const Cell& cell)
{
    static const QRegularExpression number(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    xml.writeStartElement(QStringLiteral("table:table-cell"));
    const QString style = styleName(cell.flags);
    if (!style.isEmpty())
        xml.writeAttribute(QStringLiteral("table:style-name"), style);
    if (cell.content.startsWith(QLatin1Char('='))) {
        xml.writeAttribute(QStringLiteral("table:formula"), QStringLiteral("of:") + cell.content);
    } else if (number.match(cell.content).hasMatch()) {
        xml.writeAttribute(QStringLiteral("office:value-type"), QStringLiteral("float"));
        xml.writeAttribute(QStringLiteral("office:value"), cell.content);
        xml.writeTextElement(QStringLiteral("text:p"), cell.content);
    } else if (!cell.content.isEmpty()) {
        xml.writeAttribute(QStringLiteral("office:value-type"), QStringLiteral("string"));
        xml.writeTextElement(QStringLiteral("text:p"), cell.content);
    }
    xml.writeEndElement();
}

void emptyCells(QXmlStreamWriter& xml, int count)
{
    if (count <= 0)
        return;
    xml.writeEmptyElement(QStringLiteral("table:table-cell"));
    if (count > 1)
        xml.writeAttribute(QStringLiteral("table:number-columns-repeated"), QString::number(count));
}

bool writeFods(const Sheet& sheet, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("office:document"));
    const QList<std::pair<const char*, const char*>> namespaces{
        {"office", "urn:oasis:names:tc:opendocument:xmlns:office:1.0"},
        {"style", "urn:oasis:names:tc:opendocument:xmlns:style:1.0"},
        {"text", "urn:oasis:names:tc:opendocument:xmlns:text:1.0"},
        {"table", "urn:oasis:names:tc:opendocument:xmlns:table:1.0"},
        {"fo", "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"},
        {"number", "urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"},
        {"of", "urn:oasis:names:tc:opendocument:xmlns:of:1.2"}};
    for (const auto& [prefix, uri] : namespaces)
        xml.writeAttribute(QStringLiteral("xmlns:") + QLatin1String(prefix), QLatin1String(uri));
    xml.writeAttribute(QStringLiteral("office:version"), QStringLiteral("1.2"));
    xml.writeAttribute(QStringLiteral("office:mimetype"),
                       QStringLiteral("application/vnd.oasis.opendocument.spreadsheet"));
    writeStyles(xml, sheet);
    xml.writeStartElement(QStringLiteral("office:body"));
    xml.writeStartElement(QStringLiteral("office:spreadsheet"));
    xml.writeStartElement(QStringLiteral("table:table"));
    xml.writeAttribute(QStringLiteral("table:name"), sheet.name);

    int lastColumn = 1;
    for (const auto& row : sheet.rows)
        lastColumn = std::max(lastColumn, row.lastKey());
    for (auto it = sheet.widths.begin(); it != sheet.widths.end(); ++it)
        lastColumn = std::max(lastColumn, it.key());
    for (int col = 1; col <= lastColumn; ++col) {
        xml.writeEmptyElement(QStringLiteral("table:table-column"));
        if (sheet.widths.contains(col))
            xml.writeAttribute(QStringLiteral("table:style-name"), QStringLiteral("co%1").arg(col));
    }

    int nextRow = 1;
    for (auto row = sheet.rows.begin(); row != sheet.rows.end(); ++row) {
        if (row.key() > nextRow) {
            xml.writeStartElement(QStringLiteral("table:table-row"));
            if (row.key() - nextRow > 1)
                xml.writeAttribute(QStringLiteral("table:number-rows-repeated"),
                                   QString::number(row.key() - nextRow));
            emptyCells(xml, 1);
            xml.writeEndElement();
        }
        xml.writeStartElement(QStringLiteral("table:table-row"));
        if (holdsPlace(row.value()))
            xml.writeAttribute(QStringLiteral("table:style-name"), kPlaceRow);
        int nextCol = 1;
        for (auto cell = row->begin(); cell != row->end(); ++cell) {
            emptyCells(xml, cell.key() - nextCol);
            writeCell(xml, cell.value());
            nextCol = cell.key() + 1;
        }
        xml.writeEndElement();
        nextRow = row.key() + 1;
    }
    xml.writeEndElement(); // table
    xml.writeEndElement(); // spreadsheet
    xml.writeEndElement(); // body
    xml.writeEndElement(); // document
    xml.writeEndDocument();
    return file.error() == QFileDevice::NoError;
}

QString readText(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? QString::fromUtf8(file.readAll()) : QString();
}

bool build(const QString& source, const QString& protocol, const QString& output)
{
    bool ok = false;
    const QString text = readText(source, &ok);
    Sheet sheet;
    QString error;
    if (!ok || !parse(text, protocol, &sheet, &error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(source), ok ? qPrintable(error) : "cannot read");
        return false;
    }
    if (!writeFods(sheet, output)) {
        std::fprintf(stderr, "%s: cannot write\n", qPrintable(output));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: make_templates SOURCE_DIR OUTPUT_DIR\n");
        return 2;
    }
    const QDir source(args[1]);
    const QDir output(args[2]);
    if (!QDir().mkpath(output.path()))
        return 1;

    bool ok = false;
    const QStringList protocols =
        readText(source.filePath(QStringLiteral("protocoles.txt")), &ok).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!ok || protocols.size() != 10) {
        std::fprintf(stderr, "protocoles.txt: ten protocol names expected\n");
        return 1;
    }
    for (int n = 1; n <= 10; ++n) {
        const QString name = QStringLiteral("Folivex%1.fods").arg(n, 2, 10, QLatin1Char('0'));
        if (!build(source.filePath(QStringLiteral("protocole.cells")), protocols[n - 1].trimmed(),
                   output.filePath(name)))
            return 1;
    }
    return build(source.filePath(QStringLiteral("FIVNAT.cells")), QString(),
                 output.filePath(QStringLiteral("FIVNAT.fods")))
               ? 0
               : 1;
}
