#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The take list: one row of 31 text cells per take (a polyphonic file, or
// the mono files of one take) and, beside each row, five side tables: its
// tracks, sync points, file set, history and damage (where the chunk sizes of
// its files disagree with the files, read at import; empty when they agree).
// A damaged take shows its damage as the tooltip of its file-name cell and
// through DamageRole, so that a view can mark it. Holds strings only, never
// AudioFile objects; column 30 holds the path of the file the take was
// imported through. Side-table entry i always belongs to row i.
// GUI thread only (a Qt model); QtCore only, so the CLI and reports use it too.
class AudioFileModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The tables shared with TakeColumns, so that every view of a take shows
    // the same columns.
    static const QStringList& headersList;           // the 31 column titles
    static const QStringList& defaultList;           // "0File Name" ... "30Path"
    static const QStringList& trackHeadersList;      // 4 fields per track
    static const QStringList& syncPointsHeadersList; // 5 fields per sync point
    static const QStringList& historyHeadersList;    // 3 fields
    static const QStringList& fileSetHeadersList;    // 4 fields

    enum Role {
        // The damage text of the row's take (any column); empty when none.
        DamageRole = Qt::UserRole + 1,
    };

    explicit AudioFileModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Edit role only. A QStringList value of 31 cells replaces the whole row;
    // any other valid value becomes the one cell's text.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Inserts count copies of defaultList at row, each with empty side tables.
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    using QAbstractTableModel::insertRow;
    // Inserts one row of values (at most 31; missing cells come from defaultList).
    bool insertRow(int row, const QModelIndex& parent, const QStringList& values);
    // Removes rows row .. row+count-1 and their side-table entries.
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

    // Side tables. A setter ignores a list of the wrong shape (see the header
    // lists) and a row that does not exist; a getter returns an empty list
    // for a row that does not exist.
    void setTrackInfo(int row, const QList<QStringList>& tracks);
    void setSyncPointInfo(int row, const QList<QStringList>& points);
    void setFileSetInfo(int row, const QStringList& values);
    void setHistoryInfo(int row, const QStringList& values);
    const QList<QStringList>& trackInfo(int row) const;
    const QList<QStringList>& syncPointInfo(int row) const;
    const QStringList& fileSetInfo(int row) const;
    const QStringList& historyInfo(int row) const;
    void setDamage(int row, const QString& damage);
    QString damage(int row) const;

    // Sets the "Name" (or "Function") of the first track of row whose
    // "Channel" is channel.
    void setTrackName(int row, int channel, const QString& name);
    void setTrackFunction(int row, int channel, const QString& function);

    // False when a row already has column 0 equal to name and column 2 equal
    // to label, both compared without regard to letter case.
    bool isValidToAdd(const QString& name, const QString& label) const;
    // What isValidToAdd compares: name and label, case-folded.
    static QString takeKey(const QString& name, const QString& label);

    // The tracks of files, in order, each file opened read-only; a file that
    // does not open adds nothing.
    static QList<QStringList> getTracks(const QStringList& files);

private:
    void changeTrackField(int row, int channel, int field, const QString& value);
    bool validRow(int row) const { return row >= 0 && row < m_rows.size(); }
    QString rowKey(int row) const;
    void addKey(const QString& key);
    void dropKey(const QString& key);

    QList<QStringList> m_rows;
    QList<QList<QStringList>> m_trackTable;
    QList<QList<QStringList>> m_syncPointTable;
    QList<QStringList> m_fileSetTable;
    QList<QStringList> m_historyTable;
    QStringList m_damageTable;
    const QList<QStringList> m_emptyTrackList;
    const QStringList m_emptyStringList;
    // Case-folded (column 0, column 2) of every row, with their counts, so
    // that isValidToAdd does not scan all rows for each take of an import.
    QHash<QString, int> m_takeKeys;
};
