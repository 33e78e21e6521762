#include "AudioFile.h"

#include "LogCategories.h"

#include <algorithm>
#include <cstring>

using namespace SoundDefs;

// Getter rules: "iXML first" takes the iXML field when the take has iXML data
// and the field is not empty, else the bext description entry; "bext first"
// the other way round; "iXML only" never looks at the description.

QString AudioFile::ixmlFirst(const QString& ixmlField, const char* key) const
{
    if (m_info.hasIxml && !ixmlField.isEmpty())
        return ixmlField;
    return descriptionValue(key);
}

QString AudioFile::bextFirst(const char* key, const QString& ixmlField) const
{
    const QString v = descriptionValue(key);
    if (!v.isEmpty())
        return v;
    return m_info.hasIxml ? ixmlField : QString();
}

QString AudioFile::ixmlOnly(const QString& ixmlField) const
{
    return m_info.hasIxml ? ixmlField : QString();
}

// Setter rule: the iXML field first, then complete the take, then the
// description entry (appended with the prefix when missing).
void AudioFile::setWithBext(QString AudioIxmlData::*field, const char* key, const QString& v)
{
    m_info.ixml.*field = v;
    UpdateFileInfo();
    if (m_info.hasBext)
        m_bext.SetValue(QLatin1String(key), v);
}

QString AudioFile::GetProjectName() const { return bextFirst("PROJECT", m_info.ixml.PROJECT); }

void AudioFile::SetProjectName(const QString& v)
{
    m_info.ixml.PROJECT = v;
    if (m_info.hasBext)
        m_bext.SetValue(QStringLiteral("PROJECT"), v);
    UpdateFileInfo();
}

QString AudioFile::GetSceneName() const { return ixmlFirst(m_info.ixml.SCENE, "SCENE"); }
void AudioFile::SetSceneName(const QString& v) { setWithBext(&AudioIxmlData::SCENE, "SCENE", v); }

QString AudioFile::GetTakeName() const
{
    const QString take = ixmlFirst(m_info.ixml.TAKE, "TAKE");
    bool ok = false;
    const int n = take.toInt(&ok);
    if (ok && n >= 1 && n <= 9)
        return QStringLiteral("0%1").arg(n);
    return take;
}
void AudioFile::SetTakeName(const QString& v) { setWithBext(&AudioIxmlData::TAKE, "TAKE", v); }

QString AudioFile::GetTapeName() const { return ixmlFirst(m_info.ixml.TAPE, "TAPE"); }
void AudioFile::SetTapeName(const QString& v) { setWithBext(&AudioIxmlData::TAPE, "TAPE", v); }

QString AudioFile::GetNotes() const
{
    QString notes = ixmlFirst(m_info.ixml.NOTE, "NOTE");
    notes.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return notes;
}
void AudioFile::SetNotes(const QString& v) { setWithBext(&AudioIxmlData::NOTE, "NOTE", v); }

QString AudioFile::GetUBITs() const { return bextFirst("UBITS", m_info.ixml.UBITS); }
void AudioFile::SetUBITs(const QString& v) { setWithBext(&AudioIxmlData::UBITS, "UBITS", v); }

QString AudioFile::GetFileName() const
{
    QString name = descriptionValue("FILENAME");
    name.remove(QLatin1Char('\n'));
    name.remove(QLatin1Char('\r'));
    return name;
}
void AudioFile::SetFileName(const QString& v)
{
    setWithBext(&AudioIxmlData::CURRENT_FILENAME, "FILENAME", v);
}

QString AudioFile::GetMasterSpeed() const
{
    QString v = descriptionValue("SPEED");
    if (v.isEmpty())
        v = descriptionValue("FRAMERATE");
    if (!v.isEmpty())
        return v;
    return ixmlOnly(m_info.ixml.MASTER_SPEED);
}

QString AudioFile::GetSpeedNote() const { return ixmlOnly(m_info.ixml.SPEED_NOTE); }
QString AudioFile::GetCurrentSpeed() const { return ixmlOnly(m_info.ixml.CURRENT_SPEED); }
QString AudioFile::GetDigitizerSampleRate() const
{
    return ixmlOnly(m_info.ixml.DIGITIZER_SAMPLE_RATE);
}
QString AudioFile::GetTimeStampSampleRate() const
{
    return ixmlOnly(m_info.ixml.TIMESTAMP_SAMPLE_RATE);
}
void AudioFile::SetTimeStampSampleRate(const QString& v)
{
    m_info.ixml.TIMESTAMP_SAMPLE_RATE = v;
    UpdateFileInfo();
}
QString AudioFile::GetUserInfo() const { return ixmlOnly(m_info.ixml.USER); }
void AudioFile::SetUserInfo(const QString& v)
{
    m_info.ixml.USER = v;
    UpdateFileInfo();
}
QString AudioFile::GetFileUID() const { return ixmlOnly(m_info.ixml.FILE_UID); }
QString AudioFile::GetVersion() const { return descriptionValue("SWVER"); }

namespace {
QString headerText(const char* field, int width)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(width))));
}
void setHeaderText(char* field, int width, const QString& v)
{
    std::memset(field, 0, size_t(width));
    const QByteArray bytes = v.toLatin1().left(width - 1);
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
}
} // namespace

QString AudioFile::GetOriginatorName() const
{
    return m_info.hasBext ? headerText(m_info.bextHeader.Originator, 31) : QString();
}

void AudioFile::SetOriginatorName(const QString& v)
{
    m_info.ixml.BWF_ORIGINATOR = v;
    UpdateFileInfo();
    setHeaderText(m_info.bextHeader.Originator, 32, v);
}

