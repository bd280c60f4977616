// Every window, opened the way the user opens it and filled with real-length data, shows all it holds on an
// ordinary screen: whole on the screen with the desktop's frame, its commands in view without scrolling, nothing
// behind a horizontal scroll bar, every caption and every date whole. The screen is 1280x1024 unless
// FOLIVEX_TEST_SCREEN names another size (ctest runs this suite on 1024x768 too); the offscreen platform draws no
// frame, so the windows are given that of a real desktop (FOLIVEX_TEST_FRAME: ctest also runs it with a tall
// title bar).
#include "admin/form21.h"
#include "admin/form50.h"
#include "admin/form9.h"
#include "admin/frmabout.h"
#include "admin/letterheadfile.h"
#include "app/form0.h"
#include "app/form2.h"
#include "app/form3.h"
#include "appfixture.h"
#include "cycles/form5.h"
#include "cycles/form6.h"
#include "data/schema.h"
#include "platform/application.h"
#include "platform/environment.h"
#include "platform/windowframe.h"
#include "pregnancy/form30.h"
#include "stats/form8.h"
#include "support/testenv.h"
#include "workup/form11.h"
#include "workup/form7.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTemporaryFile>
#include <QTextDocument>
#include <QTimer>
#include <functional>

using fixture::control;
using fixture::mainWindow;
using platform::forms;

