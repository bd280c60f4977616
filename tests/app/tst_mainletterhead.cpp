// The main window's letterhead labels from "Entet.idc" (two lines: the second wins; no file: as designed).
#include "admin/letterheadfile.h"
#include "appfixture.h"
#include "support/testenv.h"

#include <QFile>
#include <QTest>

namespace {

void writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestMainLetterhead : public QObject {
    Q_OBJECT
private slots:
    void init() { fixture::countQuits(); }

    void mainWindowLabels()
    {
        TestEnv env;
        writeRaw(env.programDir() + "/Entet.idc",
                 QByteArray("\"Dr\",\"MARTIN\",\"Paul\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n")
                     + QByteArray("\"Dr\",\"MARTIN\",\"Paul\",\"Gyn\xE9" "cologue\",\"Clinique du Parc\",\"1 rue A\","
                                  "\"BP 3\",\"PAU\",\"64\",\"05 59 00 00 00\",\"C12\",\"B34\"\r\n"));
        fixture::mainWindow();
        QCOMPARE(fixture::label("Label22"), QString("Dr Paul MARTIN"));
        QCOMPARE(fixture::label("Label23"), QStringLiteral("Gynécologue"));
        QCOMPARE(fixture::label("Label24"), QString("Clinique du Parc"));
        QCOMPARE(fixture::label("Label25"), QString("1 rue A BP 3"));
        QCOMPARE(fixture::label("Label26"), QString("PAU      64     05 59 00 00 00"));
        QCOMPARE(fixture::label("LblNumClin"), QString("C12"));
        QCOMPARE(fixture::label("LblNumBio"), QString("B34"));
        QVERIFY(env.messages.boxes.isEmpty());
    }

    void mainWindowWithoutFile()
    {
        TestEnv env;
        Form4 designed;
        fixture::mainWindow();
        for (const char* name : {"Label22", "Label23", "Label24", "Label25", "Label26", "LblNumClin", "LblNumBio"})
            QCOMPARE(fixture::label(name), fixture::control<QLabel>(&designed, name)->text());
        QVERIFY(env.messages.boxes.isEmpty());
        QCOMPARE(fixture::quits, 0);
    }
};

QTEST_MAIN(TestMainLetterhead)
#include "tst_mainletterhead.moc"
