#include "data/schema.h"

#include "data/database.h"
#include "data/jetsql.h"
#include "platform/conversions.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>

namespace data {

bool coupleExists(Database& db, qint64 numero)
{
    return !db.OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES WHERE NUMERO=") + QString::number(numero))->isEOF();
}

QStringList rowKeyColumns(const QString& table)
{
    for (const Table& t : tables())
        if (t.name.compare(table, Qt::CaseInsensitive) == 0)
            return t.key;
    return {};
}

const QStringList& examColumns()
{
    static const QStringList cols = {
        QStringLiteral("PDS"), QStringLiteral("TAILLE"), QStringLiteral("bwf"), QStringLiteral("hivf"),
        QStringLiteral("HBF"), QStringLiteral("hcf"), QStringLiteral("CHLAMF"), QStringLiteral("toxof"),
        QStringLiteral("rubf"), QStringLiteral("FSH"), QStringLiteral("LH"), QStringLiteral("OE2"),
        QStringLiteral("PROLAC"), QStringLiteral("INHIB"), QStringLiteral("TSH"), QStringLiteral("HUNH"),
        QStringLiteral("HYSTERO"), QStringLiteral("COELIO"), QStringLiteral("DTBWF"), QStringLiteral("DTHIVF"),
        QStringLiteral("DTHBF"), QStringLiteral("DTHCF"), QStringLiteral("DTCHLF"), QStringLiteral("DTTOXOF"),
        QStringLiteral("DTRUBF"), QStringLiteral("DTHF"), QStringLiteral("DTHUNH"), QStringLiteral("DTHYST"),
        QStringLiteral("DTCOELIO"), QStringLiteral("DTGENF"), QStringLiteral("bwm"), QStringLiteral("hivm"),
        QStringLiteral("hbm"), QStringLiteral("hcm"), QStringLiteral("CHLAMM"), QStringLiteral("NUM"),
        QStringLiteral("MOB"), QStringLiteral("MIG"), QStringLiteral("SURV"), QStringLiteral("DTBWM"),
        QStringLiteral("DTHIVM"), QStringLiteral("DTHBM"), QStringLiteral("DTHCM"), QStringLiteral("DTCHLM"),
        QStringLiteral("DTSPERMO"), QStringLiteral("DTGENM"), QStringLiteral("PRUT"), QStringLiteral("Test"),
        QStringLiteral("Diag"), QStringLiteral("DIVERS")};
    return cols;
}

namespace {

// Text columns compare as Jet does (case and accents ignored) through the JET collation.
const QString kText = QStringLiteral("TEXT COLLATE JET");

QList<Column> texts(const QStringList& names)
{
    QList<Column> out;
    for (const QString& n : names)
        out.append({n, kText});
    return out;
}

} // namespace

const QList<Table>& tables()
{
    // Counters never give a number twice (AUTOINCREMENT): follow-up rows may still name a deleted sheet. The
    // records: a couple by its number and names, a sheet by its couple and number, a couple's exams, a sheet's
    // follow-up, a list's item by its text.
    static const QList<Table> all = {
        {QStringLiteral("CIVILITES"),
         QList<Column>{{QStringLiteral("numero"), QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")}}
             + texts({"Nom", "Prenom", "SECU", "ADRESSE1", "ADRESSE2", "Ville", "CODEPOST", "TEL1", "TEL2", "Fax",
                      "EMAIL", "TRAITANT1", "TRAITANT2", "PROFESSION", "NOMPART", "PRENOMPART", "NEE"}),
         {"Nom", "Prenom", "NOMPART", "PRENOMPART"}},
        {QStringLiteral("FICHE"),
         QList<Column>{{QStringLiteral("NUMERO"), QStringLiteral("INTEGER")},
                       {QStringLiteral("NUMINTFICH"), QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")},
                       {QStringLiteral("NUMFICH"), QStringLiteral("INTEGER")},
                       {QStringLiteral("JCYCLE"), QStringLiteral("REAL")},
                       {QStringLiteral("JSTIM"), kText},
                       {QStringLiteral("OPTIONBLOC"), QStringLiteral("INTEGER")},
                       {QStringLiteral("OPTIONSTIM"), QStringLiteral("INTEGER")}}
             + texts({"ANA", "DATANA", "ANTAGO", "STIMULINE", "DECLENCHO", "TYPE", "DATEPONC", "MODPONCTION", "NBRO",
                      "NBRE", "NBREC", "GYNECOP", "ANESTHESI", "COMMENT", "DATETRANS", "MODAL", "NBRET", "TRAITEMENT",
                      "GYNECOT", "GROSSESSE", "MULTIPLE"})
             + QList<Column>{{QStringLiteral("REDUC"), QStringLiteral("INTEGER")},
                             {QStringLiteral("ABANDON"), QStringLiteral("INTEGER DEFAULT 0")},
                             {QStringLiteral("NomFichier"), kText}},
         {"NUMERO", "NUMFICH"}},
        {QStringLiteral("EXAMENS"),
         QList<Column>{{QStringLiteral("NUMERO"), QStringLiteral("NUMERIC")}} + texts(examColumns()),
         {"NUMERO"}},
        {QStringLiteral("GROSSESSE"),
         QList<Column>{{QStringLiteral("NUMFICH"), QStringLiteral("NUMERIC")}}
             + texts({"Nom", "Prenom", "identite", "DIAGGROSS", "TERG1", "TERG2M", "TERG2F", "TERG2P", "HOSPIT",
                      "ACCOUCHE", "COMMENT"}),
         {"NUMFICH"}},
        {QStringLiteral("OPTIONS"),
         {{QStringLiteral("NUMEROS"), QStringLiteral("INTEGER")}, {QStringLiteral("TEXTE"), kText}},
         {"NUMEROS", "TEXTE"}},
    };
    return all;
}

const QStringList& indexStatements()
{
    // The couple list in name and partner-name order, found as typed; a couple's sheets, exams, follow-ups
    // and a reference list by number; the statistics' periods, read through the cycle date with the columns
    // they count (no table row read), and by type of AMP with the same columns; the cycle search by type of
    // AMP and period, its other criteria, the pregnancy outcome and the couple read from the index alone.
    static const QStringList statements = {
        QStringLiteral("CREATE INDEX CIVILITES_NOM ON CIVILITES (Nom, Prenom)"),
        QStringLiteral("CREATE INDEX CIVILITES_NOMPART ON CIVILITES (NOMPART, PRENOMPART)"),
        QStringLiteral("CREATE INDEX FICHE_NUMERO ON FICHE (NUMERO)"),
        QStringLiteral("CREATE INDEX FICHE_PERIODE ON FICHE (JCYCLE, GROSSESSE, NUMERO)"),
        QStringLiteral("CREATE INDEX FICHE_TYPE ON FICHE (TYPE, JCYCLE, GROSSESSE, MULTIPLE, DATEPONC, DATETRANS, "
                       "NUMERO)"),
        QStringLiteral("CREATE INDEX FICHE_CRITERES ON FICHE (TYPE, JCYCLE, ANTAGO, ANA, STIMULINE, DECLENCHO, "
                       "GROSSESSE, NUMERO)"),
        QStringLiteral("CREATE INDEX EXAMENS_NUMERO ON EXAMENS (NUMERO)"),
        QStringLiteral("CREATE INDEX GROSSESSE_NUMFICH ON GROSSESSE (NUMFICH)"),
        QStringLiteral("CREATE INDEX OPTIONS_NUMEROS ON OPTIONS (NUMEROS)"),
    };
    return statements;
}

namespace {

QStringList schemaStatements()
{
    QStringList statements;
    for (const Table& t : tables()) {
        QStringList columns;
        for (const Column& c : t.columns)
            columns << c.name + QLatin1Char(' ') + c.type;
        statements << QStringLiteral("CREATE TABLE %1 (%2)").arg(t.name, columns.join(QStringLiteral(", ")));
    }
    return statements + indexStatements();
}

struct StarterList {
    int number;
    QStringList items;
};

QList<StarterList> starterLists()
{
    return {
        {1, {"Dr DURAND", "Dr LEFEBVRE", "Dr MOREAU"}},
        {2, {"Dr GARNIER", "Dr ROUSSEL"}},
        {3, {"Décapeptyl 0,1", "Décapeptyl 3", "Enantone", "Synarel"}},
        {4, {"Cetrotide", "Orgalutran"}},
        {5, {"Gonal-f", "Puregon", "Menopur", "Fostimon"}},
        {6, {"Facile", "Difficile", "Sous écho"}},
        {7, {"Néant", "Biologique", "FC", "GEU", "Enfant vivant"}},
        {8, {"Simple", "Gemellaire", "Triple", "> Triple"}},
        {9, {"Ovitrelle", "Gonadotrophine chorionique 5000", "Ovitrelle d'emblée"}},
        {10, {"FIV", "ICSI", "IAC", "IAD", "TEC", "Stim. simple"}},
        {11, {"Progestérone 600 mg", "Duphaston"}},
        {12, {"Positif", "Négatif", "Non fait"}},
        {13, {"Normal", "Pathologique"}},
        {14, {"Normal", "Pathologique"}},
        {15, {"Centre d'AMP - Fiche de stimulation"}},
        {16, {"Centre d'Assistance Médicale à la Procréation"}},
        {17, {"1, rue de l'Hôpital"}},
        {18, {"64000 PAU"}},
        {19, {"Tél. 05 59 00 00 00"}},
        {20, {"Anesthésie générale", "Anesthésie locale"}},
        {21, {"Agoniste long"}},
        {22, {"Agoniste court"}},
        {23, {"Antagoniste"}},
        {24, {"Clomid"}},
        {25, {"FSH seule"}},
        {26, {"IAC"}},
        {27, {"IAD"}},
        {28, {"TEC"}},
        {29, {"Protocole 9"}},
        {30, {"Protocole 10"}},
        {40, {"Infertilité tubaire", "Infertilité masculine", "Endométriose", "Infertilité inexpliquée"}},
    };
}

void addDemo(Database& db)
{
    struct Couple {
        const char *nom, *prenom, *nompart, *prenompart, *nee, *ville;
    };
    const Couple couples[] = {
        {"MARTIN", "Claire", "MARTIN", "Paul", "12/03/75", "PAU"},
        {"DUPONT", "Sophie", "LEROY", "Marc", "02/11/80", "TARBES"},
        {"D'ARC", "Jeanne", "DURAND", "Pierre", "30/05/82", "BAYONNE"},
        {"ÉTIENNE", "Amélie", "BERNARD", "Luc", "21/07/78", "ORTHEZ"},
        {"ZOLA", "Nathalie", "PETIT", "Jean", "15/01/85", "LESCAR"},
    };
    auto rs = db.OpenRecordset(QStringLiteral("SELECT*FROM CIVILITES"));
    for (const Couple& c : couples) {
        rs->AddNew();
        rs->setField("Nom", QString::fromUtf8(c.nom));
        rs->setField("Prenom", QString::fromUtf8(c.prenom));
        rs->setField("NOMPART", QString::fromUtf8(c.nompart));
        rs->setField("PRENOMPART", QString::fromUtf8(c.prenompart));
        rs->setField("NEE", QString::fromUtf8(c.nee));
        rs->setField("Ville", QString::fromUtf8(c.ville));
        for (const char* col : {"SECU", "ADRESSE1", "ADRESSE2", "CODEPOST", "TEL1", "TEL2", "Fax", "EMAIL",
                                "TRAITANT1", "TRAITANT2", "PROFESSION"})
            rs->setField(QString::fromLatin1(col), QString());
        rs->Update();
    }
    // Exams for the first two couples: one recent, one stale.
    auto ex = db.OpenRecordset(QStringLiteral("SELECT*FROM EXAMENS"));
    const QString recent = platform::shortDate(QDate::currentDate().addDays(-30));
    const QString old = platform::shortDate(QDate::currentDate().addDays(-400));
    for (int n = 1; n <= 2; ++n) {
        ex->AddNew();
        ex->setField("numero", n);
        for (const QString& c : examColumns())
            ex->setField(c, c.startsWith(QLatin1String("DT"), Qt::CaseInsensitive) ? (n == 1 ? recent : old) : QString());
        ex->setField("PDS", n == 1 ? "68" : "80");
        ex->setField("TAILLE", n == 1 ? "162" : "176");
        ex->setField("FSH", n == 1 ? "7,6" : "9");
        ex->setField("LH", n == 1 ? "3" : "4,5");
        ex->Update();
    }
    // Cycles for the first couple.
    auto fi = db.OpenRecordset(QStringLiteral("SELECT*FROM FICHE "));
    const char* types[] = {"FIV", "ICSI", "IAC"};
    for (int k = 1; k <= 3; ++k) {
        const QDate start = QDate::currentDate().addDays(-200 + 60 * k);
        fi->AddNew();
        fi->setField("numero", 1);
        fi->setField("NUMFICH", k);
        fi->setField("JCYCLE", double(platform::dayNumber(start)));
        fi->setField("JSTIM", platform::shortDate(start.addDays(-2)));
        fi->setField("OPTIONBLOC", 2);
        fi->setField("OPTIONSTIM", 4);
        fi->setField("Ana", QStringLiteral("Décapeptyl 0,1"));
        fi->setField("DATANA", platform::shortDate(start.addDays(-20)));
        fi->setField("Stimuline", QStringLiteral("Gonal-f"));
        fi->setField("Type", QString::fromLatin1(types[k - 1]));
        fi->setField("Declencho", QStringLiteral("Ovitrelle"));
        for (const char* col : {"Antago", "MODAL", "MODPONCTION", "NBRE", "NBREC", "NBRET", "NBRO", "TRAITEMENT",
                                "GROSSESSE", "MULTIPLE", "GYNECOP", "GYNECOT", "ANESTHESI", "COMMENT", "DATEPONC",
                                "DATETRANS"})
            fi->setField(QString::fromLatin1(col), QString());
        fi->setField("REDUC", 0);
        fi->setField("NomFichier", QStringLiteral("Pas de Fiche stim"));
        fi->Update();
    }
}

} // namespace

QString createDatabase(const QString& path, bool demo)
{
    if (QFileInfo::exists(path))
        return QStringLiteral("Le fichier %1 existe déjà : il n'est pas remplacé.").arg(path);
    sqlite3* raw = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        const QString msg = raw ? QString::fromUtf8(sqlite3_errmsg(raw)) : QStringLiteral("?");
        sqlite3_close(raw);
        return QStringLiteral("Impossible de créer %1 : %2").arg(path, msg);
    }
    installJetFunctions(raw);
    char* err = nullptr;
    QString failure;
    QStringList statements = schemaStatements();
    statements << QStringLiteral("PRAGMA user_version=%1").arg(kJetCollationVersion);
    for (const StarterList& l : starterLists())
        for (const QString& item : l.items)
            statements << QStringLiteral("INSERT INTO OPTIONS (NUMEROS, TEXTE) VALUES (%1, '%2')")
                              .arg(l.number)
                              .arg(sqlQuote(item));
    sqlite3_exec(raw, "BEGIN", nullptr, nullptr, nullptr);
    for (const QString& s : statements) {
        if (sqlite3_exec(raw, s.toUtf8().constData(), nullptr, nullptr, &err) != SQLITE_OK) {
            failure = QString::fromUtf8(err ? err : "?");
            sqlite3_free(err);
            break;
        }
    }
    sqlite3_exec(raw, failure.isEmpty() ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    if (failure.isEmpty() && demo) {
        try {
            auto db = Database::open(path);
            addDemo(*db);
        } catch (const DbError& e) {
            failure = e.message();
        }
    }
    // A half-made file would only stand in the way of the next attempt, which never overwrites.
    if (!failure.isEmpty())
        QFile::remove(path);
    return failure;
}

} // namespace data