namespace {

const QString kNom = QStringLiteral("MARTIN-LEFEBVRE");
const QString kPrenom = QStringLiteral("Marie-Christine");
const QString kAddress = QStringLiteral("128 boulevard du Général Leclerc Prolongé"); // 40 characters
const QString kComment = QStringLiteral(
    "Ponction difficile sous anesthésie générale, ovaire droit haut situé, accès par voie transvaginale après "
    "mobilisation. Liquide folliculaire légèrement hémorragique. Trois ovocytes immatures, deux métaphases II. "
    "Transfert prévu à J2 si le clivage le permet.");
const QString kOldDate = QStringLiteral("28/11/2003"); // more than a year before the tests' today: stale, red

QSize screenSize()
{
    const QByteArray wanted = qgetenv("FOLIVEX_TEST_SCREEN");
    const QList<QByteArray> parts = (wanted.isEmpty() ? QByteArray("1280x1024") : wanted).split('x');
    return parts.size() == 2 ? QSize(parts[0].toInt(), parts[1].toInt()) : QSize(1280, 1024);
}

bool fullScreen() { return screenSize().width() >= 1280; }

// The desktop's frame, left,top,right,bottom: FOLIVEX_TEST_FRAME, or the one openbox draws with its default theme
// (measured under Xvfb): a 20 px title bar, 1 px borders and a 5 px handle at the bottom.
QMargins desktopFrame()
{
    const QList<QByteArray> sides = qgetenv("FOLIVEX_TEST_FRAME").split(',');
    return sides.size() == 4 ? QMargins(sides[0].toInt(), sides[1].toInt(), sides[2].toInt(), sides[3].toInt())
                             : QMargins(1, 20, 1, 5);
}

QRect framed(const QWidget* window)
{
    return window->windowFlags() & Qt::FramelessWindowHint ? window->geometry()
                                                           : window->geometry().marginsAdded(desktopFrame());
}

void click(QWidget* window, const char* button)
{
    QTest::mouseClick(control<QAbstractButton>(window, button), Qt::LeftButton);
}

void trigger(QWidget* window, const char* action)
{
    auto* a = window->findChild<QAction*>(QLatin1String(action));
    if (!a)
        qFatal("no action %s", action);
    a->trigger();
}

// The long couple with a sheet, a stale work-up and a letterhead, and the main window showing the couple.
struct LongCouple {
    int numero = 0;
};

const QString kSpeciality = QStringLiteral("Gynécologie – Obstétrique");
const QString kEstablishment = QStringLiteral("Centre Hospitalier de la Côte Basque");

// The dossier of the long couple, box by box as the dossier windows name them.
const QList<std::pair<const char*, QString>>& dossier()
{
    static const QList<std::pair<const char*, QString>> values = {
        {"NomTxt", kNom}, {"PrenomTxt", kPrenom}, {"NomPartTxt", kNom}, {"PrenomPartTxt", "Jean-Christophe"},
        {"NuSecuTxt", "2 75 03 64 445 123 47"}, {"Adresse1Txt", kAddress}, {"Adresse2Txt", kAddress},
        {"VilleTxt", "SAINT-JEAN-DE-LUZ"}, {"CodePosTxt", "64500"}, {"Tel1Txt", "05 59 26 12 34"},
        {"Tel2Txt", "06 12 34 56 78"}, {"FaxTxt", "05 59 26 12 35"}, {"EMailTxt", "mc.martin-lefebvre@orange.fr"},
        {"Traitant1Txt", "Dr Anne-Sophie DELACROIX"}, {"Traitant2Txt", "Dr Pierre-Henri DUBOIS"},
        {"ProfTxt", "Professeur des écoles"}, {"NeeTxt", "12/03/75"}};
    return values;
}

// Values that a box holding them must show whole.
bool mustShowWhole(const QString& text)
{
    return text == kNom || text == kPrenom || text == kAddress || text == kSpeciality || text == kEstablishment;
}

LongCouple fillDatabase(TestEnv& env)
{
    LongCouple c;
    QMap<QString, QString> columns;
    for (const auto& [box, value] : dossier())
        for (const auto& f : app::kDossierFields)
            if (qstrcmp(f.box, box) == 0)
                columns.insert(QLatin1String(f.column), value);
    c.numero = fixture::addCouple(env.dbPath(), columns);
    auto db = fixture::db(env.dbPath());
    auto sheet = db->OpenRecordset(QStringLiteral("SELECT*FROM FICHE"));
    sheet->AddNew();
    const std::pair<const char*, QVariant> sheetValues[] = {
        {"NUMERO", c.numero}, {"NUMFICH", 12}, {"JCYCLE", 38426.0}, {"OPTIONBLOC", 2}, {"OPTIONSTIM", 4},
        {"Ana", "DECAPEPTYL 0,1 mg"}, {"Type", "ICSI"}, {"REDUC", 0}, {"NomFichier", "Pas de Fiche stim"},
        {"DATANA", "01/03/2005"}, {"DATEPONC", "28/03/2005"}, {"DATETRANS", "30/03/2005"}, {"JSTIM", "15/03/2005"},
        {"NBRO", "12"}, {"NBRE", "8"}, {"NBREC", "3"}, {"NBRET", "2"}, {"COMMENT", kComment},
        {"GROSSESSE", "Enfant vivant"}, {"MULTIPLE", "Gemellaire"}, {"GYNECOP", "Dr Anne-Sophie DELACROIX-BERNARD"},
        {"GYNECOT", "Dr Anne-Sophie DELACROIX-BERNARD"}, {"ANESTHESI", "Dr Pierre-Henri DUBOIS"},
        {"MODPONCTION", "Echo-guidée vaginale"}, {"MODAL", "Transfert difficile"},
        {"TRAITEMENT", "Progestérone 600 mg par voie vaginale"}, {"Stimuline", "GONAL-F 150 UI"},
        {"Antago", "ORGALUTRAN 0,25 mg"}, {"Declencho", "OVITRELLE 250 µg"}};
    for (const auto& [column, value] : sheetValues)
        sheet->setField(QLatin1String(column), value);
    sheet->Update();
    auto exams = db->OpenRecordset(QStringLiteral("SELECT*FROM EXAMENS"));
    exams->AddNew();
    exams->setField(QStringLiteral("NUMERO"), c.numero);
    for (const QString& column : data::examColumns())
        exams->setField(column, column.startsWith(QLatin1String("DT"), Qt::CaseInsensitive)
                                    ? kOldDate
                                    : QStringLiteral("Normal"));
    exams->setField(QStringLiteral("PDS"), QStringLiteral("68"));
    exams->setField(QStringLiteral("TAILLE"), QStringLiteral("165"));
    exams->setField(QStringLiteral("FSH"), QStringLiteral("12,5"));
    exams->setField(QStringLiteral("LH"), QStringLiteral("7,25"));
    exams->Update();
    letterhead::write(letterhead::defaultPath(),
                      {"Docteur", "DELACROIX-BERNARD", "Anne-Sophie", kSpeciality, kEstablishment, kAddress,
                       "Bâtiment Médico-Chirurgical, 2e étage",
                       "SAINT-JEAN-DE-LUZ", "Pyrénées-Atlantiques", "05 59 44 35 35", "640012345", "640054321"});
    return c;
}

Form4* showCouple()
{
    Form4* main = mainWindow();
    forms().show<Form4>();
    QTest::keyClicks(control<QLineEdit>(main, "Text1"), kNom);
    return main;
}

using Opener = std::function<QWidget*(TestEnv&)>;

QWidget* openSheet(TestEnv&)
{
    click(showCouple(), "CmdOuvrirFiche");
    return forms().find<Form5>();
}

const QList<std::pair<const char*, Opener>>& openers()
{
    static const QList<std::pair<const char*, Opener>> all = {
        {"Form0", [](TestEnv&) -> QWidget* { return forms().show<Form0>(); }},
        {"Form4", [](TestEnv&) -> QWidget* { return showCouple(); }},
        {"Form2",
         [](TestEnv&) -> QWidget* {
             click(showCouple(), "CmdCreeDossier");
             Form2* f = forms().find<Form2>();
             for (const auto& [box, value] : dossier())
                 control<QLineEdit>(f, box)->setText(value);
             return f;
         }},
        {"Form3",
         [](TestEnv&) -> QWidget* {
             click(showCouple(), "CmdModifie");
             return forms().find<Form3>();
         }},
        {"Form5", openSheet},
        {"Form30",
         [](TestEnv& env) -> QWidget* {
             QWidget* sheet = openSheet(env);
             env.messages.answerYes();
             click(sheet, "Command5");
             QWidget* f = forms().find<Form30>();
             for (QLineEdit* box : f->findChildren<QLineEdit*>())
                 if (box->objectName().contains(QLatin1String("date"), Qt::CaseInsensitive))
                     box->setText(QStringLiteral("30/03/2005"));
             return f;
         }},
        // The main window comes back from the reference lists (hidden meanwhile) and from the backup window
        // (loaded anew).
        {"Form4 after Form9",
         [](TestEnv&) -> QWidget* {
             trigger(showCouple(), "Options");
             click(forms().find<Form9>(), "CmdQuitter");
             return forms().find<Form4>();
         }},
        {"Form4 after Form21",
         [](TestEnv&) -> QWidget* {
             trigger(showCouple(), "Sauve");
             click(forms().find<Form21>(), "Command1");
             forms().flush();
             return forms().find<Form4>();
         }},
        {"Form6",
         [](TestEnv&) -> QWidget* {
             click(showCouple(), "CmdCreerFiche");
             return forms().find<Form6>();
         }},
        {"Form7",
         [](TestEnv&) -> QWidget* {
             click(showCouple(), "CmdExamens");
             return forms().find<Form7>();
         }},
        {"Form11",
         [](TestEnv&) -> QWidget* {
             trigger(showCouple(), "reserve");
             Form11* f = forms().find<Form11>();
             // The answer that shows both protocol frames and the longest responder text.
             const std::pair<const char*, const char*> typed[] = {
                 {"TxtAge", "39"}, {"TxtPds", "20"}, {"TxtTaille", "100"}, {"TxtFsh", "5"}, {"TxtLh", "5"}};
             for (const auto& [box, text] : typed)
                 QTest::keyClicks(control<QLineEdit>(f, box), QLatin1String(text));
             click(f, "Command2");
             return f;
         }},
        {"Form8",
         [](TestEnv&) -> QWidget* {
             click(showCouple(), "CmdStat");
             QWidget* f = forms().find<Form8>();
             click(f, "CmdRechercher");
             return f;
         }},
        {"Form9",
         [](TestEnv&) -> QWidget* {
             trigger(showCouple(), "Options");
             return forms().find<Form9>();
         }},
        {"Form50",
         [](TestEnv&) -> QWidget* {
             trigger(showCouple(), "Entete");
             return forms().find<Form50>();
         }},
        {"Form21",
         [](TestEnv& env) -> QWidget* {
             const QString deep = QStringLiteral("/Sauvegardes du service/Assistance médicale à la procréation");
             env.setSetting("CheminXls", env.workbookDir() + QStringLiteral("/Fiches de stimulation 2005"));
             env.setSetting("SAUVE", env.path("reseau") + deep);
             trigger(showCouple(), "Sauve");
             return forms().find<Form21>();
         }},
        {"frmAbout",
         [](TestEnv&) -> QWidget* {
             trigger(showCouple(), "Propos");
             return forms().find<frmAbout>();
         }},
    };
    return all;
}

// The window opened and left as it opens: no typing or click in it (its opener may go on to fill it).
QWidget* openAsIs(TestEnv& env, const QString& name)
{
    if (name == QLatin1String("Form8")) {
        click(showCouple(), "CmdStat");
        return forms().find<Form8>();
    }
    if (name == QLatin1String("Form11")) {
        trigger(showCouple(), "reserve");
        return forms().find<Form11>();
    }
    for (const auto& [opener, open] : openers())
        if (name == QLatin1String(opener))
            return open(env);
    return nullptr;
}

// Lines of a caption as it is drawn: access-key ampersands dropped, each line measured alone.
QStringList drawnLines(QString text)
{
    text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text.split(QLatin1Char('\n'));
}

int widest(const QFontMetrics& fm, const QString& text)
{
    int w = 0;
    for (const QString& line : drawnLines(text))
        w = qMax(w, fm.horizontalAdvance(line));
    return w;
}

bool isDateText(const QString& text)
{
    static const QRegularExpression date(QStringLiteral("^\\d{1,2}/\\d{1,2}/\\d{2,4}$"));
    return date.match(text.trimmed()).hasMatch();
}

// Width a line edit gives its text: the frame and the text margins taken off.
int textRoom(const QLineEdit* box)
{
    QStyleOptionFrame opt;
    opt.initFrom(box);
    opt.lineWidth = box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, box) : 0;
    const QRect r = box->style()->subElementRect(QStyle::SE_LineEditContents, &opt, box);
    const QMargins m = box->textMargins();
    return r.width() - m.left() - m.right() - 4; // 2 pixels of inner margin on each side
}

