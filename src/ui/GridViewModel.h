#pragma once

#include "ui/GridModel.h"

#include <QAbstractTableModel>

// What the grid's view shows of the GridModel: the same rows and columns, the same cells. Live, it passes
// every change on at once. While batching (a download in progress) it collects the rows added and the
// cells changed and passes them on in one go at flush(): a view that reacts to every record would set
// the pace of the download.
class GridViewModel : public QAbstractTableModel
{
    Q_OBJECT

  public:
    explicit GridViewModel(GridModel *source, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void setBatching(bool batching);
    // Brings the view up to date with the source.
    void flush();

  private:
    void sourceRowsChanged();
    void sourceDataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight);
    void syncRows();

    GridModel *source;
    int rows;
    bool batching = false;
    int dirtyFirst = -1;
    int dirtyLast = -1;
};
