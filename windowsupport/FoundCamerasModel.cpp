#include "windowsupport/FoundCamerasModel.h"

#include "windowsupport/FormSupport.h"
#include "protocol/ShownText.h"

#include <QHostAddress>
#include <QSet>

using namespace qzr;
using namespace qzr::discovery;

namespace {
// The columns, as the command line prints them.
const QStringList kColumns{QStringLiteral("Address"), QStringLiteral("Port"), QStringLiteral("Model"),
                           QStringLiteral("Firmware"), QStringLiteral("MAC"), QStringLiteral("Found by"),
                           QStringLiteral("Flags")};
// Whether a row would show the same texts: the common case of a refresh,
// decided without formatting anything.
bool sameShown(const FoundCamera &a, const FoundCamera &b)
{
    return a.address == b.address && a.port == b.port && a.model() == b.model()
        && a.identity.firmware == b.identity.firmware && a.identity.mac == b.identity.mac && a.foundBy == b.foundBy
        && a.flags == b.flags && a.otherSubnetInterface == b.otherSubnetInterface
        && a.suggestedCommand == b.suggestedCommand && a.endpoint == b.endpoint;
}
// Model, firmware or MAC were read (with or without a login).
bool identityRead(const Identity &identity)
{
    return identity.done && !identity.loginNeeded && identity.error.isEmpty()
        && !(identity.model.isEmpty() && identity.firmware.isEmpty() && identity.mac.isEmpty());
}

QString readKey(const FoundCamera &camera)
{
    return camera.readHost() + QLatin1Char('|') + QString::number(camera.port);
}
} // namespace

FoundCamerasModel::FoundCamerasModel(QObject *parent) : QAbstractTableModel(parent) {}

int FoundCamerasModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FoundCamerasModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(kColumns.size());
}

QVariant FoundCamerasModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole: return row.cells.value(index.column());
    case Qt::ToolTipRole: return row.toolTip;
    case SortKeyRole: return row.sortKey;
    default: return {};
    }
}

QVariant FoundCamerasModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return kColumns.value(section);
    return {};
}

FoundCamerasModel::Row FoundCamerasModel::makeRow(const FoundCamera &camera)
{
    Row row;
    row.camera = camera;
    for (const QString &cell : {camera.address, QString::number(camera.port), camera.model(), camera.identity.firmware,
                                camera.identity.mac, foundByText(camera.foundBy), flagsText(camera)})
        row.cells << shownText(cell);
    row.toolTip = plainToolTip(flagsExplanation(camera));
    QHostAddress address;
    const bool ipv4 = address.setAddress(camera.address) && address.protocol() == QAbstractSocket::IPv4Protocol;
    row.sortKey = (ipv4 ? QStringLiteral("0%1").arg(address.toIPv4Address(), 8, 16, QLatin1Char('0'))
                        : QStringLiteral("1") + camera.address)
        + QStringLiteral("|%1|").arg(camera.port, 5, 10, QLatin1Char('0')) + camera.endpoint + QLatin1Char('|')
        + camera.sender;
    return row;
}

void FoundCamerasModel::update(const QList<FoundCamera> &cameras)
{
    QSet<QString> listed;
    listed.reserve(cameras.size());
    for (const FoundCamera &camera : cameras)
        listed.insert(camera.key);
    // Rows that left the list (a Bye, a merge), from the bottom up.
    bool removed = false;
    for (int row = int(m_rows.size()) - 1; row >= 0; --row) {
        if (listed.contains(m_rows.at(row).camera.key))
            continue;
        beginRemoveRows({}, row, row);
        m_rows.removeAt(row);
        endRemoveRows();
        removed = true;
    }
    if (removed)
        reindex();
    QList<Row> added;
    FoundCamera earlier;
    for (const FoundCamera &listed : cameras) {
        const FoundCamera *earlierShown = withEarlierRead(listed, earlier);
        const FoundCamera &camera = earlierShown ? *earlierShown : listed;
        const auto known = m_byKey.constFind(camera.key);
        if (known == m_byKey.constEnd()) {
            added << makeRow(camera);
            continue;
        }
        Row &row = m_rows[known.value()];
        if (sameShown(row.camera, camera)) {
            row.camera = camera;
            continue;
        }
        row = makeRow(camera);
        emit dataChanged(index(known.value(), 0), index(known.value(), columnCount() - 1));
    }
    if (added.isEmpty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(added.size()) - 1);
    for (Row &row : added) {
        m_byKey.insert(row.camera.key, int(m_rows.size()));
        m_rows.append(std::move(row));
    }
    endInsertRows();
}

void FoundCamerasModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_byKey.clear();
    endResetModel();
}

const FoundCamera *FoundCamerasModel::withEarlierRead(const FoundCamera &camera, FoundCamera &shown) const
{
    if (m_earlierReads.isEmpty() || identityRead(camera.identity))
        return nullptr;
    const auto read = m_earlierReads.constFind(readKey(camera));
    if (read == m_earlierReads.constEnd())
        return nullptr;
    shown = camera;
    shown.identity = read.value();
    // Why this search could not read it still counts; a login it asked for
    // was given before.
    shown.identity.error = camera.identity.error;
    shown.flags &= ~FlagLoginNeeded;
    return &shown;
}

void FoundCamerasModel::newSearch()
{
    for (const Row &row : std::as_const(m_rows)) {
        // Bounded: a few searches' worth of full lists.
        if (identityRead(row.camera.identity) && m_earlierReads.size() < 4 * kMaxListedCameras)
            m_earlierReads.insert(readKey(row.camera), row.camera.identity);
    }
    beginResetModel();
    m_rows.clear();
    m_byKey.clear();
    endResetModel();
}

void FoundCamerasModel::forgetEarlierReads(const QList<FoundCamera> &cameras)
{
    for (const FoundCamera &camera : cameras)
        m_earlierReads.remove(readKey(camera));
}

void FoundCamerasModel::reindex()
{
    m_byKey.clear();
    for (int row = 0; row < m_rows.size(); ++row)
        m_byKey.insert(m_rows.at(row).camera.key, row);
}
