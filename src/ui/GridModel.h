#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

#include <span>
#include <variant>
#include <vector>

// The result grid: a string grid whose row 0 is the header row. Cells are
// kept independently of the column count, so narrowing the grid and widening
// it again shows the old texts again; rows beyond the row count are dropped.
// Decoded values are kept as numbers and become text (formatGeneral) when
// read, which keeps a record's display cheap.
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

    QString cell(int row, int column) const;
    // The cell as a number: a decoded value, or a text the operator typed that reads as one; NaN otherwise.
    double number(int row, int column) const;
    void setCell(int row, int column, const QString &text);
    // Writes cells (row, first), (row, first + 1), ... in one change notification.
    void setCells(int row, int first, const QVector<QString> &texts);
    // Values from (row, first) on, shown in the grid's number format.
    void setValues(int row, int first, std::span<const double> values);

    // The log area (0..15) a record row was read from; -1 for rows that hold none.
    void setRowArea(int row, int area);
    int rowArea(int row) const;

    void setRowCount(int rows);
    void setColumnCount(int columns);
    // Empties every cell of every row; the counts stay.
    void clearCells();

  private:
    using Cell = std::variant<QString, double>;
    using Row = QVector<Cell>;

    Row *rowFor(int row, int first, qsizetype count);
    void notifyChanged(int row, int first, int last);

    std::vector<Row> rows;
    std::vector<qint8> areas; // per row
    int columns;
};
