#pragma once
#include "discovery/FoundCameras.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

// The cameras of a search as a table: address, port, model, firmware, MAC,
// how found, flags, in plain text (camera text is never markup), with the
// flags' explanation as tooltip. update() changes only the rows that
// changed, so that a view repaints only those; rows keep the order they
// came in, and SortKeyRole gives the order by address.
class FoundCamerasModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The same text for every column of a row: IPv4 addresses by value,
    // before IPv6 and names, then port and endpoint.
    static constexpr int SortKeyRole = Qt::UserRole + 1;

    explicit FoundCamerasModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Takes the search's list: rows of cameras no longer listed go, new ones
    // are added at the end, changed ones are replaced.
    void update(const QList<qzr::discovery::FoundCamera> &cameras);
    void clear();
    const qzr::discovery::FoundCamera &camera(int row) const { return m_rows.at(row).camera; }

private:
    struct Row
    {
        qzr::discovery::FoundCamera camera;
        QStringList cells;     // as shown
        QString toolTip;
        QString sortKey;
    };
    static Row makeRow(const qzr::discovery::FoundCamera &camera);
    void reindex();

    QList<Row> m_rows;
    QHash<QString, int> m_byKey;
};
