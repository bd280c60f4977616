#include "pregnancy/record.h"

#include "platform/controls.h"
#include "platform/rowwrite.h"

#include "data/database.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>

#include <stdexcept>

namespace pregnancy {

namespace {

// Members first .. first + count - 1 of a control array.
QStringList members(const QString& name, int first, int count)
{
    QStringList names;
    for (int i = first; i < first + count; ++i)
        names << name + QLatin1Char('_') + QString::number(i);
    return names;
}

QStringList names(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* n : list)
        out << QString::fromLatin1(n);
    return out;
}

} // namespace

const std::vector<ListColumn>& listColumns()
{
    static const std::vector<ListColumn> table = {
        {QStringLiteral("identite"),
         names({"TxtNumPat", "TxtNumClin", "TxtNumBio", "TxtNumDosC", "TxtNumDosB", "LblType", "LblDateT"})},
        {QStringLiteral("DIAGGROSS"), names({"TxtDateE", "TxtNbrE", "TxtNbrSac", "TxtNbrEA"})},
        {QStringLiteral("TERG1"),
         members(QStringLiteral("Cmb1T"), 0, 5) + names({"Check25", "Check26", "Text5", "Text6", "Text7", "Text8"})},
        {QStringLiteral("TERG2M"), members(QStringLiteral("ChkPathG"), 0, 18)},
        {QStringLiteral("TERG2F"), members(QStringLiteral("ChkPathF"), 0, 6)},
        {QStringLiteral("TERG2P"), names({"Txt2TPath", "Txt3TPath"})},
        {QStringLiteral("HOSPIT"), names({"Txt1T", "Txt2T", "Txt3T", "CmbMotif", "TxtDateHosp", "CmbModal"})},
        {QStringLiteral("ACCOUCHE"), names({"CmbTravail", "CmbCesar"}) + members(QStringLiteral("TxtAcct"), 0, 13) +
                                         members(QStringLiteral("CmbAcct"), 0, 28)},
    };
    return table;
}

QString listItem(const QString& item)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    return QString(item).replace(lineBreak, QStringLiteral(" "));
}

QStringList splitList(const QString& text, int count)
{
    QStringList items = text.split(kItemSeparator);
    while (items.size() < count)
        items << QString();
    return items.mid(0, count);
}

QString itemOf(const QWidget* control)
{
    if (auto* box = qobject_cast<const QCheckBox*>(control))
        return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    return platform::controlText(control);
}

void setItem(QWidget* control, const QString& item)
{
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        bool ok = false;
        const int value = item.trimmed().toInt(&ok);
        box->setChecked(ok && value == 1);
    } else {
        platform::setControlText(control, item);
    }
}

QString storedComment(const QString& shown)
{
    QString text = shown;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.replace(QLatin1Char('\n'), kItemSeparator);
}

QString shownComment(const QString& stored)
{
    QString text = stored;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QWidget* control(const QWidget* window, const QString& name)
{
    auto* widget = window->findChild<QWidget*>(name);
    if (!widget)
        throw std::logic_error("missing control " + name.toStdString());
    return widget;
}

namespace {

// The columns of one control each, with the control and how its item is stored and shown.
struct SingleColumn {
    const char* column;
    const char* control;
    QString (*stored)(const QString&);
    QString (*shown)(const QString&);
};
QString asIs(const QString& text) { return text; }
constexpr SingleColumn kSingleColumns[] = {{"Nom", "TxtNom", asIs, asIs},
                                           {"Prenom", "TxtPrenom", asIs, asIs},
                                           {"COMMENT", "TxtComment", storedComment, shownComment}};

// The key of a list item in what a window showed of the row.
QString itemKey(const QString& column, int index) { return column + QLatin1Char('/') + QString::number(index); }

} // namespace

void writeRecord(const QWidget* window, data::Recordset& rs, const platform::ShownRow& shown)
{
    for (const SingleColumn& c : kSingleColumns) {
        const QString column = QLatin1String(c.column);
        rs.setField(column, shown.stored(column, c.stored(itemOf(control(window, QLatin1String(c.control))))));
    }
    for (const ListColumn& list : listColumns()) {
        // Every item read, those beyond the controls too; an item whose control was changed is replaced.
        QStringList items = shown.read(list.column).toString().split(kItemSeparator);
        while (items.size() < list.controls.size())
            items << QString();
        bool changed = false;
        for (int i = 0; i < list.controls.size(); ++i) {
            if (!shown.unchanged(itemKey(list.column, i))) {
                items[i] = listItem(itemOf(control(window, list.controls.at(i))));
                changed = true;
            }
        }
        const QString joined = items.join(kItemSeparator);
        rs.setField(list.column, changed ? QVariant(joined) : shown.stored(list.column, joined));
    }
}

void readRecord(QWidget* window, const data::Recordset& rs, platform::ShownRow& shown)
{
    shown.clear();
    for (const SingleColumn& c : kSingleColumns) {
        const QString column = QLatin1String(c.column);
        QWidget* box = control(window, QLatin1String(c.control));
        setItem(box, c.shown(rs.text(column)));
        shown.shown(column, rs.Fields(column), box);
    }
    setItem(control(window, QStringLiteral("LblNomPren")),
            rs.text(QStringLiteral("Nom")) + QLatin1Char(' ') + rs.text(QStringLiteral("Prenom")));
    for (const ListColumn& list : listColumns()) {
        shown.shown(list.column, rs.Fields(list.column), nullptr);
        const QStringList items = splitList(rs.text(list.column), int(list.controls.size()));
        for (int i = 0; i < list.controls.size(); ++i) {
            QWidget* box = control(window, list.controls.at(i));
            setItem(box, items.at(i));
            shown.shown(itemKey(list.column, i), items.at(i), box);
        }
    }
}

} // namespace pregnancy
