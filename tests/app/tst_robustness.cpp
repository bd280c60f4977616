// An impatient user on the demo database: random clicks, menu commands, typing and keys over every window that
// is open, random answers to every question. No step may crash, throw or hang, and the database must come out
// whole. Set FOLIVEX_MONKEY_TRACE=1 to print every step (the seeds are fixed: a failure replays exactly).
#include "admin/form21.h"
#include "admin/form50.h"
#include "admin/letterheadfile.h"
#include "app/form2.h"
#include "app/form3.h"
#include "app/form4.h"
#include "app/program.h"
#include "appfixture.h"
#include "cycles/form5.h"
#include "cycles/form6.h"
#include "cycles/report.h"
#include "data/globals.h"
#include "data/jetsql.h"
#include "office/fakespreadsheet.h"
#include "platform/forms.h"
#include "platform/controls.h"
#include "pregnancy/form30.h"
#include "stats/form8.h"
#include "support/desktopwheel.h"
#include "support/rawdb.h"
#include "support/testenv.h"
#include "workup/form7.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSet>
#include <QTest>

#include <sqlite3.h>

using platform::forms;

namespace {

// Answers every question at random, from the suite's own generator.
class RandomMessages final : public platform::MessageService {
public:
    explicit RandomMessages(QRandomGenerator& rng) : m_rng(rng) {}
    platform::MsgResult show(const platform::MsgBoxRequest& r) override
    {
        using platform::MsgResult;
        ++asked;
        if (trace)
            fprintf(stderr, "  box: %s\n", qPrintable(QString(r.text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        switch (r.buttons) {
        case platform::MsgButtons::Ok: return MsgResult::Ok;
        case platform::MsgButtons::OkCancel: return m_rng.bounded(2) ? MsgResult::Ok : MsgResult::Cancel;
        case platform::MsgButtons::YesNo: return m_rng.bounded(2) ? MsgResult::Yes : MsgResult::No;
        case platform::MsgButtons::YesNoCancel: {
            const MsgResult all[] = {MsgResult::Yes, MsgResult::No, MsgResult::Cancel};
            return all[m_rng.bounded(3)];
        }
        }
        return MsgResult::Ok;
    }
    int asked = 0;
    const bool trace = qEnvironmentVariableIsSet("FOLIVEX_MONKEY_TRACE");

private:
    QRandomGenerator& m_rng;
};

// Prints to PDF files in the test's folder, or finds no printer, or has its dialog or its file chooser
// cancelled, or no viewer.
class HarmlessPrinters final : public report::PrinterService {
public:
    HarmlessPrinters(QRandomGenerator& rng, QString file) : m_rng(rng), m_file(std::move(file)) {}
    std::unique_ptr<QPrinter> defaultPrinter() override
    {
        if (m_rng.bounded(4) == 0)
            return nullptr;
        auto p = std::make_unique<QPrinter>(QPrinter::ScreenResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(m_file);
        return p;
    }
    bool choosePrinter(QPrinter&, QWidget*) override { return m_rng.bounded(2); }
    QString choosePdfFile(QWidget*, const QString&) override { return m_rng.bounded(2) ? m_file : QString(); }
    bool showPdf(const QString&) override { return m_rng.bounded(2); }

private:
    QRandomGenerator& m_rng;
    QString m_file;
};

struct Sql {
    sqlite3* db = nullptr;
    explicit Sql(const QString& path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            db = nullptr;
        }
        data::installJetFunctions(db); // the name indexes are checked in their order
    }
    ~Sql() { sqlite3_close(db); }
    QString text(const char* sql) const
    {
        sqlite3_stmt* st = nullptr;
        QString out = QStringLiteral("<error>");
        if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
        return out;
    }
    // Every row and column of a query, one line a row.
    QString dump(const QString& sql) const
    {
        sqlite3_stmt* st = nullptr;
        QString out;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) != SQLITE_OK)
            return QStringLiteral("<error>");
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c)
                out += QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c))) + QLatin1Char('|');
            out += QLatin1Char('\n');
        }
        sqlite3_finalize(st);
        return out;
    }
};

// Yes to every question (but those holding `refuse`), OK to every notice.
class YesToAll final : public platform::MessageService {
public:
    platform::MsgResult show(const platform::MsgBoxRequest& r) override
    {
        texts << r.text;
        if (r.buttons == platform::MsgButtons::Ok || r.buttons == platform::MsgButtons::OkCancel)
            return platform::MsgResult::Ok;
        return !refuse.isEmpty() && r.text.contains(refuse) ? platform::MsgResult::No : platform::MsgResult::Yes;
    }
    QStringList texts;
    QString refuse; // questions holding this text are answered No
};

// Rows that lost their couple: a deleted couple takes its sheets and work-up with it.
const char* const kOrphanSheets = "SELECT COUNT(*) FROM FICHE WHERE NUMERO NOT IN (SELECT numero FROM CIVILITES)";
const char* const kOrphanExams = "SELECT COUNT(*) FROM EXAMENS WHERE NUMERO NOT IN (SELECT numero FROM CIVILITES)";

// A real modal window would block the run: it is noted and closed from its own event loop, and the step fails.
class ModalGuard final : public QObject {
public:
    QStringList opened;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        auto* w = qobject_cast<QWidget*>(o);
        if (e->type() == QEvent::Show && w && w->isWindow() && w->isModal() && !qobject_cast<platform::Form*>(w)) {
            opened << QString::fromLatin1(w->metaObject()->className());
            QMetaObject::invokeMethod(w, &QWidget::close, Qt::QueuedConnection);
        }
        return false;
    }
};

