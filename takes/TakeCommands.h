#pragma once

#include <QHash>
#include <QObject>

// The commands a window offers on its take list and the enabling of their
// controls. A control is on when the window wants it on (a take is listed,
// nothing plays, one take is selected...) and its command is available:
// commands implemented elsewhere (playback, reports, split/combine) stay
// off until whoever provides them declares them, so that no control
// pretends to work. QtCore only; GUI thread.
class TakeCommands : public QObject
{
    Q_OBJECT

public:
    enum class Command {
        Save,
        Rename,
        CopyTo,
        RateChange,   // the sample-rate and frame-rate boxes
        EditTimecode, // the timecode editor
        Play,         // Play, Stop and double click
        Reports,
        SplitCombine,
        Remove, // Clear and Delete
    };
    enum class Control {
        Save,
        Rename,
        CopyTo,
        RateBoxes,
        EditTimecode,
        Play,
        Stop,
        Reports,
        SplitCombine,
        Clear,
        Delete
    };

    explicit TakeCommands(QObject* parent = nullptr);

    static Command commandOf(Control control);

    // Save, rename, copy, rate changes, the timecode editor, clear and delete
    // are available
    // from the start; the others are not.
    void setAvailable(Command command, bool available);
    bool isAvailable(Command command) const { return m_available.value(command, false); }
    // Save and the rate boxes are wanted from the start; the others are not.
    void setWanted(Control control, bool wanted);
    bool isEnabled(Control control) const;
    // With takes listed every whole-take control is wanted (Clear, Delete,
    // Rename, Copy, Play, Reports, Split/Combine); without, none is.
    void setTakesListed(bool listed);
    // The take shown plays: Rename, Clear and Delete are locked until it
    // stops, or until another take is shown; unlocking wants them again.
    void setPlaybackLocked(bool locked);

signals:
    // After every change of a control's wanted state or of its command's
    // availability, with what the control is now.
    void enabledChanged(TakeCommands::Control control, bool enabled);

private:
    QHash<Command, bool> m_available;
    QHash<Control, bool> m_wanted;
};
