#include "pregnancy/record.h"

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

QString joinList(const QStringList& items)
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    QStringList clean;
    clean.reserve(items.size());
    for (const QString& item : items)
        clean << QString(item).replace(lineBreak, QStringLiteral(" "));
    return clean.join(kItemSeparator);
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
    if (auto* edit = qobject_cast<const QLineEdit*>(control))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(control))
        return combo->currentText();
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (auto* text = qobject_cast<const QPlainTextEdit*>(control))
        return text->toPlainText();
    throw std::logic_error("no item for control " + control->objectName().toStdString());
}

void setItem(QWidget* control, const QString& item)
{
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
        bool ok = false;
        const int value = item.trimmed().toInt(&ok);
        box->setChecked(ok && value == 1);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(item);
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        combo->setEditText(item);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(item);
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(control)) {
        text->setPlainText(item);
    } else {
        throw std::logic_error("no item for control " + control->objectName().toStdString());
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

void writeRecord(const QWidget* window, data::Recordset& rs)
{
    rs.setField(QStringLiteral("Nom"), itemOf(control(window, QStringLiteral("TxtNom"))));
    rs.setField(QStringLiteral("Prenom"), itemOf(control(window, QStringLiteral("TxtPrenom"))));
    for (const ListColumn& list : listColumns()) {
        QStringList items;
        for (const QString& name : list.controls)
            items << itemOf(control(window, name));
        rs.setField(list.column, joinList(items));
    }
    rs.setField(QStringLiteral("COMMENT"), storedComment(itemOf(control(window, QStringLiteral("TxtComment")))));
}

void readRecord(QWidget* window, const data::Recordset& rs)
{
    const QString nom = rs.text(QStringLiteral("Nom"));
    const QString prenom = rs.text(QStringLiteral("Prenom"));
    setItem(control(window, QStringLiteral("TxtNom")), nom);
    setItem(control(window, QStringLiteral("TxtPrenom")), prenom);
    setItem(control(window, QStringLiteral("LblNomPren")), nom + QLatin1Char(' ') + prenom);
    for (const ListColumn& list : listColumns()) {
        const QStringList items = splitList(rs.text(list.column), int(list.controls.size()));
        for (int i = 0; i < list.controls.size(); ++i)
            setItem(control(window, list.controls.at(i)), items.at(i));
    }
    setItem(control(window, QStringLiteral("TxtComment")), shownComment(rs.text(QStringLiteral("COMMENT"))));
}

} // namespace pregnancy
