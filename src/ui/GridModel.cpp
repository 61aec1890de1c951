#include "ui/GridModel.h"

#include "text/NumberFormat.h"

#include <algorithm>

namespace
{
constexpr qsizetype kRecordCells = 34; // number, date, time and 31 values
} // namespace

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
    const Row &r = rows[static_cast<size_t>(row)];
    if (column >= r.size())
        return {};
    if (const double *value = std::get_if<double>(&r[column]))
        return formatGeneral(*value);
    return std::get<QString>(r[column]);
}

void GridModel::setCell(int row, int column, const QString &text)
{
    Row *r = rowFor(row, column, 1);
    if (!r)
        return;
    (*r)[column] = text;
    notifyChanged(row, column, column);
}

GridModel::Row *GridModel::rowFor(int row, int first, qsizetype count)
{
    if (row < 0 || first < 0 || row >= static_cast<int>(rows.size()) || count == 0)
        return nullptr;
    Row &r = rows[static_cast<size_t>(row)];
    if (r.size() < first + count) {
        r.reserve(std::max<qsizetype>(first + count, kRecordCells));
        r.resize(first + count);
    }
    return &r;
}

void GridModel::setCells(int row, int first, const QVector<QString> &texts)
{
    Row *r = rowFor(row, first, texts.size());
    if (!r)
        return;
    std::copy(texts.begin(), texts.end(), r->begin() + first);
    notifyChanged(row, first, first + int(texts.size()) - 1);
}

void GridModel::setValues(int row, int first, std::span<const double> values)
{
    Row *r = rowFor(row, first, qsizetype(values.size()));
    if (!r)
        return;
    std::copy(values.begin(), values.end(), r->begin() + first);
    notifyChanged(row, first, first + int(values.size()) - 1);
}

void GridModel::notifyChanged(int row, int first, int last)
{
    if (first >= columns)
        return;
    last = std::min(last, columns - 1);
    emit dataChanged(index(row, first), index(row, last));
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
    for (Row &r : rows)
        r.clear();
    if (!rows.empty() && columns > 0) {
        emit dataChanged(index(0, 0), index(static_cast<int>(rows.size()) - 1, columns - 1));
        emit headerDataChanged(Qt::Horizontal, 0, columns - 1);
    }
}
