#include "ui/GridModel.h"

#include <algorithm>

GridModel::GridModel(int rowCount, int columnCount, QObject *parent)
    : QAbstractTableModel(parent), rows(static_cast<size_t>(std::max(rowCount, 0))),
      columns(std::max(columnCount, 0))
{
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return cell(index.row(), index.column());
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    setCell(index.row(), index.column(), value.toString());
    return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return cell(0, section);
    return section;
}

QString GridModel::cell(int row, int column) const
{
    if (row < 0 || column < 0 || row >= static_cast<int>(rows.size()))
        return {};
    const QVector<QString> &r = rows[static_cast<size_t>(row)];
    return column < r.size() ? r[column] : QString();
}

void GridModel::setCell(int row, int column, const QString &text)
{
    setCells(row, column, {text});
}

void GridModel::setCells(int row, int first, const QVector<QString> &texts)
{
    if (row < 0 || first < 0 || row >= static_cast<int>(rows.size()) || texts.isEmpty())
        return;
    QVector<QString> &r = rows[static_cast<size_t>(row)];
    const int last = first + static_cast<int>(texts.size()) - 1;
    if (r.size() <= last)
        r.resize(last + 1);
    std::copy(texts.begin(), texts.end(), r.begin() + first);
    notifyChanged(row, first, last);
}

void GridModel::notifyChanged(int row, int first, int last)
{
    if (first >= columns)
        return;
    last = std::min(last, columns - 1);
    emit dataChanged(index(row, first), index(row, last), {Qt::DisplayRole, Qt::EditRole});
    if (row == 0)
        emit headerDataChanged(Qt::Horizontal, first, last);
}

void GridModel::setRowCount(int count)
{
    count = std::max(count, 0);
    const int old = static_cast<int>(rows.size());
    if (count > old) {
        beginInsertRows({}, old, count - 1);
        rows.resize(static_cast<size_t>(count));
        endInsertRows();
    } else if (count < old) {
        beginRemoveRows({}, count, old - 1);
        rows.resize(static_cast<size_t>(count));
        endRemoveRows();
    }
}

void GridModel::setColumnCount(int count)
{
    count = std::max(count, 0);
    if (count > columns) {
        beginInsertColumns({}, columns, count - 1);
        columns = count;
        endInsertColumns();
    } else if (count < columns) {
        beginRemoveColumns({}, count, columns - 1);
        columns = count;
        endRemoveColumns();
    }
}

void GridModel::clearCells()
{
    for (QVector<QString> &r : rows)
        r.clear();
    if (!rows.empty() && columns > 0) {
        emit dataChanged(index(0, 0), index(static_cast<int>(rows.size()) - 1, columns - 1));
        emit headerDataChanged(Qt::Horizontal, 0, columns - 1);
    }
}
