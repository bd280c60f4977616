// The letterhead file and its window: the exact bytes written, the reading rule, and the window's commands.
#include "admin/form50.h"
#include "admin/letterheadfile.h"
#include "platform/environment.h"
#include "support/faultyfiles.h"
#include "support/testenv.h"
#include "admintest.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTest>

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void putBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList twelve(std::initializer_list<QString> first)
{
    QStringList out(first);
    while (out.size() < letterhead::kFieldCount)
        out << QString();
    return out;
}

const QByteArray kEmptyLine = QByteArray(R"("","","","","","","","","","","","")") + "\r\n";

} // namespace

class TestLetterhead : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    QString file() const { return letterhead::defaultPath(); }

    Form50* openWindow() { return platform::forms().show<Form50>(); }

private slots:
    void init() { env = std::make_unique<TestEnv>(); }
    void cleanup()
    {
        platform::forms().unloadAll();
        platform::forms().flush();
        env.reset();
    }

    void fileLiesInProgramDirectory() { QCOMPARE(file(), env->programDir() + "/Entet.idc"); }

    void writesExactBytes()
    {
        QVERIFY(letterhead::write(file(), twelve({})));
        QCOMPARE(bytesOf(file()), kEmptyLine);

        QVERIFY(letterhead::write(file(), twelve({"Docteur"})));
        QCOMPARE(bytesOf(file()), QByteArray(R"("Docteur","","","","","","","","","","","")") + "\r\n");

        // Windows-1252, one byte per character; a character outside the code page becomes "?".
        QVERIFY(letterhead::write(file(), twelve({"Dr", "Lefèvre", "Élodie", "Œnologie €", "中"})));
        const QByteArray bytes = bytesOf(file());
        QVERIFY(bytes.startsWith(QByteArray("\"Dr\",\"Lef\xE8vre\",\"\xC9lodie\",\"\x8Cnologie \x80\",\"?\",")));
        QCOMPARE(letterhead::read(file()).mid(0, 4), QStringList({"Dr", "Lefèvre", "Élodie", "Œnologie €"}));
    }

    void codePageRoundTrip()
    {
        QString all;
        for (int b = 0x20; b < 0x100; ++b)
            all += letterhead::decode1252(QByteArray(1, char(b)));
        QByteArray expected;
        for (int b = 0x20; b < 0x100; ++b)
            expected += char(b);
        QCOMPARE(letterhead::encode1252(all), expected);
        QCOMPARE(letterhead::decode1252("\xE9"), QStringLiteral("é"));
    }

    void quoteAndLineBreakCannotShiftFields()
    {
        const QStringList in = twelve({"Dr", "O\"Neil", "a\r\nb", "c\nd", "e\rf", "g, h", " lead"});
        QVERIFY(letterhead::write(file(), in));
        QVERIFY(!bytesOf(file()).mid(0, bytesOf(file()).size() - 2).contains('\n'));
        bool ok = false;
        const QStringList out = letterhead::read(file(), &ok);
        QVERIFY(ok);
        QCOMPARE(out, twelve({"Dr", "O'Neil", "a b", "c d", "e f", "g, h", " lead"}));
    }

    void readingRule_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        const QByteArray tail = R"(,"4","5","6","7","8","9","10","11","12")";
        QTest::newRow("written form") << QByteArray(R"("1","2","3")") + tail + "\r\n"
                                      << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
        QTest::newRow("blanks before fields skipped, inside quotes kept")
            << QByteArray(R"(  "1",	" 2 ",   3 )") + tail + "\r\n"
            << QStringList{"1", " 2 ", "3 ", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
        QTest::newRow("after the closing quote dropped to the comma")
            << QByteArray(R"("1"junk,"2"x"y","3")") + tail
            << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
        QTest::newRow("quoted comma kept") << QByteArray(R"("1, bis","2","3")") + tail
                                           << QStringList{"1, bis", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
        QTest::newRow("line end ends a field, reading goes on")
            << QByteArray("\"1\"\r\n\"2\"\n3\r\"4\",\"5\",\"6\",\"7\",\"8\",\"9\",\"10\",\"11\",\"12\"")
            << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
        QTest::newRow("two lines: the second wins")
            << QByteArray(R"("a","","","","","","","","","","","")") + "\r\n" + QByteArray(R"("1","2","3")") + tail + "\r\n"
            << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
        QTest::newRow("short second line: the first stands")
            << QByteArray(R"("1","2","3")") + tail + "\r\n\"x\",\"y\"\r\n"
            << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
        QTest::newRow("trailing blank line ignored") << QByteArray(R"("1","2","3")") + tail + "\r\n\r\n"
                                                     << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
        QTest::newRow("unclosed quote runs to the end") << QByteArray(R"("1","2","3")") + tail.chopped(1)
                                                        << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
    }
    void readingRule()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        putBytes(file(), bytes);
        bool ok = false;
        QCOMPARE(letterhead::read(file(), &ok), expected);
        QVERIFY(ok);
    }

    void unreadableFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("eleven fields") << QByteArray(R"("","","","","","","","","","","")") + "\r\n";
        QTest::newRow("blank") << QByteArray("   \r\n");
    }
    void unreadableFiles()
    {
        QFETCH(QByteArray, bytes);
        putBytes(file(), bytes);
        bool ok = true;
        QVERIFY(letterhead::read(file(), &ok).isEmpty());
        QVERIFY(!ok);
        QFile::remove(file());
        ok = true;
        QVERIFY(letterhead::read(file(), &ok).isEmpty());
        QVERIFY(!ok);
    }

    void failedWriteKeepsOldFile()
    {
        const QByteArray old = QByteArray(R"("Dr","A","","","","","","","","","1","2")") + "\r\n";
        putBytes(file(), old);
        QFile dir(env->programDir());
        const auto perms = dir.permissions();
        QVERIFY(dir.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        if (QFile probe(env->programDir() + "/probe"); probe.open(QIODevice::WriteOnly)) {
            dir.setPermissions(perms);
            QSKIP("running with rights that ignore a read-only directory");
        }
        Form50* w = openWindow();
        control<QLineEdit>(w, "Text1")->setText("B");
        control<QPushButton>(w, "Enregistre")->click();
        dir.setPermissions(perms);
        QCOMPARE(bytesOf(file()), old);
        QCOMPARE(env->messages.boxes.size(), 1);
        QVERIFY(env->messages.texts().first().contains("n'a pas pu être enregistré"));
        QVERIFY(platform::forms().isLoaded<Form50>()); // the typed text is not lost
        QCOMPARE(control<QLineEdit>(w, "Text1")->text(), QStringLiteral("B"));
    }

    // A full or failing disk: the earlier letterhead stays whole, the window says why and keeps what was typed.
    void saveOntoAFailingDisk_data() { addDiskFaultRows(false); }
    void saveOntoAFailingDisk()
    {
        QFETCH(QString, fault);
        QFETCH(QString, cause);
        SmallDisk disk(64 * 1024);
        DISK_FAULT_OR_SKIP(disk, fault);
        platform::setProgramDir(disk.path());
        const QByteArray old = QByteArray(R"("Dr","A","","","","","","","","","1","2")") + "\r\n";
        putBytes(file(), old);
        Form50* w = openWindow();
        control<QLineEdit>(w, "Text1")->setText("B");
        {
            const DiskFault failing(fault, disk, QStringLiteral("Entet.idc"));
            control<QPushButton>(w, "Enregistre")->click();
        }
        QCOMPARE(bytesOf(file()), old);
        QCOMPARE(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden).filter(".~"), QStringList());
        QCOMPARE(env->messages.texts(),
                 QStringList{"L'en-tête n'a pas pu être enregistré dans le fichier " + file() + " : " + cause +
                             ".\nVos saisies restent affichées."});
        QVERIFY(platform::forms().isLoaded<Form50>());
        QCOMPARE(control<QLineEdit>(w, "Text1")->text(), QStringLiteral("B"));
    }

    void unwritableDirectoryKeepsWindowOpen()
    {
        platform::setProgramDir(env->programDir() + "/absent");
        Form50* w = openWindow();
        control<QLineEdit>(w, "Text1")->setText("B");
        control<QPushButton>(w, "Enregistre")->click();
        QCOMPARE(env->messages.boxes.size(), 1);
        QVERIFY(env->messages.texts().first().startsWith("L'en-tête n'a pas pu être enregistré"));
        QVERIFY(platform::forms().isLoaded<Form50>());
        QCOMPARE(control<QLineEdit>(w, "Text1")->text(), QStringLiteral("B"));
    }

    void windowWithoutFile()
    {
        Form50* w = openWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("En tête"));
        QCOMPARE(w->fields(), twelve({"Dr"}));
        QCOMPARE(control<QComboBox>(w, "Combo1")->count(), 4);
    }

    void windowLoadsSavesAndQuits()
    {
        putBytes(file(), "\"Madame\",\"MARTIN\",\"Paule\",\"Gyn\xE9" "cologue\",\"\",\"\",\"\",\"PAU\",\"64\",\"05\","
                         "\"C1\",\"B2\"\r\n");
        Form50* w = openWindow();
        QCOMPARE(w->fields(), QStringList({"Madame", "MARTIN", "Paule", "Gynécologue", "", "", "", "PAU", "64", "05", "C1", "B2"}));

        // A civility typed by hand is kept.
        control<QComboBox>(w, "Combo1")->setEditText("Professeur");
        QTest::keyClicks(control<QLineEdit>(w, "Text10"), "-X");
        control<QPushButton>(w, "Enregistre")->click();
        QVERIFY(!platform::forms().isLoaded<Form50>());
        QCOMPARE(letterhead::read(file()),
                 QStringList({"Professeur", "MARTIN", "Paule", "Gynécologue", "", "", "", "PAU", "64", "05", "C1", "B2-X"}));
        QVERIFY(env->messages.boxes.isEmpty());
    }

    void clearThenQuitOrSave()
    {
        const QByteArray old = QByteArray(R"("Dr","A","B","","","","","","","","1","2")") + "\r\n";
        putBytes(file(), old);
        Form50* w = openWindow();
        control<QPushButton>(w, "Annuler")->click();
        QCOMPARE(w->fields(), twelve({}));
        QVERIFY(platform::forms().isLoaded<Form50>());
        control<QPushButton>(w, "Quitte")->click();
        QVERIFY(!platform::forms().isLoaded<Form50>());
        QCOMPARE(bytesOf(file()), old);

        platform::forms().flush();
        w = openWindow();
        control<QPushButton>(w, "Annuler")->click();
        control<QPushButton>(w, "Enregistre")->click();
        QCOMPARE(bytesOf(file()), kEmptyLine);
    }

    void tabOrderFollowsFields()
    {
        Form50* w = openWindow();
        const QList<QWidget*> order = {control<QComboBox>(w, "Combo1"), control<QLineEdit>(w, "Text1"), control<QLineEdit>(w, "Text2"), control<QComboBox>(w, "Combo2"),
                                       control<QLineEdit>(w, "Text3"),  control<QLineEdit>(w, "Text4"), control<QLineEdit>(w, "Text5"), control<QLineEdit>(w, "Text6"),
                                       control<QLineEdit>(w, "Text7"),  control<QLineEdit>(w, "Text8"), control<QLineEdit>(w, "Text9"), control<QLineEdit>(w, "Text10")};
        for (int i = 0; i + 1 < order.size(); ++i) {
            QWidget* next = order[i]->nextInFocusChain();
            while (next && next->focusPolicy() == Qt::NoFocus)
                next = next->nextInFocusChain();
            // An editable combo box's line edit is its focus proxy and sits inside it.
            while (next && next->parentWidget() == order[i])
                next = next->nextInFocusChain();
            QCOMPARE(next, order[i + 1]);
        }
    }
};

QTEST_MAIN(TestLetterhead)
#include "tst_letterhead.moc"
