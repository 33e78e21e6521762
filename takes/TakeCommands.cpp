#include "TakeCommands.h"

namespace
{
const TakeCommands::Control kControls[] = {
    TakeCommands::Control::Save,         TakeCommands::Control::Rename,
    TakeCommands::Control::CopyTo,       TakeCommands::Control::RateBoxes,
    TakeCommands::Control::EditTimecode, TakeCommands::Control::Play,
    TakeCommands::Control::Stop,         TakeCommands::Control::Reports,
    TakeCommands::Control::SplitCombine, TakeCommands::Control::Clear,
    TakeCommands::Control::Delete};
} // namespace

TakeCommands::TakeCommands(QObject* parent) : QObject(parent)
{
    for (Command c : {Command::Save, Command::Rename, Command::CopyTo, Command::RateChange,
                      Command::EditTimecode, Command::Remove})
        m_available.insert(c, true);
    m_wanted.insert(Control::Save, true);
    m_wanted.insert(Control::RateBoxes, true);
}

TakeCommands::Command TakeCommands::commandOf(Control control)
{
    switch (control) {
    case Control::Save:
        return Command::Save;
    case Control::Rename:
        return Command::Rename;
    case Control::CopyTo:
        return Command::CopyTo;
    case Control::RateBoxes:
        return Command::RateChange;
    case Control::EditTimecode:
        return Command::EditTimecode;
    case Control::Play:
    case Control::Stop:
        return Command::Play;
    case Control::Reports:
        return Command::Reports;
    case Control::Clear:
    case Control::Delete:
        return Command::Remove;
    case Control::SplitCombine:
        break;
    }
    return Command::SplitCombine;
}

void TakeCommands::setAvailable(Command command, bool available)
{
    m_available.insert(command, available);
    for (Control c : kControls) {
        if (commandOf(c) == command)
            emit enabledChanged(c, isEnabled(c));
    }
}

void TakeCommands::setWanted(Control control, bool wanted)
{
    m_wanted.insert(control, wanted);
    emit enabledChanged(control, isEnabled(control));
}

bool TakeCommands::isEnabled(Control control) const
{
    return m_wanted.value(control, false) && isAvailable(commandOf(control));
}

void TakeCommands::setTakesListed(bool listed)
{
    for (Control c : {Control::Clear, Control::Delete, Control::CopyTo, Control::Play,
                      Control::Rename, Control::Reports, Control::SplitCombine})
        setWanted(c, listed);
}

void TakeCommands::setPlaybackLocked(bool locked)
{
    for (Control c : {Control::Clear, Control::Delete, Control::Rename})
        setWanted(c, !locked);
}
