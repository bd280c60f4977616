#pragma once
// Shared by the follow-up suites: the cycle sheet window's controls that the follow-up reads, and rows of
// GROSSESSE written or read directly.
#include "app/form4.h"
#include "cycles/form5.h"
#include "data/database.h"
#include "platform/forms.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace followup {

// A control of a window by its name.
template <class T = QWidget> T* ctl(const QWidget* window, const char* name)
{
    T* w = window->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

// Sets a control of a window by its name (text box, combo or label).
inline void setControl(QWidget* window, const char* name, const QString& value)
{
    QWidget* w = window->findChild<QWidget*>(QString::fromLatin1(name));
    QVERIFY2(w, name);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        e->setText(value);
    else if (auto* c = qobject_cast<QComboBox*>(w))
        c->setEditText(value);
    else if (auto* l = qobject_cast<QLabel*>(w))
        l->setText(value);
}

struct Sheet {
    QString numInt = QStringLiteral("125");
    QString nom = QStringLiteral("MARTIN");
    QString prenom = QStringLiteral("Claire");
    QString numPat = QStringLiteral("12");
    QString numDos = QStringLiteral("12-3");
    QString type = QStringLiteral("FIV");
    QString dateTrans = QStringLiteral("17/03/2005");
    QString clin = QStringLiteral("C042");
    QString bio = QStringLiteral("B077");
};

// The cycle sheet window showing a sheet, as the follow-up finds it.
inline Form5* showSheet(const Sheet& s)
{
    platform::forms().get<Form4>(); // the main window's load sets the database path, as at start-up
    Form5* f5 = platform::forms().get<Form5>();
    const std::pair<const char*, QString> values[] = {
        // The couple number first: a new couple makes the window load that couple's sheets afresh.
        {"TxtNumPat", s.numPat},     {"TxtNumIntFich", s.numInt}, {"LblNom", s.nom},
        {"lblprenom", s.prenom},     {"TxtNumDos", s.numDos},  {"CmbType", s.type},
        {"TxtDateTrans", s.dateTrans}, {"LblNumClin", s.clin}, {"LblNumBio", s.bio},
    };
    for (const auto& [name, value] : values)
        setControl(f5, name, value);
    return f5;
}

inline int rowCount(const QString& dbPath)
{
    auto db = data::Database::open(dbPath);
    return db->OpenRecordset(QStringLiteral("SELECT*FROM GROSSESSE"))->RecordCount();
}

} // namespace followup