template <class T> bool usable(T* w) { return w->isVisible() && w->isEnabled(); }

class Monkey {
public:
    explicit Monkey(quint32 seed) : rng(seed) {}

    QRandomGenerator rng;
    QStringList trail; // the last steps, told when one fails
    bool trace = qEnvironmentVariableIsSet("FOLIVEX_MONKEY_TRACE");

    void note(const QString& what)
    {
        trail.append(what);
        if (trail.size() > 25)
            trail.removeFirst();
        if (trace)
            fprintf(stderr, "%s\n", qPrintable(what));
    }

    static QList<platform::Form*> openWindows()
    {
        QList<platform::Form*> out;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<platform::Form*>(w); f && f->isVisible() && !f->unloading())
                out.append(f);
        // Creation order is not stable between runs: sort by class so a seed replays the same way.
        std::sort(out.begin(), out.end(), [](auto* a, auto* b) {
            return qstrcmp(a->metaObject()->className(), b->metaObject()->className()) < 0;
        });
        return out;
    }

    template <class T> T* pick(const QList<T*>& list) { return list.isEmpty() ? nullptr : list[rng.bounded(int(list.size()))]; }

    QString randomText()
    {
        static const QString chars = QStringLiteral("abcxyzMNO0123456789/,'éèçàÉ -");
        const int n = int(rng.bounded(9)); // empty now and then
        QString s;
        for (int i = 0; i < n; ++i)
            s += chars[rng.bounded(int(chars.size()))];
        // Dates and numbers the windows take, so the typing also reaches the paths past the checks.
        static const QString names[] = {QStringLiteral("mar"), QStringLiteral("dup"), QStringLiteral("d'a"),
                                        QStringLiteral("Ét"), QStringLiteral("z"), QStringLiteral("le")};
        switch (rng.bounded(7)) {
        case 2: return names[rng.bounded(6)]; // the demo names, so searches find couples
        case 0: return QStringLiteral("%1/%2/%3").arg(rng.bounded(1, 32)).arg(rng.bounded(1, 13)).arg(rng.bounded(0, 2006));
        case 1: return QString::number(rng.bounded(0, 40));
        default: return s;
        }
    }

    static QString name(QObject* o)
    {
        QString n = o->objectName();
        if (auto* a = qobject_cast<QAction*>(o))
            n += QLatin1Char('[') + a->text() + QLatin1Char(']');
        return n;
    }

    void click(platform::Form* window)
    {
        QList<QObject*> targets;
        for (auto* b : window->findChildren<QAbstractButton*>())
            if ((qobject_cast<QPushButton*>(b) || qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b))
                && usable(b))
                targets.append(b);
        for (auto* a : window->findChildren<QAction*>())
            if (a->isVisible() && a->isEnabled() && !a->menu() && !a->isSeparator() && !a->associatedObjects().isEmpty())
                targets.append(a);
        QObject* t = pick(targets);
        if (!t)
            return;
        note(QStringLiteral("click %1.%2").arg(window->metaObject()->className(), name(t)));
        if (auto* a = qobject_cast<QAction*>(t))
            a->trigger();
        else
            static_cast<QAbstractButton*>(t)->click();
    }

    void type(platform::Form* window)
    {
        QList<QWidget*> boxes;
        for (auto* e : window->findChildren<QLineEdit*>())
            if (usable(e) && !e->isReadOnly() && !qobject_cast<QComboBox*>(e->parentWidget()))
                boxes.append(e);
        for (auto* c : window->findChildren<QComboBox*>())
            if (usable(c))
                boxes.append(c);
        QWidget* box = pick(boxes);
        if (!box)
            return;
        auto* combo = qobject_cast<QComboBox*>(box);
        if (combo && (!combo->isEditable() || rng.bounded(3) == 0) && combo->count() > 0) {
            const int i = int(rng.bounded(combo->count()));
            note(QStringLiteral("choose %1.%2 #%3").arg(window->metaObject()->className(), box->objectName()).arg(i));
            combo->setCurrentIndex(i);
            return;
        }
        if (combo && !combo->isEditable())
            return;
        QLineEdit* edit = combo ? combo->lineEdit() : static_cast<QLineEdit*>(box);
        const QString text = randomText();
        note(QStringLiteral("type %1.%2 \"%3\"").arg(window->metaObject()->className(), box->objectName(), text));
        box->setFocus();
        if (rng.bounded(2))
            edit->clear();
        // Character by character as key events, so the boxes' key filters see them (keyClicks refuses accents).
        for (const QChar c : text) {
            QTest::sendKeyEvent(QTest::Press, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
            QTest::sendKeyEvent(QTest::Release, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }

    void press(platform::Form* window)
    {
        QWidget* w = QApplication::focusWidget();
        if (!w || w->window() != window || !usable(w))
            return;
        const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Return, Qt::Key_Enter};
        const Qt::Key k = keys[rng.bounded(4)];
        note(QStringLiteral("key %1 in %2.%3").arg(int(k)).arg(window->metaObject()->className(), w->objectName()));
        QTest::keyClick(w, k);
    }

    // A double click on a list row or a text box (lists pick their item, date boxes copy dates).
    void doubleClick(platform::Form* window)
    {
        QList<QWidget*> targets;
        for (auto* l : window->findChildren<QListWidget*>())
            if (usable(l) && l->count() > 0)
                targets.append(l);
        for (auto* e : window->findChildren<QLineEdit*>())
            if (usable(e))
                targets.append(e);
        QWidget* t = pick(targets);
        if (!t)
            return;
        note(QStringLiteral("double click %1.%2").arg(window->metaObject()->className(), t->objectName()));
        if (auto* l = qobject_cast<QListWidget*>(t)) {
            QListWidgetItem* item = l->item(int(rng.bounded(l->count())));
            l->scrollToItem(item);
            QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, l->visualItemRect(item).center());
        } else {
            QTest::mouseDClick(t, Qt::LeftButton);
        }
    }

    // One step on a random open window.
    void step()
    {
        const auto windows = openWindows();
        // Users work mostly in the window that came up last; the others get the rest of the clicks.
        for (auto* w : windows)
            if (!m_seen.contains(w))
                m_recent = w;
        m_seen = QSet<platform::Form*>(windows.begin(), windows.end());
        platform::Form* window = pick(windows);
        if (m_recent && windows.contains(m_recent) && rng.bounded(2))
            window = m_recent;
        if (!window) {
            note(QStringLiteral("start again"));
            forms().show<Form4>();
            return;
        }
        const int r = int(rng.bounded(100));
        if (r < 55)
            click(window);
        else if (r < 85)
            type(window);
        else if (r < 93)
            press(window);
        else if (r < 97)
            doubleClick(window);
        else {
            if (qobject_cast<Form4*>(window) && rng.bounded(3))
                return; // ending the program is rarer than leaving a window
            note(QStringLiteral("close %1").arg(window->metaObject()->className()));
            window->close();
        }
    }

private:
    QSet<platform::Form*> m_seen;  // compared by address only, never dereferenced
    platform::Form* m_recent = nullptr;
};

} // namespace

