#include "ui/GridViewModel.h"

#include <algorithm>

GridViewModel::GridViewModel(GridModel *source, QObject *parent)
    : QAbstractTableModel(parent), source(source), rows(source->rowCount())
{
    connect(source, &QAbstractItemModel::rowsInserted, this, &GridViewModel::sourceRowsChanged);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &GridViewModel::sourceRowsChanged);
    connect(source, &QAbstractItemModel::dataChanged, this, &GridViewModel::sourceDataChanged);
    connect(source, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
    // Columns change seldom and never per record: passed on as they come.
    connect(source, &QAbstractItemModel::columnsAboutToBeInserted, this,
            [this](const QModelIndex &, int first, int last) { beginInsertColumns({}, first, last); });
    connect(source, &QAbstractItemModel::columnsInserted, this, [this] { endInsertColumns(); });
    connect(source, &QAbstractItemModel::columnsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { beginRemoveColumns({}, first, last); });
    connect(source, &QAbstractItemModel::columnsRemoved, this, [this] { endRemoveColumns(); });
}

int GridViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows;
}

int GridViewModel::columnCount(const QModelIndex &parent) const
{
    return source->columnCount(parent);
}

QVariant GridViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rows)
        return {};
    return source->data(source->index(index.row(), index.column()), role);
}

bool GridViewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    return index.isValid() && index.row() < rows &&
           source->setData(source->index(index.row(), index.column()), value, role);
}

Qt::ItemFlags GridViewModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? source->flags(source->index(index.row(), index.column())) : Qt::NoItemFlags;
}

QVariant GridViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return source->headerData(section, orientation, role);
}

void GridViewModel::setBatching(bool on)
{
    if (batching && !on)
        flush();
    batching = on;
}

void GridViewModel::flush()
{
    syncRows();
    if (dirtyFirst >= 0 && dirtyFirst < rows && columnCount() > 0)
        emit dataChanged(index(dirtyFirst, 0), index(std::min(dirtyLast, rows - 1), columnCount() - 1));
    dirtyFirst = dirtyLast = -1;
}

void GridViewModel::sourceRowsChanged()
{
    if (!batching)
        syncRows();
}

void GridViewModel::syncRows()
{
    const int target = source->rowCount();
    if (target > rows) {
        beginInsertRows({}, rows, target - 1);
        rows = target;
        endInsertRows();
    } else if (target < rows) {
        beginRemoveRows({}, target, rows - 1);
        rows = target;
        endRemoveRows();
    }
}

void GridViewModel::sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight)
{
    if (!batching) {
        if (topLeft.row() < rows)
            emit dataChanged(index(topLeft.row(), topLeft.column()),
                             index(std::min(bottomRight.row(), rows - 1), bottomRight.column()));
        return;
    }
    dirtyFirst = dirtyFirst < 0 ? topLeft.row() : std::min(dirtyFirst, topLeft.row());
    dirtyLast = std::max(dirtyLast, bottomRight.row());
}
