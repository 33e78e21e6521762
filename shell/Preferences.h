#pragma once

#include <QString>

class QSettings;

// The three user preferences of the Preferences dialog, kept in the settings
// group "Preferences" as check states (0 unchecked, 2 checked). QtCore only,
// so that any window or library can read them.
//
// Readers:
//   - playback start: Preferences::load().showTransportOnPlay and
//     .showMixerOnPlay say whether the transport window and the mixer are
//     shown when a take starts playing;
//   - the recorder's live take list: .liveTakeCount() (10 or 3), read again on
//     the main window's preferencesUpdated().
// Any stored value other than 2 reads as unchecked, a missing key as its
// default; the readers above must not interpret the raw values themselves.
struct Preferences {
    bool showTransportOnPlay = true;
    bool showMixerOnPlay = true;
    bool showControlModeAllTakes = false; // shown as "Show Last 10 Takes"

    // The settings group and keys.
    static const char* group() { return "Preferences"; }
    static const char* showTransportKey() { return "showTransportOnPlay"; }
    static const char* showMixerKey() { return "showMixerOnPlay"; }
    static const char* showAllTakesKey() { return "showControlModeAllTakes"; }

    // Reads the preferences from settings (or from the application's
    // settings store); keys the store lacks keep their defaults.
    static Preferences load(QSettings& settings);
    static Preferences load();

    // Writes all three as check states. Returns false when the store could
    // not be written (QSettings::status() after a sync).
    bool save(QSettings& settings) const;
    bool save() const;

    // How many takes the live take list shows: 10 with "Show Last 10 Takes",
    // else 3.
    int liveTakeCount() const { return showControlModeAllTakes ? 10 : 3; }

    bool operator==(const Preferences& other) const
    {
        return showTransportOnPlay == other.showTransportOnPlay &&
               showMixerOnPlay == other.showMixerOnPlay &&
               showControlModeAllTakes == other.showControlModeAllTakes;
    }
};