// A control whose value the mouse wheel changes.
bool wheelChangesValue(const QWidget* w)
{
    return qobject_cast<const QComboBox*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QCalendarWidget*>(w) ||
           (qobject_cast<const QAbstractSlider*>(w) && !qobject_cast<const QScrollBar*>(w));
}

// Rows for each such control of a window (those inside another, as the calendar's year box, go with it).
template <class W> void addWheelRows(const char* window)
{
    W w;
    for (const QWidget* c : w.template findChildren<QWidget*>()) {
        bool inner = false;
        for (const QWidget* p = c->parentWidget(); p && !inner; p = p->parentWidget())
            inner = wheelChangesValue(p);
        if (wheelChangesValue(c) && !inner)
            QTest::newRow(qPrintable(QStringLiteral("%1 / %2").arg(window, c->objectName())))
                << QString::fromLatin1(window) << c->objectName();
    }
}

// What the control shows of its value.
QString valueOf(const QWidget* c)
{
    if (auto* calendar = qobject_cast<const QCalendarWidget*>(c))
        return QStringLiteral("%1/%2 %3")
            .arg(calendar->monthShown())
            .arg(calendar->yearShown())
            .arg(calendar->selectedDate().toString(Qt::ISODate));
    if (auto* spin = qobject_cast<const QAbstractSpinBox*>(c))
        return spin->text();
    if (auto* slider = qobject_cast<const QAbstractSlider*>(c))
        return QString::number(slider->value());
    return platform::controlText(c);
}


void press(QWidget* w, const char* button) { fixture::control<QPushButton>(w, button)->click(); }
using fixture::control;

// Couples DUPONT, MARTIN (A) and ZOLA in name order (partners in the same order), each with a sheet and a
// work-up; the other two have a follow-up. The main window shows A. Their numbers are past the 32-bit range (a
// counter that another tool set).
struct ThreeCouples {
    static inline const QString kMarker = QStringLiteral("MARQUEUR");
    TestEnv env;
    YesToAll answers;
    office::FakeSpreadsheet fake;
    qint64 a = 0, b1 = 0, b2 = 0;
    QList<qint64> otherSheets;
    Form4* main = nullptr;

    ThreeCouples()
    {
        platform::setMessageService(&answers);
        QFile t(env.programDir() + QStringLiteral("/Folivex01.xls"));
        if (t.open(QIODevice::WriteOnly))
            t.write("template");
        fixture::db(db())->exec(QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES ('CIVILITES', "
                                               "3000000000)"));
        b1 = fixture::addCouple(db(), "DUPONT", "AUBERT", "01/01/1970");
        a = fixture::addCouple(db(), "MARTIN", "MOREAU", "02/02/1972");
        b2 = fixture::addCouple(db(), "ZOLA", "ZELLER", "03/03/1974");
        for (qint64 couple : {b1, a, b2}) {
            const qint64 sheet = fixture::addSheet(db(), couple, 1);
            fixture::addRow(db(), QStringLiteral("EXAMENS"), QStringLiteral("NUMERO"), couple);
            if (couple != a) {
                otherSheets << sheet;
                fixture::addRow(db(), QStringLiteral("GROSSESSE"), QStringLiteral("NUMFICH"), sheet);
            }
        }
        main = forms().show<Form4>();
        QTest::keyClicks(control<QLineEdit>(main, "Text1"), "MARTIN");
    }
    ~ThreeCouples()
    {
        forms().unloadAll();
        platform::setMessageService(nullptr);
    }
    QString db() const { return env.dbPath(); }
    // The main window moves to ZOLA by a search.
    void showB()
    {
        auto* text1 = control<QLineEdit>(main, "Text1");
        text1->clear();
        QTest::keyClicks(text1, "ZO");
    }

