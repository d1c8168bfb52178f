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
    // Model, firmware and MAC read in an earlier search of this model are
    // shown for a camera (same read address and port) until a search reads
    // them again.
    void update(const QList<qzr::discovery::FoundCamera> &cameras);
    void clear();
    // Empties the table for a new search; what its rows read is kept for
    // the cameras the new search lists again.
    void newSearch();
    // The cameras whose details are read again now: what the read says is
    // shown, not what was read before.
    void forgetEarlierReads(const QList<qzr::discovery::FoundCamera> &cameras);
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
    // The camera as shown: the identity of an earlier search where this one
    // has read none. Null when it is shown as listed.
    const qzr::discovery::FoundCamera *withEarlierRead(const qzr::discovery::FoundCamera &camera,
                                                       qzr::discovery::FoundCamera &shown) const;

    QList<Row> m_rows;
    QHash<QString, int> m_byKey;
    QHash<QString, qzr::discovery::Identity> m_earlierReads; // by read address and port
};
