#include "AudioFileModel.h"

#include "AudioFile.h"
#include "TakeColumns.h"

const QStringList& AudioFileModel::headersList = TakeColumns::headersList();
const QStringList& AudioFileModel::defaultList = TakeColumns::defaultList();
const QStringList& AudioFileModel::trackHeadersList = TakeColumns::trackHeadersList();
const QStringList& AudioFileModel::syncPointsHeadersList = TakeColumns::syncPointsHeadersList();
const QStringList& AudioFileModel::historyHeadersList = TakeColumns::historyHeadersList();
const QStringList& AudioFileModel::fileSetHeadersList = TakeColumns::fileSetHeadersList();

namespace
{
constexpr int kNameColumn = TakeColumns::FileName;
constexpr int kLabelColumn = TakeColumns::Channels;
constexpr int kPathColumn = TakeColumns::Path;
constexpr int kTrackChannelField = 0;
constexpr int kTrackNameField = 2;
constexpr int kTrackFunctionField = 3;

// Every record has exactly width fields.
bool recordsOfWidth(const QList<QStringList>& records, int width)
{
    for (const QStringList& r : records) {
        if (r.size() != width)
            return false;
    }
    return true;
}

// Appends text case-folded. Plain ASCII folds to its lower case, which is
// what the Unicode tables give for it, without a look-up per character.
void appendFolded(QString& out, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            out += text.toCaseFolded();
            return;
        }
    }
    const qsizetype at = out.size();
    out += text;
    char16_t* d = reinterpret_cast<char16_t*>(out.data()) + at;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (d[i] >= u'A' && d[i] <= u'Z')
            d[i] = char16_t(d[i] + (u'a' - u'A'));
    }
}
} // namespace

AudioFileModel::AudioFileModel(QObject* parent) : QAbstractTableModel(parent) {}

int AudioFileModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int AudioFileModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(headersList.size());
}

QVariant AudioFileModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !validRow(index.row()))
        return QVariant();
    const QStringList& cells = m_rows.at(index.row());
    if (role == Qt::DisplayRole) {
        if (index.column() < 0 || index.column() >= cells.size())
            return QVariant();
        return cells.at(index.column());
    }
    if (role == DamageRole)
        return m_damageTable.at(index.row());
    if (role == Qt::ToolTipRole) {
        const QString& damage = m_damageTable.at(index.row());
        return index.column() == kNameColumn && !damage.isEmpty() ? damage
                                                                  : cells.value(kPathColumn);
    }
    return QVariant();
}

QVariant AudioFileModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    if (section < 0 || section >= headersList.size())
        return QVariant();
    return headersList.at(section);
}

Qt::ItemFlags AudioFileModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

bool AudioFileModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || !value.isValid() || !validRow(index.row()) ||
        index.column() >= columnCount())
        return false;
    const int row = index.row();
    if (value.metaType().id() == QMetaType::QStringList) {
        // A row always has one cell per column: a list of another length
        // would leave cells that views and the path lookup cannot find.
        const QStringList cells = value.toStringList();
        if (cells.size() != columnCount())
            return false;
        dropKey(rowKey(row));
        m_rows[row] = cells;
        addKey(rowKey(row));
        // The whole row changed, not only the cell the index names.
        emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
        return true;
    }
    const bool keyCell = index.column() == kNameColumn || index.column() == kLabelColumn;
    if (keyCell)
        dropKey(rowKey(row));
    m_rows[row][index.column()] = value.toString();
    if (keyCell)
        addKey(rowKey(row));
    emit dataChanged(index, index);
    return true;
}

bool AudioFileModel::insertRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || row > m_rows.size() || count < 1)
        return false;
    beginInsertRows(QModelIndex(), row, row + count - 1);
    for (int i = 0; i < count; ++i) {
        m_rows.insert(row, defaultList);
        m_trackTable.insert(row, QList<QStringList>());
        m_syncPointTable.insert(row, QList<QStringList>());
        m_fileSetTable.insert(row, QStringList());
        m_historyTable.insert(row, QStringList());
        m_damageTable.insert(row, QString());
        addKey(rowKey(row));
    }
    endInsertRows();
    return true;
}

bool AudioFileModel::insertRow(int row, const QModelIndex& parent, const QStringList& values)
{
    if (values.size() > defaultList.size())
        return false;
    if (!insertRows(row, 1, parent))
        return false;
    QStringList cells = values;
    for (int c = int(values.size()); c < defaultList.size(); ++c)
        cells.append(defaultList.at(c));
    dropKey(rowKey(row));
    m_rows[row] = cells;
    addKey(rowKey(row));
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    return true;
}