    // A window opened on A with a change typed in it, the button that stores it, the query that reads the change
    // back from A's rows, and the change as the window shows it.
    struct Opened {
        QWidget* window = nullptr;
        std::function<void()> store;
        QString markerQuery;
        std::function<QString()> marker;
    };
    Opened openOnA(const QString& window, bool type = true)
    {
        Opened o;
        if (window == "Form3") {
            press(main, "CmdModifie");
            auto* w = forms().find<Form3>();
            if (type)
                w->box("VilleTxt")->setText(kMarker);
            o = {w, [w] { press(w, "Command2"); }, QStringLiteral("SELECT Ville FROM CIVILITES WHERE numero=%1").arg(a),
                 [] { return forms().find<Form3>()->box("VilleTxt")->text(); }};
        } else if (window.startsWith("Form5 ")) {
            press(main, "CmdOuvrirFiche");
            auto* w = forms().find<Form5>();
            if (type)
                control<QLineEdit>(w, "TxtNbrO")->setText(kMarker);
            o.window = w;
            o.marker = [] { return control<QLineEdit>(forms().find<Form5>(), "TxtNbrO")->text(); };
            if (window.endsWith("save")) {
                o.store = [w] { press(w, "CmdModif"); };
                o.markerQuery = QStringLiteral("SELECT NBRO FROM FICHE WHERE NUMERO=%1").arg(a);
            } else {
                o.store = [w] { press(w, "CmdSupprimer"); };
                o.markerQuery = QStringLiteral("SELECT CASE COUNT(*) WHEN 0 THEN 'MARQUEUR' END FROM FICHE "
                                               "WHERE NUMERO=%1").arg(a);
            }
        } else if (window == "Form6") {
            press(main, "CmdCreerFiche");
            auto* w = forms().find<Form6>();
            if (type)
                control<QComboBox>(w, "CmbType")->setEditText(kMarker);
            o = {w,
                 [w] {
                     press(w, "Command1");
                     press(w, "CmdNouvFiche");
                 },
                 QStringLiteral("SELECT Type FROM FICHE WHERE NUMERO=%1 AND NUMFICH=2").arg(a),
                 [] { return control<QComboBox>(forms().find<Form6>(), "CmbType")->currentText(); }};
        } else if (window == "Form2") {
            press(main, "CmdCreeDossier");
            auto* w = forms().find<Form2>();
            if (type)
                w->box("NomTxt")->setText(kMarker);
            o = {w, [w] { press(w, "Command1"); }, QStringLiteral("SELECT Nom FROM CIVILITES WHERE Nom='MARQUEUR'"),
                 [] { return forms().find<Form2>()->box("NomTxt")->text(); }};
        } else if (window == "Form50") {
            auto* w = forms().show<Form50>();
            if (type)
                control<QLineEdit>(w, "Text1")->setText(kMarker);
            o = {w, [w] { press(w, "Enregistre"); }, QString(),
                 [] { return control<QLineEdit>(forms().find<Form50>(), "Text1")->text(); }};
        } else if (window == "Form8") {
            press(main, "CmdStat");
            auto* w = forms().find<Form8>();
            o = {w, [w] { press(w, "CmdRechercher"); }, QString(), [] { return QString(); }};
        } else if (window == "Form7") {
            press(main, "CmdExamens");
            auto* w = forms().find<Form7>();
            if (type)
                control<QLineEdit>(w, "TxtHystero")->setText(kMarker);
            o = {w, [w] { press(w, "Command2"); }, QStringLiteral("SELECT HYSTERO FROM EXAMENS WHERE NUMERO=%1").arg(a),
                 [] { return control<QLineEdit>(forms().find<Form7>(), "TxtHystero")->text(); }};
        } else {
            press(main, "CmdOuvrirFiche");
            press(forms().find<Form5>(), "Command5");
            auto* w = forms().find<Form30>();
            if (type)
                control<QPlainTextEdit>(w, "TxtComment")->setPlainText(kMarker);
            o = {w, [w] { press(w, "CmdEnreg"); },
                 QStringLiteral("SELECT COMMENT FROM GROSSESSE WHERE NUMFICH IN "
                                "(SELECT NUMINTFICH FROM FICHE WHERE NUMERO=%1)").arg(a),
                 [] { return control<QPlainTextEdit>(forms().find<Form30>(), "TxtComment")->toPlainText(); }};
        }
        return o;
    }
    // The main window's command that opens the window for the couple it shows now.
    void reopenForB(const QString& window)
    {
        if (window == "Form2")
            press(main, "CmdCreeDossier");
        else if (window == "Form3")
            press(main, "CmdModifie");
        else if (window.startsWith("Form5 "))
            press(main, "CmdOuvrirFiche");
        else if (window == "Form7")
            press(main, "CmdExamens");
        else {
            press(main, "CmdOuvrirFiche");
            press(forms().find<Form5>(), "Command5");
        }
    }
};

