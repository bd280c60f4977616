#pragma once
// Rows and windows the shell tests start from.
#include "app/dossier.h"
#include "app/form4.h"
#include "data/database.h"
#include "platform/forms.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMap>
#include <QTest>

namespace fixture {

inline int quits = 0;

// Counts the program ends instead of quitting.
inline void countQuits()
{
    quits = 0;
    platform::forms().onQuit = [] { ++quits; };
}

inline std::shared_ptr<data::Database> db(const QString& path) { return data::Database::open(path); }

// A CIVILITES row with every data column empty except those given; returns its couple number.
inline qint64 addCouple(const QString& path, const QMap<QString, QString>& values)
{
    auto rs = db(path)->OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES"));
    rs->AddNew();
    for (const auto& f : app::kDossierFields)
        rs->setField(QLatin1String(f.column), values.value(QLatin1String(f.column)));
    rs->Update();
    rs->MoveLast();
    return rs->Fields(QStringLiteral("numero")).toLongLong();
}

inline qint64 addCouple(const QString& path, const QString& nom, const QString& nompart = QString(),
                     const QString& nee = QString())
{
    return addCouple(path, {{QStringLiteral("Nom"), nom}, {QStringLiteral("Prenom"), QStringLiteral("P-") + nom},
                            {QStringLiteral("NOMPART"), nompart}, {QStringLiteral("NEE"), nee}});
}

// A cycle sheet of the couple; returns its internal number.
inline qint64 addSheet(const QString& path, qint64 numero, int numfich)
{
    auto rs = db(path)->OpenRecordset(QStringLiteral("SELECT*FROM FICHE"));
    rs->AddNew();
    rs->setField(QStringLiteral("NUMERO"), numero);
    rs->setField(QStringLiteral("NUMFICH"), numfich);
    rs->Update();
    rs->MoveLast();
    return rs->Fields(QStringLiteral("NUMINTFICH")).toLongLong();
}

inline void addRow(const QString& path, const QString& table, const QString& keyColumn, qint64 key)
{
    auto rs = db(path)->OpenRecordset(QStringLiteral("SELECT*FROM ") + table);
    rs->AddNew();
    rs->setField(keyColumn, key);
    rs->Update();
}

inline int count(const QString& path, const QString& sql) { return db(path)->OpenRecordset(sql)->RecordCount(); }

inline Form4* mainWindow() { return platform::forms().get<Form4>(); }

// A control of a window by its name (the generated form classes stay inside the library).
template <class T> T* control(QWidget* window, const char* name)
{
    T* c = window->findChild<T*>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

inline QString label(const char* name) { return control<QLabel>(mainWindow(), name)->text(); }

inline void click(QWidget* window, const char* button)
{
    QTest::mouseClick(control<QAbstractButton>(window, button), Qt::LeftButton);
}

} // namespace fixture
