#pragma once

#include "model/RecordLog.h"

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

#include <optional>
#include <vector>

// The result grid, a view of a RecordLog: row 0 is the header row, a record row shows a record of the
// log (its number, date, time and the decoded values from column 3 on, as text in the grid's number
// format). Texts written into cells (the header, the operator's edits) lie over what a record shows.
// Cells are kept independently of the column count, so narrowing the grid and widening it again shows
// the old texts again; rows beyond the row count are dropped.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

  public:
    explicit GridModel(int rows, int columns, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Horizontal header section c is cell (0, c), so a view can show row 0 frozen.
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The log the record rows show; it must outlive the model. Clear the cells before the log.
    void setLog(const RecordLog *log);
    // Row shows record `index` of the log; texts written over its record cells are dropped.
    void setRecord(int row, size_t index);
    // The record a row shows; none for the header, empty rows and rows past the log.
    const LogRecord *record(int row) const;
    // The record's clock; the date and time cells read as one where texts were written over them or the
    // row shows no record.
    std::optional<RecordClock> clock(int row) const;

    QString cell(int row, int column) const;
    // The cell as a number: a decoded value, or a text the operator typed that reads as one; NaN otherwise.
    double number(int row, int column) const;
    void setCell(int row, int column, const QString &text);
    // Writes cells (row, first), (row, first + 1), ... in one change notification.
    void setCells(int row, int first, const QVector<QString> &texts);
    // Row 0, or a row marked as the header of the records below it, up to the next such row: a grid of
    // records of several configurations.
    bool isHeader(int row) const;
    void markHeader(int row);
    // The log area (0..15) a record row was read from; -1 for rows that hold none.
    int rowArea(int row) const;

    void setRowCount(int rows);
    void setColumnCount(int columns);
    // Empties every cell of every row; the counts stay.
    void clearCells();

  private:
    struct Row {
        QVector<std::optional<QString>> texts; // written over the record, per column
        qint64 record = -1;                    // index in the log
        bool header = false;
    };

    Row *rowFor(int row, int first, qsizetype count);
    const std::optional<QString> *text(int row, int column) const;
    void notifyChanged(int row, int first, int last);

    const RecordLog *log = nullptr;
    std::vector<Row> rows;
    int columns;
};
