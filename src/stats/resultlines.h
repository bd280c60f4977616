#pragma once
// The lines of a result list of the statistics window, made as they are shown: a number a line, and one text a
// couple for the names. A list widget keeps an object a line, which on a large file was most of the program's
// memory.
#include <QAbstractListModel>
#include <QHash>
#include <QString>
#include <memory>
#include <vector>

namespace stats {

class ResultLines final : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    // Each line shows its number, or the text names gives for it (an empty line for a number without one).
    // Both lists of the window share their numbers.
    void setLines(std::shared_ptr<const std::vector<qint64>> numbers,
                  std::shared_ptr<const QHash<qint64, QString>> names = nullptr);
    void clear() { setLines(nullptr); }
    QString line(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::shared_ptr<const std::vector<qint64>> m_numbers;
    std::shared_ptr<const QHash<qint64, QString>> m_names;
};

} // namespace stats
