// A failure no window caught is reported and the program goes on.
#include "data/database.h"
#include "platform/application.h"
#include "platform/guarded.h"
#include "support/rawdb.h"
#include "support/testenv.h"

#include <QPushButton>
#include <QTest>

class TestApplication : public QObject {
    Q_OBJECT
private slots:
    void uncaughtFailureIsReported()
    {
        TestEnv env;
        QPushButton button;
        int clicks = 0;
        connect(&button, &QPushButton::clicked, [&clicks] {
            if (++clicks == 1)
                throw data::DbError(data::DbError::RecordDeleted, QStringLiteral("Enregistrement supprimé"));
        });
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(env.messages.boxes.size(), 1);
        QVERIFY(env.messages.boxes[0].text.startsWith(
            QStringLiteral("L'opération n'a pas pu aboutir : la base de données a refusé la demande.")));
        QTest::mouseClick(&button, Qt::LeftButton); // the program is still there
        QCOMPARE(clicks, 2);
    }

    // A handler connected through guarded() reports its own failure: the click ends normally and the signal
    // reaches its other receivers, which an exception caught only by the application would cut short.
    void guardedHandlerFailureStaysInTheHandler_data()
    {
        QTest::addColumn<bool>("database");
        QTest::addColumn<QString>("notice");
        QTest::newRow("database refusal") << true << QStringLiteral("L'opération n'a pas pu aboutir : la base de données a refusé la demande.\n");
        QTest::newRow("anything else") << false << QStringLiteral("L'opération n'a pas pu aboutir : erreur inattendue.");
    }
    void guardedHandlerFailureStaysInTheHandler()
    {
        QFETCH(bool, database);
        QFETCH(QString, notice);
        TestEnv env;
        const auto db = data::Database::open(env.dbPath());
        QVERIFY(RawDb(env.dbPath()).exec(QStringLiteral("DROP TABLE EXAMENS"))); // under the open window
        QPushButton button;
        int after = 0;
        connect(&button, &QPushButton::clicked, &button, platform::guarded([&] {
                    if (database)
                        db->OpenRecordset(QStringLiteral("SELECT*FROM EXAMENS"));
                    else
                        throw std::runtime_error("vector::_M_range_check");
                }));
        connect(&button, &QPushButton::clicked, &button, [&after] { ++after; });
        QTest::mouseClick(&button, Qt::LeftButton);
        QCOMPARE(after, 1);
        QVERIFY(!button.isDown());
        QCOMPARE(env.messages.boxes.size(), 1);
        const QString text = env.messages.boxes[0].text;
        QVERIFY2(database ? text.startsWith(notice) && text.size() > notice.size() : text == notice, qPrintable(text));
        for (const char* engine : {"SELECT", "EXAMENS", "no such", "range_check"})
            QVERIFY2(!text.contains(QLatin1String(engine)), qPrintable(text));
    }
};

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_application.moc"