bool shownInWindow(const QWidget* w, const QWidget* window) { return w->isVisibleTo(window) && w->isVisible(); }

// What of the window cannot be read whole; empty when everything can.
QStringList cutOff(QWidget* window)
{
    QStringList faults;
    const auto fault = [&faults](const QWidget* w, const QString& what) {
        faults << QStringLiteral("%1: %2").arg(w->objectName(), what);
    };
    const auto needs = [](const QString& text, int needed, int room) {
        return QStringLiteral("\"%1\" needs %2 px, has %3").arg(text).arg(needed).arg(room);
    };
    for (const QAbstractScrollArea* area : window->findChildren<QAbstractScrollArea*>()) {
        if (!shownInWindow(area, window))
            continue;
        if (area->horizontalScrollBar()->isVisible())
            fault(area, QStringLiteral("horizontal scroll bar"));
        // On a full-size screen the window opens with all its content in view.
        if (fullScreen() && area->verticalScrollBar()->isVisible() && area->objectName() == QLatin1String("scrollArea"))
            fault(area, QStringLiteral("vertical scroll bar on a 1280x1024 screen"));
    }
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (!shownInWindow(label, window) || label->text().isEmpty() || Qt::mightBeRichText(label->text()))
            continue;
        const QFontMetrics fm = label->fontMetrics();
        const int room = label->contentsRect().width() - 2 * qMax(0, label->margin())
            - qMax(0, label->indent());
        if (label->wordWrap()) {
            static const QRegularExpression blanks(QStringLiteral("\\s+"));
            for (const QString& word : label->text().split(blanks, Qt::SkipEmptyParts))
                if (fm.horizontalAdvance(word) > room)
                    fault(label, QStringLiteral("word \"%1\" wider than %2 px").arg(word).arg(room));
            if (label->heightForWidth(label->width()) > label->height())
                fault(label, QStringLiteral("wrapped text taller than the label"));
        } else if (widest(fm, label->text()) > room) {
            fault(label, needs(label->text(), widest(fm, label->text()), room));
        }
    }
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (!shownInWindow(button, window) || button->text().isEmpty())
            continue;
        if (button->hasHeightForWidth()) { // a caption that wraps: all its lines in the button's height
            if (button->heightForWidth(button->width()) > button->height())
                fault(button, QStringLiteral("wrapped caption taller than the button"));
            continue;
        }
        int needed = widest(button->fontMetrics(), button->text());
        if (qobject_cast<const QPushButton*>(button))
            needed += button->style()->pixelMetric(QStyle::PM_ButtonMargin)
                + 2 * button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
        else
            needed = qMin(needed + 20, button->sizeHint().width()); // indicator and spacing
        if (needed > button->width())
            fault(button, needs(button->text(), needed, button->width()));
    }
    for (const QGroupBox* box : window->findChildren<QGroupBox*>()) {
        if (!shownInWindow(box, window) || box->title().isEmpty())
            continue;
        QFont bold = box->font();
        const int needed = widest(QFontMetrics(bold), box->title()) + 16;
        if (needed > box->width())
            fault(box, QStringLiteral("title ") + needs(box->title(), needed, box->width()));
    }
    for (const QLineEdit* box : window->findChildren<QLineEdit*>()) {
        if (!shownInWindow(box, window))
            continue;
        if (qobject_cast<const QComboBox*>(box->parentWidget())) {
            // A value chosen or typed in a list box reads whole.
            if (box->fontMetrics().horizontalAdvance(box->text()) > box->width() - 4)
                fault(box->parentWidget(), QStringLiteral("\"%1\" cut (%2 px)").arg(box->text()).arg(box->width()));
            continue;
        }
        const QFontMetrics fm = box->fontMetrics();
        const bool dateBox = box->objectName().contains(QLatin1String("date"), Qt::CaseInsensitive)
            || isDateText(box->text());
        if (dateBox && fm.horizontalAdvance(QStringLiteral("00/00/0000")) > textRoom(box))
            fault(box, QStringLiteral("date box narrower than 00/00/0000 (%1 px)").arg(textRoom(box)));
        if ((dateBox || mustShowWhole(box->text())) && fm.horizontalAdvance(box->text()) > textRoom(box))
            fault(box, QStringLiteral("\"%1\" cut (%2 px)").arg(box->text()).arg(textRoom(box)));
    }
    for (const QListWidget* list : window->findChildren<QListWidget*>()) {
        if (!shownInWindow(list, window))
            continue;
        for (int i = 0; i < list->count(); ++i)
            if (list->fontMetrics().horizontalAdvance(list->item(i)->text()) > list->viewport()->width() - 4)
                fault(list, QStringLiteral("line \"%1\" cut").arg(list->item(i)->text()));
    }
    return faults;
}

