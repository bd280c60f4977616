// The letterhead file: its bytes, the reading rules and the main window's letterhead labels.
#include "app/letterhead.h"
#include "appfixture.h"
#include "support/testenv.h"

#include <QFile>
#include <QTest>

using app::LetterheadFields;

namespace {

LetterheadFields fields(std::initializer_list<const char*> values)
{
    LetterheadFields f;
    int i = 0;
    for (const char* v : values)
        f[size_t(i++)] = QString::fromUtf8(v);
    return f;
}

void writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class TestLetterhead : public QObject {
    Q_OBJECT
private slots:
    void init() { fixture::countQuits(); }

    void writesOneQuotedLineInCp1252()
    {
        QCOMPARE(app::encodeLetterhead(fields({"Docteur"})),
                 QByteArray("\"Docteur\"" + QByteArray(",\"\"").repeated(11) + "\r\n"));
        const QByteArray bytes = app::encodeLetterhead(fields({"Dr", "LÉGER", "Renée", "Gynécologie", "", " a ", "", "", "", "", "N° 12", "€"}));
        QVERIFY(bytes.contains("\"L\xC9GER\",\"Ren\xE9" "e\""));
        QVERIFY(bytes.contains("\" a \""));     // blanks kept as typed
        QVERIFY(bytes.contains("\"N\xB0 12\"")); // degree sign one byte
        QVERIFY(bytes.contains("\"\x80\""));     // euro sign of the code page
        QCOMPARE(app::toCp1252(QStringLiteral("Ω")), QByteArray("?"));
    }

    void readsBackWhatItWrote()
    {
        TestEnv env;
        const auto f = fields({"Dr", "MARTIN", "Paul", "Gynécologue", "Clinique", "1 rue", "BP 3", "PAU", "64",
                               "05 59", "C12", "B34"});
        QVERIFY(app::writeLetterhead(f));
        QCOMPARE(app::letterheadPath(), env.programDir() + QStringLiteral("/Entet.idc"));
        const auto back = app::readLetterhead();
        QVERIFY(back);
        QCOMPARE(*back, f);
    }

    void readingRules()
    {
        // Blanks before a field skipped, text after a closing quote dropped, unquoted fields to the comma.
        auto r = app::decodeLetterhead("  \"Dr\" junk, MARTIN ,Paul,\"\",,\"\",\"\",\"\",\"\",\"\",\"\",\"z\"\r\n");
        QVERIFY(r);
        QCOMPARE((*r)[0], QString("Dr"));
        QCOMPARE((*r)[1], QString("MARTIN"));
        QCOMPARE((*r)[2], QString("Paul"));
        QCOMPARE((*r)[11], QString("z"));
        // A quote inside a field cuts it.
        r = app::decodeLetterhead("\"A \"B\" C\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
        QCOMPARE((*r)[0], QString("A "));
        // Byte 0xE9 is é.
        r = app::decodeLetterhead("\"Dr\",\"H\xE9" "bert\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
        QCOMPARE((*r)[1], QStringLiteral("Hébert"));
        // Two lines: the last wins; a short trailing record leaves the earlier one.
        const QByteArray one = app::encodeLetterhead(fields({"Un"}));
        const QByteArray two = app::encodeLetterhead(fields({"Deux"}));
        QCOMPARE((*app::decodeLetterhead(one + two))[0], QString("Deux"));
        QCOMPARE((*app::decodeLetterhead(one + "\"Trois\",\"x\"\r\n"))[0], QString("Un"));
        // Nothing complete: nothing.
        QVERIFY(!app::decodeLetterhead("\"Dr\",\"MARTIN\"\r\n"));
        QVERIFY(!app::decodeLetterhead(""));
        QVERIFY(!app::readLetterhead(QStringLiteral("/nonexistent/Entet.idc")));
    }

    void mainWindowLabels()
    {
        TestEnv env;
        writeRaw(env.programDir() + "/Entet.idc",
                 app::encodeLetterhead(fields({"Dr", "MARTIN", "Paul"}))
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

QTEST_MAIN(TestLetterhead)
#include "tst_letterhead.moc"
