#include "stats/resultlines.h"

namespace stats {

void ResultLines::setLines(std::shared_ptr<const std::vector<qint64>> numbers,
                           std::shared_ptr<const QHash<qint64, QString>> names)
{
    beginResetModel();
    m_numbers = std::move(numbers);
    m_names = std::move(names);
    endResetModel();
}

QString ResultLines::line(int row) const
{
    const qint64 n = (*m_numbers)[size_t(row)];
    return m_names ? m_names->value(n) : QString::number(n);
}

int ResultLines::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_numbers ? 0 : int(m_numbers->size());
}

QVariant ResultLines::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    return line(index.row());
}

} // namespace stats