bool AudioFileModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count < 1 || row + count > m_rows.size())
        return false;
    beginRemoveRows(QModelIndex(), row, row + count - 1);
    for (int i = 0; i < count; ++i) {
        dropKey(rowKey(row));
        m_rows.removeAt(row);
        m_trackTable.removeAt(row);
        m_syncPointTable.removeAt(row);
        m_fileSetTable.removeAt(row);
        m_historyTable.removeAt(row);
        m_damageTable.removeAt(row);
    }
    endRemoveRows();
    return true;
}

void AudioFileModel::setTrackInfo(int row, const QList<QStringList>& tracks)
{
    if (!validRow(row) || tracks.isEmpty() || !recordsOfWidth(tracks, trackHeadersList.size()))
        return;
    m_trackTable[row] = tracks;
}

void AudioFileModel::setSyncPointInfo(int row, const QList<QStringList>& points)
{
    if (!validRow(row) || points.isEmpty() || !recordsOfWidth(points, syncPointsHeadersList.size()))
        return;
    m_syncPointTable[row] = points;
}

void AudioFileModel::setFileSetInfo(int row, const QStringList& values)
{
    if (!validRow(row) || values.isEmpty() || values.size() != fileSetHeadersList.size())
        return;
    m_fileSetTable[row] = values;
}

void AudioFileModel::setHistoryInfo(int row, const QStringList& values)
{
    if (!validRow(row) || values.isEmpty() || values.size() != historyHeadersList.size())
        return;
    m_historyTable[row] = values;
}

void AudioFileModel::setDamage(int row, const QString& damage)
{
    if (!validRow(row) || m_damageTable.at(row) == damage)
        return;
    m_damageTable[row] = damage;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

QString AudioFileModel::damage(int row) const
{
    return validRow(row) ? m_damageTable.at(row) : QString();
}

const QList<QStringList>& AudioFileModel::trackInfo(int row) const
{
    return validRow(row) ? m_trackTable.at(row) : m_emptyTrackList;
}

const QList<QStringList>& AudioFileModel::syncPointInfo(int row) const
{
    return validRow(row) ? m_syncPointTable.at(row) : m_emptyTrackList;
}

const QStringList& AudioFileModel::fileSetInfo(int row) const
{
    return validRow(row) ? m_fileSetTable.at(row) : m_emptyStringList;
}

const QStringList& AudioFileModel::historyInfo(int row) const
{
    return validRow(row) ? m_historyTable.at(row) : m_emptyStringList;
}

void AudioFileModel::changeTrackField(int row, int channel, int field, const QString& value)
{
    if (!validRow(row))
        return;
    QList<QStringList> tracks = m_trackTable.at(row);
    for (QStringList& t : tracks) {
        bool ok = false;
        // A "Channel" that is not a number matches no channel (not channel 0).
        if (t.value(kTrackChannelField).toInt(&ok, 10) == channel && ok) {
            t[field] = value;
            break;
        }
    }
    setTrackInfo(row, tracks);
}

void AudioFileModel::setTrackName(int row, int channel, const QString& name)
{
    changeTrackField(row, channel, kTrackNameField, name);
}

void AudioFileModel::setTrackFunction(int row, int channel, const QString& function)
{
    changeTrackField(row, channel, kTrackFunctionField, function);
}

QString AudioFileModel::takeKey(const QString& name, const QString& label)
{
    // Case folding is what a case-insensitive comparison compares.
    QString key;
    key.reserve(name.size() + 1 + label.size());
    appendFolded(key, name);
    key += QChar(0);
    appendFolded(key, label);
    return key;
}

QString AudioFileModel::rowKey(int row) const
{
    const QStringList& cells = m_rows.at(row);
    return takeKey(cells.value(kNameColumn), cells.value(kLabelColumn));
}

void AudioFileModel::addKey(const QString& key)
{
    ++m_takeKeys[key];
}

void AudioFileModel::dropKey(const QString& key)
{
    auto it = m_takeKeys.find(key);
    if (it == m_takeKeys.end())
        return;
    if (--it.value() <= 0)
        m_takeKeys.erase(it);
}

bool AudioFileModel::isValidToAdd(const QString& name, const QString& label) const
{
    return !m_takeKeys.contains(takeKey(name, label));
}

QList<QStringList> AudioFileModel::getTracks(const QStringList& files)
{
    QList<QStringList> tracks;
    for (const QString& path : files) {
        AudioFile file;
        if (file.Open(path))
            tracks.append(file.GetTracksInfo());
    }
    return tracks;
}
