// A failure no window caught is reported and the program goes on.
#include "data/database.h"
#include "platform/application.h"
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
};

int main(int argc, char** argv)
{
    platform::Application app(argc, argv);
    TestApplication test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_application.moc"
