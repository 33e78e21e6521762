#include "AudioFile.h"

#include <QtTest>

using namespace SoundDefs;

// A take in memory with iXML rate fields (rateIndex < 0: no iXML) and, when
// description is given, a bext chunk; no file needed for the arithmetic.
static void makeTake(AudioFile& f, int rateIndex, quint64 timeReference, quint64 totalSamples,
                     quint32 sampleRate = 48000, const QByteArray& description = QByteArray())
{
    f.m_info.Clear();
    f.m_info.fileType = kFileTypeWave;
    f.m_info.sampleRate = sampleRate;
    f.m_info.timeReference = timeReference;
    f.m_info.totalSamples = totalSamples;
    f.m_info.hasIxml = rateIndex >= 0;
    if (rateIndex >= 0) {
        f.m_info.ixml.TIMECODE_RATE = AudioFile::m_iXMLPresentation.at(rateIndex);
        f.m_info.ixml.TIMECODE_FLAG = AudioFile::m_dropFrameFlag.at(rateIndex);
    }
    if (!description.isNull()) {
        std::memcpy(f.m_info.bextHeader.Description, description.constData(),
                    size_t(description.size()));
        f.m_info.hasBext = true;
        f.m_bext.Parse(&f.m_info.bextHeader);
    }
}

