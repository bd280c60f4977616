#pragma once
// A window's save of a row it read at its fill: another workstation may have changed or deleted that row
// since. The user decides about a change; a row gone (or a file replaced) is never written.
#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

class QWidget;

namespace data {
class Database;
class Recordset;
}

namespace platform {

// Stores the edit pending on rs. Changed elsewhere since it was read: asks changedQuestion; Yes writes over the
// other workstation's change, No drops the edit. Deleted elsewhere, or the file replaced under the window:
// tells goneNotice and drops the edit. True when the row was stored. Any other refusal is thrown (DbError),
// the edit dropped.
bool storeEdit(data::Recordset& rs, const QString& changedQuestion, const QString& goneNotice);
// Deletes the current row of rs in the same way: changed elsewhere, asks; gone, tells. True when it was deleted.
bool deleteRow(data::Recordset& rs, const QString& changedQuestion, const QString& goneNotice);

// A first row (a couple's exams, a sheet's follow-up) added under the write lock, so that no owner gets two.
struct FirstRow {
    std::shared_ptr<data::Recordset> theirs; // the row another workstation added meanwhile, the add cancelled
    QString refused;                         // why nothing may be stored, the add cancelled
    bool added() const { return !theirs && refused.isEmpty(); }
};
// Stores the add pending on adding unless refusal (run under the lock) gives a reason or the query existing
// finds a row already. Database errors are thrown, the transaction rolled back.
FirstRow addFirstRow(data::Database& db, data::Recordset& adding, const QString& existing,
                     const std::function<QString()>& refusal = {});

// Whether a database refusal means the row read is no longer there (deleted, or the file replaced).
bool rowGone(int dbErrorCode);

// A row as a window showed it: the value read for each column (or item of a list column) and what its control
// showed of it. A save writes a value from its control only when the user changed that control since the fill;
// a control left as it was gives back the value read, byte for byte, whatever it could not show of it: a Null,
// line breaks in a one-line box, a check box value other than 0 and 1, a date text that is no date, the items
// of a list beyond the window's controls.
class ShownRow {
public:
    // Nothing shown from a row (a window emptied, or filled for a new row): every control gives its own value.
    void clear() { m_shown.clear(); }
    // After the fill: the value read under key, and the control now showing it (none for a value no control
    // shows, which is never changed).
    void shown(const QString& key, const QVariant& read, const QWidget* control);
    // The value read under key; invalid when nothing was shown under it.
    QVariant read(const QString& key) const { return m_shown.value(key).read; }
    // Shown under key, and its control shows what it showed then.
    bool unchanged(const QString& key) const;
    // What a save stores under key: the value read while its control is unchanged, own otherwise.
    QVariant stored(const QString& key, const QVariant& own) const { return unchanged(key) ? read(key) : own; }

private:
    struct Shown {
        QVariant read;
        const QWidget* control = nullptr;
        QString state; // what the control showed
    };
    QHash<QString, Shown> m_shown;
};

} // namespace platform