QString AudioFile::GetOriginatorReference() const
{
    return m_info.hasBext ? headerText(m_info.bextHeader.OriginatorReference, 31) : QString();
}

void AudioFile::SetOriginatorReference(const QString& v)
{
    // Completing the take first: a bext header created afterwards would
    // replace the reference just set with a generated one.
    UpdateFileInfo();
    setHeaderText(m_info.bextHeader.OriginatorReference, 32, v);
    m_info.ixml.BWF_ORIGINATOR_REFERENCE = v;
}

QString AudioFile::GetOriginatorDate() const
{
    return m_info.hasBext ? headerText(m_info.bextHeader.OriginationDate, 10) : QString();
}

QString AudioFile::GetOriginatorTime() const
{
    return m_info.hasBext ? headerText(m_info.bextHeader.OriginationTime, 8) : QString();
}

QString AudioFile::GetCircled() const
{
    return m_info.hasIxml && m_info.ixml.CIRCLED == QLatin1String("TRUE") ? QStringLiteral("Y")
                                                                           : QStringLiteral(" ");
}

void AudioFile::SetCircled(const QString& v)
{
    const QString flag = v == QLatin1String("Y") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    m_info.ixml.CIRCLED = flag;
    if (m_info.hasBext)
        m_bext.SetValue(QStringLiteral("CIRCLED"), flag);
    UpdateFileInfo();
}

QString AudioFile::GetWild()
{
    if (m_info.hasIxml && !m_info.ixml.WILD_TRACK.isEmpty())
        return m_info.ixml.WILD_TRACK == QLatin1String("TRUE") ? QStringLiteral("Y")
                                                               : QStringLiteral(" ");
    const QString take = m_info.hasIxml ? m_info.ixml.TAKE : descriptionValue("TAKE");
    const bool wild = take.contains(QLatin1Char('w'), Qt::CaseInsensitive);
    m_info.ixml.WILD_TRACK = wild ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    return wild ? QStringLiteral("Y") : QStringLiteral(" ");
}

void AudioFile::SetWild(const QString& v)
{
    m_info.ixml.WILD_TRACK = v == QLatin1String("Y") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    UpdateFileInfo();
}

void AudioFile::SetSampleRate(const QString& rate)
{
    // A rate that is not a positive number would leave a take no reader can
    // open; it is ignored.
    bool ok = false;
    const uint v = rate.toUInt(&ok);
    if (!ok || v == 0)
        return;
    m_info.sampleRate = v;
    UpdateFileInfo();
}

QList<QStringList> AudioFile::GetTracksInfo() const
{
    QList<QStringList> rows;
    for (const AudioChannelInfo& ch : m_info.channelList)
        rows << QStringList{QString::number(ch.channelIndex), QString::number(ch.interleaveIndex),
                            ch.name, ch.function};
    if (rows.isEmpty())
        rows << QStringList{QString(), QString(), QString(), QString()};
    return rows;
}

void AudioFile::SetTracksInfo(const QList<QStringList>& rows)
{
    for (int i = 0; i < rows.size() && i < m_info.channelList.size(); ++i) {
        const QStringList& row = rows.at(i);
        if (row.size() != 4)
            continue;
        AudioChannelInfo& ch = m_info.channelList[i];
        ch.name = row.at(2);
        ch.function = row.at(3);
        const char* fn = "void AudioFile::SetTracksInfo(QList<QStringList>)";
        qCDebug(lcCore) << fn << "ch number:" << ch.channelIndex;
        qCDebug(lcCore) << fn << "ch name:" << ch.name;
        qCDebug(lcCore) << fn << "ch function:" << ch.function;
    }
    if (m_info.hasBext) {
        m_bext.DeleteEntry("TRK", true);
        const int tracks = std::min<int>(m_info.channelList.size(), kMaxBextTrackEntries);
        for (int i = 0; i < tracks; ++i)
            m_bext.SetValue(QStringLiteral("TRK%1").arg(i + 1), m_info.channelList.at(i).name);
    }
    UpdateFileInfo();
}

int AudioFile::GetChanelIndex() const
{
    return m_info.channelList.isEmpty() ? 0 : m_info.channelList.first().channelIndex;
}

QList<QStringList> AudioFile::GetSyncPointsInfo() const
{
    QList<QStringList> rows;
    if (m_info.hasIxml && m_info.ixml.syncPointCount >= 1) {
        const int n = std::min<int>(m_info.ixml.syncPointCount, m_info.ixml.syncPoints.size());
        for (int i = 0; i < n; ++i) {
            const AudioSyncPoint& p = m_info.ixml.syncPoints.at(i);
            rows << QStringList{p.type, p.function, p.eventDurationCopy, GetSyncPointTC(i),
                                GetSyncPointDuration(i)};
        }
    }
    if (rows.isEmpty())
        rows << QStringList{QString(), QString(), QString(), QString(), QString()};
    return rows;
}

QStringList AudioFile::GetHistoryInfo() const
{
    if (!m_info.hasIxml)
        return QStringList{QString(), QString(), QString()};
    return QStringList{m_info.ixml.ORIGINAL_FILENAME, m_info.ixml.PARENT_FILENAME,
                       m_info.ixml.PARENT_UID};
}

QStringList AudioFile::GetFileSetInfo() const
{
    if (!m_info.hasIxml)
        return QStringList{QString(), QString(), QString(), QString()};
    return QStringList{m_info.ixml.TOTAL_FILES, m_info.ixml.FAMILY_UID, m_info.ixml.FAMILY_NAME,
                       m_info.ixml.FILE_SET_INDEX};
}