// The window's commands (its buttons outside its frames of fields) that cannot be reached without scrolling, or
// that come before the fields in the tab order.
QStringList commandsOutOfView(QWidget* window)
{
    QStringList faults;
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        if (!shownInWindow(button, window))
            continue;
        bool inFrame = false;
        for (const QWidget* w = button->parentWidget(); w && w != window && !inFrame; w = w->parentWidget())
            inFrame = qobject_cast<const QGroupBox*>(w);
        if (inFrame)
            continue;
        QRect seen = window->rect();
        for (const QAbstractScrollArea* area : window->findChildren<QAbstractScrollArea*>())
            if (area->viewport()->isAncestorOf(button))
                seen &= QRect(area->viewport()->mapTo(window, QPoint()), area->viewport()->size());
        if (!seen.contains(QRect(button->mapTo(window, QPoint()), button->size())))
            faults << QStringLiteral("%1 \"%2\" out of view").arg(button->objectName(), button->text());
    }
    // Kept out of the scrolled fields, the commands still come after them in the tab order: the window does not
    // open with a command in focus, and Tab goes from the last field to the first command.
    if (const QWidget* fields = window->findChild<QWidget*>(QStringLiteral("scrolledContent"))) {
        const QWidget* command = nullptr;
        for (const QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
            if (!(w->focusPolicy() & Qt::TabFocus))
                continue;
            if (!fields->isAncestorOf(w) && qobject_cast<const QPushButton*>(w) && !command)
                command = w;
            if (fields->isAncestorOf(w) && command) {
                faults << QStringLiteral("%1 after %2 in the tab order").arg(w->objectName(), command->objectName());
                break;
            }
        }
    }
    return faults;
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void init() { fixture::countQuits(); }
    void cleanup()
    {
        forms().unloadAll();
        forms().flush();
    }

    // Qt's own dialogs and menus read in French; the backup folder chooser opens on the folder already set,
    // or on the home folder when none is set or it is gone.
    void folderChooserInFrench_data()
    {
        QTest::addColumn<bool>("folderSet");
        QTest::newRow("folder set") << true;
        QTest::newRow("no folder") << false;
    }
    void folderChooserInFrench()
    {
        QFETCH(bool, folderSet);
        TestEnv env;
        const QString backup = env.path("Sauvegardes AMP");
        QDir().mkpath(backup);
        env.setSetting("SAUVE", folderSet ? backup : QString());
        Form21* f = forms().show<Form21>();
        QString opened;
        QStringList buttons;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            opened = dialog->directory().absolutePath();
            for (const QAbstractButton* b : dialog->findChild<QDialogButtonBox*>()->buttons())
                buttons << b->text().remove(QLatin1Char('&'));
            dialog->reject();
        });
        click(f, "Command2");
        QCOMPARE(opened, folderSet ? backup : QDir::homePath());
        QVERIFY2(buttons.contains(QStringLiteral("Annuler")), qPrintable(buttons.join(", ")));
        QVERIFY2(buttons.contains(QStringLiteral("Choisir")), qPrintable(buttons.join(", ")));
        QCOMPARE(control<QLabel>(f, "Label1")->text(), folderSet ? backup : QString()); // cancelled: unchanged

        QLineEdit box;
        std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
        QStringList items;
        for (const QAction* a : menu->actions())
            items << a->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0);
        QVERIFY2(items.contains(QStringLiteral("Copier")) && items.contains(QStringLiteral("Coller")),
                 qPrintable(items.join(", ")));
    }

    // Typing just after a window opens goes into its first box (a window of commands only: its first command),
    // never into its scroll area or onto a command that would act on Enter.
    void everyWindowOpensWithTheFocusInItsFirstBox_data()
    {
        QTest::addColumn<QString>("opener");
        QTest::addColumn<QString>("focused");
        const std::pair<const char*, const char*> rows[] = {
            {"Form4", "Text1"},        {"Form3", "NomTxt"},      {"Form5", "TxtDatePonc"}, {"Form30", "TxtNumPat"},
            {"Form6", "TxtMiseRoute"}, {"Form7", "TxtPds"},      {"Form8", "TxtDate1"},    {"Form9", "CmdMedecins"},
            {"Form11", "TxtAge"},      {"Form50", "Combo1"},     {"Form21", "CmdSauve"},   {"frmAbout", "cmdOK"},
            {"Form4 after Form9", "Text1"}, {"Form4 after Form21", "Text1"}};
        for (const auto& [opener, focused] : rows)
            QTest::newRow(opener) << QString(opener) << QString(focused);
    }
    void everyWindowOpensWithTheFocusInItsFirstBox()
    {
        QFETCH(QString, opener);
        QFETCH(QString, focused);
        TestEnv env;
        fillDatabase(env);
        QWidget* window = openAsIs(env, opener);
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QWidget* now = QApplication::focusWidget();
        QVERIFY(now);
        QCOMPARE(now->objectName(), focused);
    }

    // A designer's default caption ("Label1", "Text1", "TextLabel"...) never shows on a window as it opens.
    void noDesignerPlaceholderIsShown_data()
    {
        everyWindowOpensWithTheFocusInItsFirstBox_data();
        for (const char* opener : {"Form0", "Form2"})
            QTest::newRow(opener) << QString(opener) << QString();
    }
    void noDesignerPlaceholderIsShown()
    {
        QFETCH(QString, opener);
        TestEnv env;
        fillDatabase(env);
        QWidget* window = openAsIs(env, opener);
        QVERIFY(window);
        static const QRegularExpression placeholder(QStringLiteral(
            "^(Label|Text|Combo|Check|Command|Option|Frame|List|Picture|Image|Data)\\d+$|^(TextLabel|PushButton|"
            "CheckBox|RadioButton|GroupBox|LineEdit)$"));
        QStringList shown;
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (!shownInWindow(w, window))
                continue;
            QString text = w->property("text").toString();
            if (const auto* box = qobject_cast<const QGroupBox*>(w))
                text = box->title();
            if (placeholder.match(text.remove(QLatin1Char('&'))).hasMatch())
                shown << QStringLiteral("%1: \"%2\"").arg(w->objectName(), text);
        }
        QVERIFY2(shown.isEmpty(), qPrintable(shown.join(QLatin1String("\n"))));
    }

    // Where the user or the desktop put the main window, it comes back after the reference lists (hidden
    // meanwhile) and after the backup window (loaded anew).
    void mainWindowComesBackWhereItStood_data()
    {
        QTest::addColumn<bool>("backup");
        QTest::newRow("reference lists") << false;
        QTest::newRow("backup") << true;
    }
    void mainWindowComesBackWhereItStood()
    {
        QFETCH(bool, backup);
        TestEnv env;
        fillDatabase(env);
        Form4* w = showCouple();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        const QRect free = platform::freeArea(w);
        const QRect framed = platform::framedGeometry(w);
        QVERIFY(framed.width() < free.width() - 10 && framed.height() < free.height() - 10);
        // Off the centre and off the corners.
        w->move(free.topLeft() + QPoint((free.width() - framed.width()) / 3, (free.height() - framed.height()) * 2 / 3));
        QTest::qWait(20);
        const QRect stood = w->geometry();
        if (backup) {
            w->Sauve->trigger();
            click(forms().find<Form21>(), "Command1");
            forms().flush();
        } else {
            w->Options->trigger();
            click(forms().find<Form9>(), "CmdQuitter");
        }
        Form4* back = forms().find<Form4>();
        QVERIFY(back && back->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(back));
        QCOMPARE(back->geometry(), stood);
    }

    void screenIsTheWantedOne() { QCOMPARE(QGuiApplication::primaryScreen()->geometry().size(), screenSize()); }

    void everyWindowWhole_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < openers().size(); ++i)
            QTest::newRow(openers()[i].first) << i;
    }
    void everyWindowWhole()
    {
        QFETCH(int, index);
        TestEnv env;
        fillDatabase(env);
        QWidget* window = openers()[index].second(env);
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QTest::qWait(50);

        const QRect free = window->screen()->availableGeometry();
        const QRect frame = framed(window);
        QStringList placing = commandsOutOfView(window);
        if (!free.contains(frame))
            placing.prepend(QStringLiteral("with its frame at %1,%2 %3x%4, beyond the screen")
                                .arg(frame.x())
                                .arg(frame.y())
                                .arg(frame.width())
                                .arg(frame.height()));
        QVERIFY2(placing.isEmpty(), qPrintable(placing.join(QLatin1String("\n"))));
        // Scroll bars settle once the layouts have run.
        QStringList faults = cutOff(window);
        for (int i = 0; i < 20 && !faults.isEmpty(); ++i) {
            QTest::qWait(50);
            faults = cutOff(window);
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1String("\n"))));
    }
};

int main(int argc, char** argv)
{
    // The offscreen screen is 800x800 unless configured: give it the size under test.
    QTemporaryFile config(QDir::tempPath() + QStringLiteral("/folivex-screen-XXXXXX.json"));
    if (qgetenv("QT_QPA_PLATFORM").startsWith("offscreen") && config.open()) {
        const QSize s = screenSize();
        config.write(QStringLiteral(R"({"screens":[{"name":"screen","x":0,"y":0,"width":%1,"height":%2}]})")
                         .arg(s.width())
                         .arg(s.height())
                         .toUtf8());
        config.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    }
    platform::Application app(argc, argv);
    platform::assumeFrameMargins(desktopFrame());
    TestLayout test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_layout.moc"