class TestTimecode : public QObject
{
    Q_OBJECT

private slots:
    void startAndEnd_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<quint32>("rate");
        QTest::addColumn<quint64>("start");
        QTest::addColumn<quint64>("length");
        QTest::addColumn<QStringList>("startAndEnd");
        const quint64 hour = 3600ull * 48000;
        QTest::newRow("23.97 ND") << 0 << 48000u << hour << 48000ull
                                  << QStringList{"00:59:56:09", "00:59:57:09"};
        QTest::newRow("29.97 DF") << 4 << 48000u << hour << 48000ull * 60
                                  << QStringList{"01:00:00;00", "01:01:00;00"};
        QTest::newRow("30 DF") << 6 << 48000u << 10 * hour << 0ull
                               << QStringList{"10:00:36;00", "10:00:36;00"};
        QTest::newRow("30 ND past 24 h")
            << 5 << 48000u << 25 * hour << 1600ull << QStringList{"25:00:00:00", "25:00:00:01"};
        // Drop-frame counting: 30 DF at 30 kHz, one sample per 1/1000 s of frames.
        QTest::newRow("30 DF frame 1798")
            << 6 << 30000u << 1798000ull << 1000ull << QStringList{"00:01:00;00", "00:01:00;01"};
        QTest::newRow("30 DF frame 17982")
            << 6 << 30000u << 17982000ull << 0ull << QStringList{"00:10:00;00", "00:10:00;00"};
    }

    void startAndEnd()
    {
        QFETCH(int, index);
        QFETCH(quint32, rate);
        QFETCH(quint64, start);
        QFETCH(quint64, length);
        QFETCH(QStringList, startAndEnd);
        AudioFile f;
        makeTake(f, index, start, length, rate);
        QCOMPARE(f.getTCConstantsIndex(), index);
        QCOMPARE(f.GetFrameRate(), AudioFile::m_userPresentation.at(index));
        QCOMPARE((QStringList{f.GetTCStart(), f.GetTCEnd()}), startAndEnd);
    }

    void timecodeToSamples_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("tc");
        QTest::addColumn<QString>("samples"); // empty: refused
        const char* const cases[][4] = {
            {"29.97 DF one hour", "29.97 DF", "01:00:00;00", "172800000"},
            // 1601.6 samples a frame: the first whole sample inside the frame.
            {"29.97 ND one frame", "29.97 ND", "00:00:00:01", "1602"},
            {"unknown rate", "31 ND", "01:00:00:00", ""},
            {"bad tc", "25 ND", "01:00", ""},
        };
        for (const auto& c : cases)
            QTest::newRow(c[0]) << QString(c[1]) << QString(c[2]) << QString(c[3]);
    }

    void timecodeToSamples()
    {
        QFETCH(QString, rate);
        QFETCH(QString, tc);
        QFETCH(QString, samples);
        AudioFile f;
        makeTake(f, 5, 0, 0);
        QCOMPARE(f.GetSamplesSinceMidnight(rate, tc), samples);
    }

    void roundTripAtEveryRate()
    {
        // Timecode -> samples -> timecode gives the same text at every rate.
        const QStringList tcs = {"00:00:00:00", "00:01:00:02", "09:59:59:23",
                                 "10:00:00:00", "13:07:42:11", "23:10:00:00"};
        for (int i = 0; i < 7; ++i) {
            const QString rate = AudioFile::m_userPresentation.at(i);
            for (QString tc : tcs) {
                if (rate.contains("DF"))
                    tc[8] = ';';
                AudioFile f;
                makeTake(f, i, 0, 0);
                const QString samples = f.GetSamplesSinceMidnight(rate, tc);
                QVERIFY(!samples.isEmpty());
                f.m_info.timeReference = samples.toULongLong();
                QCOMPARE(f.GetTCStart(rate), tc);
            }
        }
    }

    void rateLookupFromBext_data()
    {
        QTest::addColumn<QByteArray>("description");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("flag");
        QTest::newRow("SPEED") << QByteArray("sSPEED=029.970-DF\r\n") << 4 << "DF";
        QTest::newRow("SPEED unknown") << QByteArray("sSPEED=031.000-ND\r\n") << -1 << "ND";
        QTest::newRow("FRAMERATE 23.976NDF") << QByteArray("sFRAMERATE=23.976NDF\r\n") << 0 << "ND";
        QTest::newRow("FRAMERATE 30DF") << QByteArray("sFRAMERATE=30DF\r\n") << 6 << "DF";
        QTest::newRow("nothing") << QByteArray("sSCENE=1\r\n") << -1 << "ND";
    }

    void rateLookupFromBext()
    {
        QFETCH(QByteArray, description);
        QFETCH(int, index);
        QFETCH(QString, flag);
        AudioFile f;
        makeTake(f, -1, 3600ull * 48000, 0, 48000, description);
        QCOMPARE(f.getTCConstantsIndex(), index);
        QCOMPARE(f.GetTCFlag(), flag);
        if (index < 0) // falls back to 30 frames, with the flag found
            QCOMPARE(f.GetTCStart(),
                     flag == "DF" ? QString("01:00:00;00") : QString("01:00:00:00"));
    }

    void durationsAndPositions()
    {
        AudioFile f;
        makeTake(f, 5, 0, 48000ull * 3723 + 24000); // 1:02:03.5
        QCOMPARE(f.GetDuration(), QString("01:02:03"));
        QCOMPARE(f.GetDuration(96000), QString("00:31:01"));
        QCOMPARE(f.GetSample2Time(48000 * 61 + 4800), QString("00:01:01.1"));
        QCOMPARE(f.GetSample2TimeLeft(48000 * 3724), QString("-00:00:00.0")); // beyond the end
        QCOMPARE(f.GetSample2TimeLeft(48000 * 3722), QString("-00:00:01.5"));
        f.m_info.ixml.syncPoints.append(AudioSyncPoint());
        f.m_info.ixml.syncPoints[0].low = QString::number(3600u * 48000u);
        f.m_info.ixml.syncPoints[0].high = "0";
        f.m_info.ixml.syncPoints[0].eventDuration = QString::number(48000 * 75);
        f.m_info.ixml.syncPointCount = 1;
        QCOMPARE(f.GetSyncPointTC(0), QString("01:00:00:00"));
        QCOMPARE(f.GetSyncPointDuration(0), QString("00:01:15"));
        QCOMPARE(f.GetSyncPointTC(1), QString());
    }

    void setSamplesSinceMidnightWritesAllCopies()
    {
        AudioFile f;
        makeTake(f, 5, 0, 0, 48000, "sSCENE=1\r\n");
        const quint64 v = (quint64(3) << 32) + 17;
        f.SetSamplesSinceMidnight(QString::number(v));
        QCOMPARE(f.m_info.timeReference, v);
        const AudioIxmlData& x = f.m_info.ixml;
        QCOMPARE((QStringList{x.TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI, x.BWF_TIME_REFERENCE_HIGH}),
                 (QStringList{"3", "3"}));
        QCOMPARE((QStringList{x.TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO, x.BWF_TIME_REFERENCE_LOW}),
                 (QStringList{"17", "17"}));
        QCOMPARE(qFromLittleEndian(f.m_info.bextHeader.TimeReferenceHigh), 3u);
        QCOMPARE(qFromLittleEndian(f.m_info.bextHeader.TimeReferenceLow), 17u);
    }

    void zeroSampleRateGivesEmptyText()
    {
        AudioFile f;
        makeTake(f, 5, 48000, 48000, 0);
        QCOMPARE(f.GetTCStart(), QString());
        QCOMPARE(f.GetDuration(), QString());
        QCOMPARE(f.GetSample2Time(10), QString());
        QCOMPARE(f.GetSamplesSinceMidnight("25 ND", "00:00:01:00"), QString());
    }
};

QTEST_GUILESS_MAIN(TestTimecode)
#include "tst_timecode.moc"