class TestRobustness : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The offscreen platform's complaints about raise() would drown the steps.
        static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.startsWith(QLatin1String("This plugin does not support")))
                previous(type, context, text);
        });
    }

    // A window opened on couple A, the main window moved to another couple by each of its moves, then the
    // window's storing button: A's window writes under A only, and no window shows A's data under another couple.
    void windowsKeepTheirCouple_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("move");
        const QStringList windows = {"Form3", "Form5 save", "Form5 delete", "Form6", "Form7", "Form30"};
        const QStringList moves = {"&Debut", "&Fin", "&<", "&>", "Right in Text1", "Left in Text1",
                                   "Right in Text2", "search", "new dossier cancelled"};
        for (const QString& w : windows)
            for (const QString& m : moves)
                QTest::newRow(qPrintable(w + QStringLiteral(" / ") + m)) << w << m;
    }

    void windowsKeepTheirCouple()
    {
        QFETCH(QString, window);
        QFETCH(QString, move);
        ThreeCouples couples;
        const QString others[] = {
            QStringLiteral("SELECT * FROM CIVILITES WHERE numero<>%1 ORDER BY numero").arg(couples.a),
            QStringLiteral("SELECT * FROM FICHE WHERE NUMERO<>%1 ORDER BY NUMINTFICH").arg(couples.a),
            QStringLiteral("SELECT * FROM EXAMENS WHERE NUMERO<>%1 ORDER BY NUMERO").arg(couples.a),
            QStringLiteral("SELECT * FROM GROSSESSE WHERE NUMFICH IN (%1,%2) ORDER BY NUMFICH")
                .arg(couples.otherSheets[0]).arg(couples.otherSheets[1]),
        };
        QStringList before;
        {
            Sql sql(couples.db());
            for (const QString& q : others)
                before << sql.dump(q);
        }
        const ThreeCouples::Opened opened = couples.openOnA(window);
        QVERIFY(opened.window && opened.window->isVisible());

        // The main window moves to another couple.
        Form4* main = couples.main;
        auto* text1 = control<QLineEdit>(main, "Text1");
        if (move.startsWith('&'))
            for (auto* b : main->findChildren<QPushButton*>())
                if (b->text() == move)
                    b->click();
        if (move == "Right in Text1")
            QTest::keyClick(text1, Qt::Key_Right);
        if (move == "Left in Text1")
            QTest::keyClick(text1, Qt::Key_Left);
        if (move == "Right in Text2")
            QTest::keyClick(control<QLineEdit>(main, "Text2"), Qt::Key_Right);
        if (move == "search")
            couples.showB();
        if (move == "new dossier cancelled") {
            press(main, "CmdCreeDossier");
            press(forms().find<Form2>(), "Command3");
        }

        opened.store();
        forms().flush();

        Sql sql(couples.db());
        for (int i = 0; i < int(std::size(others)); ++i)
            QCOMPARE(sql.dump(others[i]), before[i]);
        QCOMPARE(sql.text(opened.markerQuery.toUtf8().constData()), ThreeCouples::kMarker);
        // Whatever couple a window shows, it shows that couple's own data.
        auto coupleColumn = [&](const QString& numero, const char* column) {
            return sql.text(QStringLiteral("SELECT %1 FROM CIVILITES WHERE numero=%2").arg(column, numero)
                                .toUtf8().constData());
        };
        if (Form4* m = forms().find<Form4>(); m && !m->findChild<QLabel*>("NumLbl")->text().isEmpty()) {
            const QString n = m->findChild<QLabel*>("NumLbl")->text();
            for (const auto& f : app::kDossierFields)
                QCOMPARE(m->findChild<QLabel*>(f.mainLabel)->text(), coupleColumn(n, f.column));
        }
        if (Form5* f5 = forms().find<Form5>(); f5 && !control<QLineEdit>(f5, "TxtNumIntFich")->text().isEmpty()) {
            const QString n = control<QLineEdit>(f5, "TxtNumPat")->text();
            QCOMPARE(control<QLabel>(f5, "LblNom")->text(), coupleColumn(n, "Nom"));
            QCOMPARE(sql.text(QStringLiteral("SELECT NUMERO FROM FICHE WHERE NUMINTFICH=%1")
                                  .arg(control<QLineEdit>(f5, "TxtNumIntFich")->text()).toUtf8().constData()),
                     n);
        }
    }

    // A window holding unsaved work for couple A, then the main window's command that reopens it for another
    // couple: the user is asked first, and No keeps the window as it was.
    void unsavedWorkIsNeverDroppedSilently_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<bool>("drop");
        for (const char* w : {"Form2", "Form3", "Form5 save", "Form7", "Form30"}) {
            QTest::newRow(qPrintable(QStringLiteral("%1 / No").arg(w))) << QString(w) << false;
            QTest::newRow(qPrintable(QStringLiteral("%1 / Yes").arg(w))) << QString(w) << true;
        }
    }

    void unsavedWorkIsNeverDroppedSilently()
    {
        QFETCH(QString, window);
        QFETCH(bool, drop);
        ThreeCouples couples;
        const ThreeCouples::Opened opened = couples.openOnA(window);
        QVERIFY(opened.window);
        couples.showB();
        couples.answers.refuse = drop ? QString() : QStringLiteral("sans enregistrer");
        const int asked = int(couples.answers.texts.size());
        couples.reopenForB(window);
        forms().flush();
        const QStringList questions = couples.answers.texts.mid(asked).filter(QStringLiteral("sans enregistrer"));
        QCOMPARE(questions.size(), 1);
        QCOMPARE(opened.marker() == ThreeCouples::kMarker, !drop);
    }

    // Work typed in a window, then its close box, or the program's end by the main window's close box or its
    // "Quitter": one question first (naming the window at the program's end); No keeps everything as it is, Yes
    // goes without storing. With nothing typed, nothing is asked.
    void closingWithUnsavedWork_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<bool>("yes");
        for (const char* w : {"Form2", "Form3", "Form5 save", "Form6", "Form7", "Form30", "Form50"})
            for (const char* way : {"close box", "main close box", "Quitter"}) {
                QTest::newRow(qPrintable(QStringLiteral("%1 / %2 / nothing typed").arg(w, way)))
                    << QString(w) << QString(way) << false << true;
                for (bool yes : {false, true})
                    QTest::newRow(qPrintable(QStringLiteral("%1 / %2 / %3").arg(w, way, yes ? "Yes" : "No")))
                        << QString(w) << QString(way) << true << yes;
            }
    }

    void closingWithUnsavedWork()
    {
        QFETCH(QString, window);
        QFETCH(QString, way);
        QFETCH(bool, typed);
        QFETCH(bool, yes);
        ThreeCouples couples;
        bool ended = false;
        forms().onQuit = [&] { ended = true; };
        struct Restore {
            ~Restore() { forms().onQuit = nullptr; }
        } restore;
        const ThreeCouples::Opened opened = couples.openOnA(window, typed);
        QVERIFY(opened.window && opened.window->isVisible());
        const QString title = opened.window->windowTitle().trimmed();
        const QString shown = opened.marker();
        const QPointer<QWidget> w = opened.window;
        couples.answers.refuse = yes ? QString() : QStringLiteral("sans ");
        const int asked = int(couples.answers.texts.size());
        if (way == "close box")
            w->close();
        else if (way == "main close box")
            couples.main->close();
        else
            press(couples.main, "CmdQuitter");
        forms().flush();
        const QStringList questions = couples.answers.texts.mid(asked);
        if (!typed) {
            QVERIFY2(questions.isEmpty(), qPrintable(questions.join(" | ")));
        } else {
            QCOMPARE(questions.size(), 1);
            QVERIFY(questions[0].contains(QStringLiteral("sans enregistrer")) ||
                    questions[0].contains(QStringLiteral("sans les enregistrer")));
            if (way != "close box")
                QVERIFY2(questions[0].contains(title), qPrintable(questions[0]));
        }
        const bool goes = !typed || yes;
        QCOMPARE(ended, goes && way != "close box");
        if (way == "close box")
            QCOMPARE(w.isNull(), goes);
        if (!goes) {
            QVERIFY(w && w->isVisible());
            QCOMPARE(opened.marker(), shown);
            QVERIFY(forms().find<Form4>() && forms().find<Form4>()->isVisible());
        }
        if (typed && !opened.markerQuery.isEmpty())
            QVERIFY(Sql(couples.db()).text(opened.markerQuery.toUtf8().constData()) != ThreeCouples::kMarker);
    }

    // Every control of the windows whose value the wheel changes: the focus on a button, the wheel turned over
    // the control, then the window's storing button (the search for the statistics). What the control
    // shows and every stored row are those of the same session without the wheel.
    void wheelChangesNothingWithoutTheFocus_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        addWheelRows<Form2>("Form2");
        addWheelRows<Form3>("Form3");
        addWheelRows<Form5>("Form5 save");
        addWheelRows<Form6>("Form6");
        addWheelRows<Form7>("Form7");
        addWheelRows<Form30>("Form30");
        addWheelRows<Form50>("Form50");
        addWheelRows<Form8>("Form8");
    }

    void wheelChangesNothingWithoutTheFocus()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        const auto session = [&](bool wheel) {
            ThreeCouples couples;
            {
                RawDb raw(couples.db());
                for (int list = 1; list <= 40; ++list)
                    raw.exec(QStringLiteral("INSERT INTO OPTIONS (NUMEROS, TEXTE) VALUES (%1, 'Premier'), "
                                            "(%1, 'Second')").arg(list));
            }
            const ThreeCouples::Opened opened = couples.openOnA(window, false);
            QWidget* w = opened.window;
            auto* c = w ? w->findChild<QWidget*>(control) : nullptr;
            if (!c)
                return QStringLiteral("! no control ") + control;
            c->show(); // a product box its scheme hides
            w->activateWindow();
            if (!QTest::qWaitForWindowActive(w))
                return QStringLiteral("! the window is not active");
            auto* other = w->findChild<QPushButton*>();
            other->setFocus(Qt::OtherFocusReason);
            if (wheel && !turnWheelOver(c))
                return QStringLiteral("! the control is not under the pointer");
            const QWidget* focus = QApplication::focusWidget();
            QString outcome = valueOf(c) + QStringLiteral("\nfocus on ") +
                              (focus == other ? QStringLiteral("the button") : QStringLiteral("another control")) +
                              QLatin1Char('\n');
            opened.store();
            forms().flush();
            Sql sql(couples.db());
            for (const char* table : {"CIVILITES", "FICHE", "EXAMENS", "GROSSESSE"})
                outcome += sql.dump(QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(table));
            QFile letterhead(letterhead::defaultPath());
            if (letterhead.open(QIODevice::ReadOnly))
                outcome += QString::fromLatin1(letterhead.readAll());
            return outcome;
        };
        const QString turned = session(true);
        QVERIFY2(!turned.startsWith(QLatin1Char('!')), qPrintable(turned));
        QCOMPARE(turned, session(false));
    }

    // A row holding a value its window cannot show as it is stored, another box changed and stored (a box of
    // the same list too, where one is given): the value reads back byte for byte, but for that box's item.
    void valuesAWindowCannotShowAreKept_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("stored"); // as an SQL literal
        QTest::addColumn<QString>("tick");   // a check box of the same list the user ticks
        QTest::addColumn<QString>("kept");   // the literal read back
        const auto text = [](const QString& t) { return QLatin1Char('\'') + t + QLatin1Char('\''); };
        const QString longText = text(QString(40000, QLatin1Char('x')) + QStringLiteral("fin"));
        QStringList thousand;
        for (int i = 0; i < 1000; ++i)
            thousand << QString::number(i % 2);
        const QString crlf = QStringLiteral("\r\n");
        QTest::newRow("Form3, long address") << "Form3" << "CIVILITES.ADRESSE1" << longText << QString() << longText;
        QTest::newRow("Form3, line break in one-line box")
            << "Form3" << "CIVILITES.ADRESSE2" << text("Bât. B" + crlf + "Résidence") << QString()
            << text("Bât. B" + crlf + "Résidence");
        QTest::newRow("Form3, Null") << "Form3" << "CIVILITES.FAX" << "NULL" << QString() << "NULL";
        QTest::newRow("Form7, long text") << "Form7" << "EXAMENS.PRUT" << longText << QString() << longText;
        QTest::newRow("Form7, long combo text") << "Form7" << "EXAMENS.Diag" << longText << QString() << longText;
        QTest::newRow("Form5 save, long combo text") << "Form5 save" << "FICHE.ANA" << longText << QString() << longText;
        QTest::newRow("Form5 save, check value 2") << "Form5 save" << "FICHE.REDUC" << "2" << QString() << "2";
        QTest::newRow("Form5 save, start date not a date")
            << "Form5 save" << "FICHE.JCYCLE" << text("pas une date") << QString() << text("pas une date");
        QTest::newRow("Form30, long item") << "Form30" << "GROSSESSE.HOSPIT" << longText << QString() << longText;
        QTest::newRow("Form30, 1000 items")
            << "Form30" << "GROSSESSE.TERG2M" << text(thousand.join(crlf)) << QString() << text(thousand.join(crlf));
        QStringList ticked = thousand;
        ticked[0] = QStringLiteral("1");
        QTest::newRow("Form30, 1000 items, the first ticked")
            << "Form30" << "GROSSESSE.TERG2M" << text(thousand.join(crlf)) << "ChkPathG_0" << text(ticked.join(crlf));
        const QString checks = text(QStringList{"2", "1", "0", "5", "0", "-1"}.join(crlf));
        QTest::newRow("Form30, check items outside 0 and 1")
            << "Form30" << "GROSSESSE.TERG2F" << checks << QString() << checks;
        QTest::newRow("Form30, check items outside 0 and 1, the third ticked")
            << "Form30" << "GROSSESSE.TERG2F" << checks << "ChkPathF_2"
            << text(QStringList{"2", "1", "1", "5", "0", "-1"}.join(crlf));
    }

    void valuesAWindowCannotShowAreKept()
    {
        QFETCH(QString, window);
        QFETCH(QString, column);
        QFETCH(QString, stored);
        QFETCH(QString, tick);
        QFETCH(QString, kept);
        ThreeCouples couples;
        const QString table = column.section(QLatin1Char('.'), 0, 0);
        const QString name = column.section(QLatin1Char('.'), 1);
        QString row = QStringLiteral("%1 WHERE NUMERO=%2").arg(table).arg(couples.a);
        {
            RawDb raw(couples.db());
            if (table == QLatin1String("GROSSESSE")) {
                const QString sheet = raw.text(QStringLiteral("SELECT NUMINTFICH FROM FICHE WHERE NUMERO=%1").arg(couples.a));
                QVERIFY(raw.exec(QStringLiteral("INSERT INTO GROSSESSE (NUMFICH) VALUES (%1)").arg(sheet)));
                row = QStringLiteral("GROSSESSE WHERE NUMFICH=") + sheet;
            }
            QVERIFY(raw.exec(QStringLiteral("UPDATE %1 SET %2=%3 WHERE %4").arg(table, name, stored, row.section(" WHERE ", 1))));
        }
        const ThreeCouples::Opened opened = couples.openOnA(window);
        if (!tick.isEmpty())
            control<QCheckBox>(opened.window, qPrintable(tick))->setChecked(true);
        opened.store();
        forms().flush();
        RawDb raw(couples.db());
        QCOMPARE(raw.text(opened.markerQuery), ThreeCouples::kMarker);
        QCOMPARE(raw.text(QStringLiteral("SELECT quote(%1) FROM %2").arg(name, row)), kept);
    }

    void impatientUser_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("steps");
        // FOLIVEX_MONKEY_SEEDS=first-last runs other seeds for a longer hunt.
        const QStringList range = qEnvironmentVariable("FOLIVEX_MONKEY_SEEDS", QStringLiteral("1-4")).split(QLatin1Char('-'));
        for (quint32 seed = range.first().toUInt(); seed <= range.last().toUInt(); ++seed)
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed << 2000;
    }

    void impatientUser()
    {
        QFETCH(quint32, seed);
        QFETCH(int, steps);
        // Made before the environment, whose end unloads the windows left open: their unload may still ask.
        Monkey monkey(seed);
        RandomMessages messages(monkey.rng);
        TestEnv env(true);
        platform::setMessageService(&messages);
        office::FakeSpreadsheet fake;
        HarmlessPrinters printers(monkey.rng, env.path(QStringLiteral("report.pdf")));
        report::setPrinterService(&printers);
        // Stand-in templates, so the new sheets reach their workbooks (the fake spreadsheet never reads them).
        for (int n = 1; n <= 10; ++n) {
            QFile t(env.programDir() + QStringLiteral("/Folivex%1.xls").arg(n, 2, 10, QLatin1Char('0')));
            QVERIFY(t.open(QIODevice::WriteOnly));
            t.write("template");
        }
        const QString backupDir = env.path(QStringLiteral("backup"));
        QDir().mkpath(backupDir);
        Form21::folderChooser = [&](QWidget*, const QString&) {
            return monkey.rng.bounded(3) ? backupDir : QString();
        };
        bool ended = false;
        forms().onQuit = [&] { ended = true; };
        struct Restore {
            ~Restore()
            {
                report::setPrinterService(nullptr);
                Form21::folderChooser = nullptr;
                forms().onQuit = nullptr;
            }
        } restore;

        {
            Sql sql(env.dbPath());
            QCOMPARE(sql.text(kOrphanSheets), QString("0"));
            QCOMPARE(sql.text(kOrphanExams), QString("0"));
        }

        ModalGuard modals;
        qApp->installEventFilter(&modals);
        forms().show<Form4>();
        const QString awayPath = env.dbPath() + QStringLiteral(".away");
        bool away = false;
        QElapsedTimer clock;
        for (int i = 0; i < steps; ++i) {
            if (ended) {
                // The program ended: start it again as the user would, from nothing.
                monkey.note(QStringLiteral("program ended, started again"));
                if (away) { // the main window cannot load without its database: the share comes back first
                    QVERIFY(QFile::rename(awayPath, env.dbPath()));
                    away = false;
                }
                app::tearDown();
                office::setSpreadsheet(&fake); // the program's end detaches the engine
                ended = false;
                forms().show<Form4>();
            }
            // Now and then the database file goes away for a while (a network share dropping): every window
            // must tell the user instead of failing.
            if (monkey.rng.bounded(100) == 0) {
                away = !away;
                monkey.note(away ? QStringLiteral("database gone") : QStringLiteral("database back"));
                QVERIFY(away ? QFile::rename(env.dbPath(), awayPath) : QFile::rename(awayPath, env.dbPath()));
            }
            clock.start();
            const int asked = messages.asked;
            QString failure;
            try {
                monkey.step();
                forms().flush();
                // What an event loop would deliver (layouts, repaints): left queued, thousands of steps make
                // every widget's destruction scan an ever longer queue.
                QCoreApplication::sendPostedEvents();
            } catch (const std::exception& e) {
                failure = QStringLiteral("exception: ") + QString::fromUtf8(e.what());
            } catch (...) {
                failure = QStringLiteral("unknown exception");
            }
            if (monkey.trace && clock.elapsed() > 100)
                fprintf(stderr, "  slow: %lld ms\n", qint64(clock.elapsed()));
            if (failure.isEmpty() && clock.elapsed() > 5000)
                failure = QStringLiteral("step took %1 ms").arg(clock.elapsed());
            if (failure.isEmpty() && !modals.opened.isEmpty())
                failure = QStringLiteral("a real modal window opened: ") + modals.opened.join(QLatin1String(", "));
            if (failure.isEmpty() && messages.asked - asked > 200)
                failure = QStringLiteral("%1 boxes in one step").arg(messages.asked - asked);
            if (failure.isEmpty() && !away) {
                // Checked after every step so a failure names the step that broke the rows.
                Sql sql(env.dbPath());
                if (sql.text(kOrphanSheets) != QLatin1String("0") || sql.text(kOrphanExams) != QLatin1String("0"))
                    failure = QStringLiteral("rows left without their couple");
            }
            if (!failure.isEmpty())
                QFAIL(qPrintable(QStringLiteral("step %1: %2\n  after: %3").arg(i).arg(failure, monkey.trail.join("\n  "))));
        }
        app::tearDown();
        if (away)
            QVERIFY(QFile::rename(awayPath, env.dbPath()));

        Sql sql(env.dbPath());
        QVERIFY(sql.db);
        QCOMPARE(sql.text("PRAGMA integrity_check"), QString("ok"));
        QCOMPARE(sql.text(kOrphanSheets), QString("0"));
        QCOMPARE(sql.text(kOrphanExams), QString("0"));
        // The counters never hand out a number twice.
        QCOMPARE(sql.text("SELECT COUNT(*)-COUNT(DISTINCT numero) FROM CIVILITES"), QString("0"));
        QCOMPARE(sql.text("SELECT COUNT(*)-COUNT(DISTINCT NUMINTFICH) FROM FICHE"), QString("0"));
    }
};

QTEST_MAIN(TestRobustness)
#include "tst_robustness.moc"
