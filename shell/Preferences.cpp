#include "Preferences.h"

#include <QSettings>

namespace
{
constexpr int kUnchecked = 0; // Qt::Unchecked, without QtGui
constexpr int kChecked = 2;   // Qt::Checked

bool readState(const QSettings& settings, const char* key, bool fallback)
{
    const QVariant value = settings.value(QLatin1String(key));
    if (!value.isValid())
        return fallback;
    bool ok = false;
    const int state = value.toInt(&ok);
    return ok ? state == kChecked : fallback;
}
} // namespace

Preferences Preferences::load(QSettings& settings)
{
    Preferences prefs;
    settings.beginGroup(QLatin1String(group()));
    prefs.showTransportOnPlay = readState(settings, showTransportKey(), prefs.showTransportOnPlay);
    prefs.showMixerOnPlay = readState(settings, showMixerKey(), prefs.showMixerOnPlay);
    prefs.showControlModeAllTakes =
        readState(settings, showAllTakesKey(), prefs.showControlModeAllTakes);
    settings.endGroup();
    return prefs;
}

Preferences Preferences::load()
{
    QSettings settings;
    return load(settings);
}

bool Preferences::save(QSettings& settings) const
{
    settings.beginGroup(QLatin1String(group()));
    settings.setValue(QLatin1String(showTransportKey()),
                      showTransportOnPlay ? kChecked : kUnchecked);
    settings.setValue(QLatin1String(showMixerKey()), showMixerOnPlay ? kChecked : kUnchecked);
    settings.setValue(QLatin1String(showAllTakesKey()),
                      showControlModeAllTakes ? kChecked : kUnchecked);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

bool Preferences::save() const
{
    QSettings settings;
    return save(settings);
}
