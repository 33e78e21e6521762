// The mixing step and the meter ring, at the level of one block of frames.
#include "PlaybackMix.h"
#include "cAudioMeterInfo.h"

#include <QtTest>

#include <cmath>

using namespace Playback;

Q_DECLARE_METATYPE(QList<float>)
Q_DECLARE_METATYPE(QList<int>)

namespace
{

// Interleaved 16-bit little-endian samples of the given values (full scale 1.0).
QByteArray s16(const QList<float>& v)
{
    QByteArray out;
    for (float x : v) {
        const qint16 s = qint16(std::lround(std::clamp(x, -1.0f, 32767.0f / 32768.0f) * 32768.0f));
        out.append(char(s & 0xff)).append(char((s >> 8) & 0xff));
    }
    return out;
}

float dbGain(int db)
{
    return std::pow(10.0f, float(db) / 20.0f);
}

} // namespace

class TestPlaybackMix : public QObject
{
    Q_OBJECT

private slots:
    void conversion_data();
    void conversion();
    void mixing_data();
    void mixing();
    void meterRingFullDropsPeriods();
};

// One mono frame of each encoding the engine's tests do not play (16 and 24
// bits), played to the left at unity output gain.
void TestPlaybackMix::conversion_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<float>("expected");

    QTest::newRow("u8 bottom") << 1 << 8 << QByteArray("\x00", 1) << -1.0f;
    QTest::newRow("s32 quarter") << 1 << 32 << QByteArray("\x00\x00\x00\x20", 4) << 0.25f;
    const float f = 0.25f;
    QTest::newRow("f32 quarter") << 3 << 32 << QByteArray(reinterpret_cast<const char*>(&f), 4)
                                 << 0.25f;
    const double d = -0.125;
    QTest::newRow("f64 minus eighth")
        << 3 << 64 << QByteArray(reinterpret_cast<const char*>(&d), 8) << -0.125f;
}

void TestPlaybackMix::conversion()
{
    QFETCH(int, tag);
    QFETCH(int, bits);
    QFETCH(QByteArray, bytes);
    QFETCH(float, expected);
    const SampleFormat format = sampleFormatFor(quint16(tag), quint16(bits));
    QCOMPARE(bytesPerSample(format), bytes.size());
    MixSettings s;
    s.outGain = {1.0f, 1.0f};
    MeterAccum m;
    float out[2] = {9, 9};
    mixBlock(reinterpret_cast<const uchar*>(bytes.constData()), 1, 1, format, s, &m, out, 2);
    QCOMPARE(out[0], expected);
    QCOMPARE(out[1], 0.0f);
    QCOMPARE(m.peak[0], std::fabs(expected));
    QCOMPARE(m.level[0], expected * expected);
}

// One frame of 16-bit input per row, gains in dB: the limits (routing, gain
// and mute as such are played end to end by tst_playbackengine).
void TestPlaybackMix::mixing_data()
{
    QTest::addColumn<QList<float>>("samples"); // one frame, one value per channel
    QTest::addColumn<QList<int>>("route");     // per channel; empty: the defaults
    QTest::addColumn<QList<int>>("gainDb");    // per channel; empty: unity
    QTest::addColumn<QList<int>>("muted");     // channels muted
    QTest::addColumn<int>("outChannels");
    QTest::addColumn<QList<float>>("expected");

    const float k = 0.99f;
    using F = QList<float>;
    using I = QList<int>;
    QTest::newRow("mute") << F{0.5f, 0.25f} << I{3, 3} << I{} << I{0} << 2
                          << F{0.25f * k, 0.25f * k};
    QTest::newRow("two full-scale channels clip at +1")
        << F{0.75f, 0.75f} << I{1, 1} << I{} << I{} << 2 << F{k, 0};
    QTest::newRow("overdriven channel clamped before the sum")
        << F{0.5f, -0.5f} << I{1, 1} << I{0, 12} << I{} << 2 << F{-0.5f * k, 0};
    QTest::newRow("one-channel device folds left and right")
        << F{0.5f, 0.25f} << I{} << I{} << I{} << 1 << F{0.375f * k};
    QTest::newRow("one-channel device, both sides full scale")
        << F{-0.75f, -0.75f} << I{3, 3} << I{} << I{} << 1 << F{-k};
    F many(33, 0.0f);
    many[32] = 0.5f;
    QTest::newRow("channel 33 is not mixed") << many << I{} << I{} << I{} << 2 << F{0, 0};
}

void TestPlaybackMix::mixing()
{
    QFETCH(QList<float>, samples);
    QFETCH(QList<int>, route);
    QFETCH(QList<int>, gainDb);
    QFETCH(QList<int>, muted);
    QFETCH(int, outChannels);
    QFETCH(QList<float>, expected);

    MixSettings s;
    for (int c = 0; c < route.size(); ++c)
        s.route[size_t(c)] = quint8(route[c]);
    for (int c = 0; c < gainDb.size(); ++c)
        s.gain[size_t(c)] = dbGain(gainDb[c]);
    for (int c : muted)
        s.mute[size_t(c)] = true;
    const QByteArray in = s16(samples);
    QList<float> out(outChannels, 9.0f);
    MeterAccum m;
    mixBlock(reinterpret_cast<const uchar*>(in.constData()), 1, int(samples.size()),
             SampleFormat::S16, s, &m, out.data(), outChannels);
    QCOMPARE(out.size(), expected.size());
    for (int o = 0; o < out.size(); ++o)
        QVERIFY2(
            std::fabs(out[o] - expected[o]) < 1e-6f,
            qPrintable(
                QStringLiteral("output %1: %2, expected %3").arg(o).arg(out[o]).arg(expected[o])));
    // Muted channels are metered all the same.
    for (int c : muted)
        QCOMPARE(m.peak[size_t(c)], std::fabs(samples[c]));
}

// A reader that falls behind loses periods; the slots it holds are never
// written by the callback.
void TestPlaybackMix::meterRingFullDropsPeriods()
{
    cAudioMeterInfo ring(3);
    ring.SetChannels(1);
    MeterAccum a;
    for (int i = 0; i < 3; ++i) {
        a.peak[0] = float(i + 1) / 10.0f;
        QVERIFY(ring.Publish(a, quint64(i)));
    }
    a.peak[0] = 0.9f;
    QVERIFY(!ring.Publish(a, 3));
    bool ready = false;
    QCOMPARE(ring.GetRdMeterData(ready, 10)[0].peak, 0.1f);
    ring.ReleaseRdData();
    QVERIFY(ring.Publish(a, 3));
    for (float want : {0.2f, 0.3f, 0.9f}) {
        QCOMPARE(ring.GetRdMeterData(ready, 10)[0].peak, want);
        ring.ReleaseRdData();
    }
}

QTEST_GUILESS_MAIN(TestPlaybackMix)
#include "tst_playbackmix.moc"
