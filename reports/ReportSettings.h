#pragma once

#include <QString>
#include <QStringList>

#include <array>

class QSettings;

// Everything a sound report is made from: the header rows, the format, which
// takes to include, the columns and the extras; with the rules that keep the
// check boxes of the Report Manager consistent. A plain value: the window
// edits one, velmora-cli builds one from its options, the writers read it.
class ReportSettings
{
public:
    enum Format { Pdf = 0, Csv = 1 };

    // The report columns, in print order.
    enum Column {
        FileName = 0,
        Channels,
        Tape,
        Scene,
        Take,
        SampleRate,
        FrameRate,
        BitDepth,
        Length,
        StartTC,
        EndTC,
        Wild,
        Circled,
        User,
        Notes,
        ColumnCount
    };

    // Header rows 1..11 take producer fields, rows 13..20 recording fields;
    // there is no row 12. The row number is what the settings store.
    static constexpr int kLastProducerRow = 11;
    static constexpr int kFirstRecordRow = 13;
    static constexpr int kLastRecordRow = 20;
    // A PDF page holds fewer than this many columns (data plus track columns).
    static constexpr int kColumnLimit = 19;

    // Field labels; index 0 ("None") means no field.
    static const QStringList& producerInfoList();
    static const QStringList& recordInfoList();
    // The 15 column titles in Column order; each equals one take-list title.
    static const QStringList& reportInfoList();
    static bool isHeaderRow(int row);
    static bool isProducerRow(int row) { return row >= 1 && row <= kLastProducerRow; }

    struct HeaderRow {
        QString field = QStringLiteral("None");
        QString text;
    };

    // Initial states: the default header, PDF, circled and non-circled takes,
    // columns File Name, Channels, Scene, Take, Length and Start TC.
    ReportSettings();

    HeaderRow& row(int number) { return m_rows[size_t(number)]; }
    const HeaderRow& row(int number) const { return m_rows[size_t(number)]; }
    // Label, text, label, text ... of every row whose field is not "None",
    // rows 1..11 then 13..20.
    QStringList headerPairs() const;
    void setDefaultHeader();
    void clearHeader();

    // The header rows under the groups "producerInfoList" and
    // "recordInfoList": per used row the label with its text and
    // label + "Index" with the row number. A group without keys loads the
    // default rows; a field stored twice on one row: the later in its list wins.
    void loadHeader(QSettings& settings);
    void saveHeader(QSettings& settings) const;

    Format format = Pdf;
    bool includeCircled = true;
    bool includeNonCircled = true;
    bool includeWild = false;
    bool trackNames = false;     // one column per track
    bool notesRows = false;      // notes as a row under each take
    bool trackNamesRows = false; // track names as a row under each take

    bool column(int c) const { return m_columns[size_t(c)]; }
    int shownColumns() const;
    // Track columns the report gets when the widest take has widestTake tracks.
    int trackColumns(int widestTake) const { return trackNames ? widestTake : 0; }
    // CSV: always; PDF: while shown columns plus track columns stay below the limit.
    bool isValidColumnNumber(int widestTake) const;

    // The check-box rules. A setter returning false refused the change with
    // the column-limit message (columnLimitMessage) and left the box unchecked.
    bool setColumn(int c, bool on, int widestTake);
    void setNotesRows(bool on);
    bool setTrackNames(bool on, int widestTake);
    void setTrackNamesRows(bool on);
    // A format over the limit resets the columns to File Name, Channels,
    // Tape, Scene, Start TC and Length (Notes kept); when the track columns
    // alone still pass the limit, Track Names is unchecked too.
    bool setFormat(Format f, int widestTake);
    // Without the rules (velmora-cli checks the limit once, after all options).
    void setColumnDirect(int c, bool on) { m_columns[size_t(c)] = on; }

    static QString columnLimitMessage();

private:
    std::array<HeaderRow, kLastRecordRow + 1> m_rows;
    std::array<bool, ColumnCount> m_columns{};
};
