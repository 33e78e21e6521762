#include "ReportSettings.h"

#include <QObject>
#include <QSettings>

namespace
{
const char kProducerGroup[] = "producerInfoList";
const char kRecordGroup[] = "recordInfoList";
const QString kNone = QStringLiteral("None");

// The rows of one settings group and the labels that may stand on them.
struct HeaderGroup {
    const char* name;
    const QStringList& labels;
    int first;
    int last;
};

std::array<HeaderGroup, 2> groups()
{
    return {
        {{kProducerGroup, ReportSettings::producerInfoList(), 1, ReportSettings::kLastProducerRow},
         {kRecordGroup, ReportSettings::recordInfoList(), ReportSettings::kFirstRecordRow,
          ReportSettings::kLastRecordRow}}};
}
} // namespace

const QStringList& ReportSettings::producerInfoList()
{
    static const QStringList list = {
        "None",      "Project:",  "Producer:",       "Director:", "Job:",   "Date:",
        "Location:", "Folder:",   "Sound Mixer:",    "Phone:",    "Email:", "Client:",
        "Boom Op:",  "Prod. Co:", "Prod. Co. Tel#:", "Comments:"};
    return list;
}

const QStringList& ReportSettings::recordInfoList()
{
    static const QStringList list = {
        "None",         "Roll:",       "Recorder:",  "Media:",   "File Type:",
        "Sample Rate:", "Frame Rate:", "Bit Depth:", "Tone/dB:", "Mics:"};
    return list;
}

const QStringList& ReportSettings::reportInfoList()
{
    static const QStringList list = {"File Name",   "Channels",   "Tape",      "Scene",  "Take",
                                     "Sample Rate", "Frame Rate", "Bit Depth", "Length", "Start TC",
                                     "End TC",      "Wild",       "Circled",   "User",   "Notes"};
    return list;
}

bool ReportSettings::isHeaderRow(int row)
{
    return isProducerRow(row) || (row >= kFirstRecordRow && row <= kLastRecordRow);
}

QString ReportSettings::columnLimitMessage()
{
    return QObject::tr("Maximum number of columns to be included in Reports reached.");
}

ReportSettings::ReportSettings()
{
    for (int c : {FileName, Channels, Scene, Take, StartTC, Length})
        m_columns[size_t(c)] = true;
    setDefaultHeader();
}

QStringList ReportSettings::headerPairs() const
{
    QStringList pairs;
    for (int r = 1; r <= kLastRecordRow; ++r) {
        if (isHeaderRow(r) && m_rows[size_t(r)].field != kNone)
            pairs << m_rows[size_t(r)].field << m_rows[size_t(r)].text;
    }
    return pairs;
}

void ReportSettings::clearHeader()
{
    m_rows.fill(HeaderRow());
}

void ReportSettings::setDefaultHeader()
{
    clearHeader();
    const char* producer[] = {"Project:", "Sound Mixer:", "Director:", "Date:",
                              "Phone:",   "Producer:",    "Location:", "Email:"};
    for (int i = 0; i < 8; ++i)
        m_rows[size_t(i + 1)].field = QString::fromLatin1(producer[i]);
    const char* record[] = {
        "Roll:", "File Type:", "Bit Depth:", "Media:", "Frame Rate:", "Sample Rate:", "Tone/dB:"};
    for (int i = 0; i < 7; ++i)
        m_rows[size_t(kFirstRecordRow + i)].field = QString::fromLatin1(record[i]);
}

void ReportSettings::loadHeader(QSettings& settings)
{
    for (const HeaderGroup& g : groups()) {
        settings.beginGroup(QLatin1String(g.name));
        const QStringList keys = settings.childKeys();
        if (keys.isEmpty()) {
            // Defaults for this group's rows only.
            const ReportSettings defaults;
            for (int r = g.first; r <= g.last; ++r)
                m_rows[size_t(r)] = defaults.m_rows[size_t(r)];
        } else {
            for (int r = g.first; r <= g.last; ++r)
                m_rows[size_t(r)] = HeaderRow();
            // A field is placed when its label was saved, whatever its text:
            // a header laid out but not yet filled in keeps its layout.
            for (int i = 1; i < g.labels.size(); ++i) {
                const QString& label = g.labels.at(i);
                if (!settings.contains(label))
                    continue;
                bool ok = false;
                const int r = settings.value(label + QLatin1String("Index"), i).toInt(&ok);
                if (!ok || r < g.first || r > g.last)
                    continue;
                m_rows[size_t(r)] = {label, settings.value(label).toString()};
            }
        }
        settings.endGroup();
    }
}

void ReportSettings::saveHeader(QSettings& settings) const
{
    for (const HeaderGroup& g : groups()) {
        settings.beginGroup(QLatin1String(g.name));
        settings.remove(QString());
        for (int r = g.first; r <= g.last; ++r) {
            const HeaderRow& h = m_rows[size_t(r)];
            if (h.field == kNone || !g.labels.contains(h.field))
                continue;
            settings.setValue(h.field, h.text);
            settings.setValue(h.field + QLatin1String("Index"), r);
        }
        settings.endGroup();
    }
}

int ReportSettings::shownColumns() const
{
    int n = 0;
    for (bool on : m_columns)
        n += on ? 1 : 0;
    return n;
}

bool ReportSettings::isValidColumnNumber(int widestTake) const
{
    return format == Csv || shownColumns() + trackColumns(widestTake) < kColumnLimit;
}

bool ReportSettings::setColumn(int c, bool on, int widestTake)
{
    if (c < 0 || c >= ColumnCount)
        return true;
    m_columns[size_t(c)] = on;
    if (!on)
        return true;
    if (!isValidColumnNumber(widestTake)) {
        m_columns[size_t(c)] = false;
        return false;
    }
    if (c == Notes)
        notesRows = false;
    return true;
}

void ReportSettings::setNotesRows(bool on)
{
    notesRows = on;
    if (on)
        m_columns[Notes] = false;
}

bool ReportSettings::setTrackNames(bool on, int widestTake)
{
    trackNames = on;
    if (!isValidColumnNumber(widestTake)) {
        trackNames = false;
        return false;
    }
    if (on)
        trackNamesRows = false;
    return true;
}

void ReportSettings::setTrackNamesRows(bool on)
{
    trackNamesRows = on;
    if (on)
        trackNames = false;
}

bool ReportSettings::setFormat(Format f, int widestTake)
{
    format = f;
    if (isValidColumnNumber(widestTake))
        return true;
    for (int c = 0; c < ColumnCount; ++c) {
        if (c != Notes)
            m_columns[size_t(c)] = false;
    }
    for (int c : {FileName, Channels, Tape, Scene, StartTC, Length})
        m_columns[size_t(c)] = true;
    if (!isValidColumnNumber(widestTake))
        trackNames = false;
    return false;
}
