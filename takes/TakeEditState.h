#pragma once

#include "TakeEditFlags.h"
#include "TakeEdits.h"
#include "TakeSaver.h"

#include <QHash>
#include <QString>
#include <QStringList>

class AudioFile;
class TakeSession;

// The edits of the current take of a session, below the editor widget: an
// edit goes into the take list's row first and sets its field in the
// session's edited fields; a save turns the flagged fields of a row into
// TakeEdits; a revert writes the take file's own values back into the row;
// rate and timecode changes recompute the start, length and end (or the
// timestamp) of a row. Rows are model rows. The files are only read.
// QtCore only; GUI thread (it reads and writes the session's model).
class TakeEditState
{
public:
    explicit TakeEditState(TakeSession& session);

    QString cell(int row, int column) const;
    void setCell(int row, int column, const QString& value);

    // Sets the cell of the current take and marks field edited, unless the
    // cell has that text already. False without a current take or change.
    bool edit(int column, TakeField field, const QString& text);
    // True when any field is edited; sets (never clears) rateEdited for a
    // frame or sample rate edit and nameEdited for a scene or take edit.
    bool isEdited(bool& rateEdited, bool& nameEdited) const;

    // Writes the take file's own values back into row for every edited field
    // (the flags stay). False when the take's file does not open.
    bool restore(int row);
    // The edits of row as the flags select them: the take name only when
    // not multi; the tracks only when row has as many as the current take.
    TakeEdits editsForRow(int row, bool multi) const;
    // Copies the edited fields of the current take into row (a save of
    // several takes), recomputing row's times after a rate edit.
    void copyEditsTo(int row, bool preserveStartTC);
    // A row other than the current take with its scene and take, else -1.
    int duplicateOfCurrent() const;

    // The files of the take of row, in channel order; empty when its file
    // does not open.
    QStringList takeFiles(int row) const;
    // The files of the takes of rows, each once, in order; *takeOf (when
    // given) gets the row of each file.
    QStringList filesOf(const QList<int>& rows, QHash<QString, int>* takeOf = nullptr) const;
    // The jobs of a save of the takes of rows: each file with the edits of
    // its row; with multi the current take's edits are first copied into
    // the other rows (copyEditsTo). When the files of a take do not open,
    // nothing is returned, the copies go again and *unopened names the take.
    QVector<TakeSaver::Job> saveJobs(const QList<int>& rows, bool multi, bool preserveStartTC,
                                     QString* unopened, QHash<QString, int>* takeOf = nullptr);
    // The track table of the current take as the editor shows it (rows of
    // channel, interleave, name, function) takes the names and functions;
    // the tracks are edited. False without a current take.
    bool setTracks(const QList<QStringList>& tracks);
    // The "_updatebackup" files in the folder of the take of row.
    QStringList backupFiles(int row) const;

    // --- Rates and timecode of the current take ---
    // A sample rate typed or chosen: a positive decimal integer, else 0.
    static int parseRate(const QString& text);
    // False (nothing changed) when text is not a rate.
    bool setSampleRate(const QString& text, const QString& frameRate, const QString& startTC,
                       bool preserveStartTC);
    void setFrameRate(const QString& text, const QString& sampleRate, const QString& startTC,
                      bool preserveStartTC);
    // The start timecode tc (frame rate, sample rate) sets the timestamp;
    // false when it gives none. A drop-frame rate gets ";" before the frames.
    bool setStartTimecode(const QString& frameRate, int sampleRate, QString tc);
    // Recomputes row for frameRate and sampleRate: the timestamp stays and
    // the timecodes move, or (preserveStartTC) the start timecode stays and
    // the timestamp moves. file is the row's take.
    void retime(AudioFile& file, int row, const QString& frameRate, int sampleRate,
                const QString& startTC, bool preserveStartTC);

private:
    bool flagged(TakeField field) const;

    TakeSession& m_session;
};
