#include "ui/GridModel.h"

#include "text/DeviceText.h"
#include "text/NumberFormat.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace
{
constexpr int kNumberColumn = 0;
constexpr int kDateColumn = 1;
constexpr int kTimeColumn = 2;
constexpr int kFirstValueColumn = 3;
constexpr qsizetype kRecordCells = kFirstValueColumn + kDecodedValues;
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
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole)
        return std::isnan(number(index.row(), index.column())) ? QVariant()
                                                               : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole)
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

void GridModel::setLog(const RecordLog *records)
{
    if (records == log)
        return;
    log = records;
    if (!rows.empty() && columns > 0)
        emit dataChanged(index(0, 0), index(static_cast<int>(rows.size()) - 1, columns - 1));
}

void GridModel::setRecord(int row, size_t recordIndex)
{
    if (row < 0 || row >= static_cast<int>(rows.size()))
        return;
    Row &r = rows[static_cast<size_t>(row)];
    r.record = qint64(recordIndex);
    for (qsizetype c = 0; c < std::min(r.texts.size(), kRecordCells); ++c)
        r.texts[c].reset();
    notifyChanged(row, 0, int(kRecordCells) - 1);
}

bool GridModel::isHeader(int row) const
{
    return row == 0 || (row > 0 && row < static_cast<int>(rows.size()) && rows[size_t(row)].header);
}

void GridModel::markHeader(int row)
{
    if (row >= 0 && row < static_cast<int>(rows.size()))
        rows[size_t(row)].header = true;
}

const LogRecord *GridModel::record(int row) const
{
    if (!log || row < 0 || row >= static_cast<int>(rows.size()))
        return nullptr;
    const qint64 at = rows[static_cast<size_t>(row)].record;
    return at >= 0 && size_t(at) < log->size() ? &(*log)[size_t(at)] : nullptr;
}

std::optional<RecordClock> GridModel::clock(int row) const
{
    const LogRecord *shown = record(row);
    if (shown && !text(row, kDateColumn) && !text(row, kTimeColumn))
        return shown->clock;
    RecordClock read;
    if (!parseRecordClock(toDevice(cell(row, kDateColumn)), toDevice(cell(row, kTimeColumn)), read))
        return std::nullopt;
    return read;
}

const std::optional<QString> *GridModel::text(int row, int column) const
{
    if (row < 0 || column < 0 || row >= static_cast<int>(rows.size()))
        return nullptr;
    const Row &r = rows[static_cast<size_t>(row)];
    return column < r.texts.size() && r.texts[column] ? &r.texts[column] : nullptr;
}

QString GridModel::cell(int row, int column) const
{
    if (const std::optional<QString> *written = text(row, column))
        return **written;
    const LogRecord *shown = record(row);
    if (!shown || column < 0 || column >= kRecordCells)
        return {};
    switch (column) {
    case kNumberColumn:
        return QString::number(shown->recordNo);
    case kDateColumn:
        return fromDevice(shown->dateText);
    case kTimeColumn:
        return fromDevice(shown->timeText);
    default:
        return formatGeneral(shown->values[size_t(column - kFirstValueColumn)]);
    }
}

double GridModel::number(int row, int column) const
{
    if (!text(row, column)) {
        const LogRecord *shown = record(row);
        if (shown && column >= kFirstValueColumn && column < kRecordCells)
            return shown->values[size_t(column - kFirstValueColumn)];
    }
    const QString text = cell(row, column);
    if (text.isEmpty())
        return NAN;
    bool ok = false;
    const double value = QLocale().toDouble(text, &ok);
    if (ok)
        return value;
    const double c = QLocale::c().toDouble(text, &ok);
    return ok ? c : NAN;
}

void GridModel::setCell(int row, int column, const QString &text)
{
    Row *r = rowFor(row, column, 1);
    if (!r)
        return;
    r->texts[column] = text;
    notifyChanged(row, column, column);
}

GridModel::Row *GridModel::rowFor(int row, int first, qsizetype count)
{
    if (row < 0 || first < 0 || row >= static_cast<int>(rows.size()) || count == 0)
        return nullptr;
    Row &r = rows[static_cast<size_t>(row)];
    if (r.texts.size() < first + count)
        r.texts.resize(first + count);
    return &r;
}

void GridModel::setCells(int row, int first, const QVector<QString> &texts)
{
    Row *r = rowFor(row, first, texts.size());
    if (!r)
        return;
    std::copy(texts.begin(), texts.end(), r->texts.begin() + first);
    notifyChanged(row, first, first + int(texts.size()) - 1);
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

int GridModel::rowArea(int row) const
{
    const LogRecord *shown = record(row);
    return shown ? shown->area : -1;
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
        r = {};
    if (!rows.empty() && columns > 0) {
        emit dataChanged(index(0, 0), index(static_cast<int>(rows.size()) - 1, columns - 1));
        emit headerDataChanged(Qt::Horizontal, 0, columns - 1);
    }
}
