// The playback engine end to end: generated takes are played through
// PortAudio into ALSA's file plugin (tests/data/alsa-file-capture.conf) and the
// captured output is compared with the take's samples under the mixer settings.
#include "PeakEnvelope.h"
#include "PlaybackThread.h"
#include "TestUtil.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace
{

constexpr int kRate = 48000;

// A sample value of frame f, channel c in 1/32768 steps: never zero, so that
// frames of silence the device adds can be told from the take.
int sampleValue(int f, int c)
{
    const int v = 300 + (f * 37 + c * 4099) % 9000;
    return (f + c) % 2 ? -v : v;
}

// Encodes value/32768 in the take's format.
void put(QByteArray& out, int tag, int bits, int value)
{
    const double x = value / 32768.0;
    if (tag == 3 && bits == 32) {
        const float v = float(x);
        out.append(reinterpret_cast<const char*>(&v), 4);
    } else if (tag == 3) {
        out.append(reinterpret_cast<const char*>(&x), 8);
    } else if (bits == 8) {
        out.append(char(128 + value / 128));
    } else {
        const qint64 s = qint64(value) << (bits - 16);
        for (int i = 0; i < bits / 8; ++i)
            out.append(char((s >> (8 * i)) & 0xff));
    }
}

// The value the engine reads back for value (8-bit takes lose the low bits).
float decoded(int bits, int value)
{
    if (bits == 8)
        return float(value / 128) / 128.0f;
    return float(value / 32768.0);
}

struct Take {
    int tag = 1;
    int bits = 24;
    int channels = 2;
    int frames = kRate;
    int claimedFrames = -1; // data size the header claims; -1: the real size
};

QByteArray writeTake(const QString& path, const Take& t)
{
    QByteArray data;
    for (int f = 0; f < t.frames; ++f)
        for (int c = 0; c < t.channels; ++c)
            put(data, t.tag, t.bits, sampleValue(f, c));
    const int align = t.channels * t.bits / 8;
    WavBuilder w;
    w.chunk("fmt ", WavBuilder::fmtBody(t.channels, kRate, t.bits, t.tag));
    if (t.claimedFrames < 0)
        w.chunk("data", data);
    else
        w.rawChunk("data", quint32(t.claimedFrames * align), data);
    return w.writeTo(path) ? data : QByteArray();
}

// Stereo frames captured, without the frames of silence the device and a
// reader that was behind put in.
QList<QPair<float, float>> captured(const QString& path)
{
    const QByteArray raw = TestUtil::readFile(path);
    const auto* v = reinterpret_cast<const float*>(raw.constData());
    QList<QPair<float, float>> out;
    for (qsizetype i = 0; i + 1 < raw.size() / 4; i += 2)
        if (v[i] != 0.0f || v[i + 1] != 0.0f)
            out.append({v[i], v[i + 1]});
    return out;
}

float clamp1(float v)
{
    return std::clamp(v, -1.0f, 1.0f);
}

} // namespace

class TestPlaybackEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void playsTake_data();
    void playsTake();
    void refused_data();
    void refused();
    void overviewPeaks_data();
    void overviewPeaks();
    void overviewCacheFollowsTheFile();

private:
    // Plays until STATE_DONE; returns the number of STATE_DONE signals seen
    // by the time the playback is finished.
    int playToEnd(PlaybackThread& t, const QList<int>& states);
    // The states t sends, received in this thread.
    void record(PlaybackThread& t, QList<int>& states);
    void compare(const QList<QPair<float, float>>& got, int fromFrame, int toFrame,
                 const std::function<QPair<float, float>(int)>& expected);

    QTemporaryDir m_dir;
    QString m_capture;
};

void TestPlaybackEngine::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (qEnvironmentVariableIsEmpty("ALSA_CONFIG_PATH"))
        qputenv("ALSA_CONFIG_PATH", VELMORA_TEST_DATA "/alsa-file-capture.conf");
}

void TestPlaybackEngine::init()
{
    static int n = 0;
    m_capture = m_dir.filePath(QStringLiteral("capture%1.raw").arg(++n));
    qputenv("VELMORA_ALSA_CAPTURE", m_capture.toLocal8Bit());
}

void TestPlaybackEngine::record(PlaybackThread& t, QList<int>& states)
{
    connect(
        &t, &AudioThread::progressUpdate, this, [&states](int state, quint32) { states << state; },
        Qt::QueuedConnection);
}

int TestPlaybackEngine::playToEnd(PlaybackThread& t, const QList<int>& states)
{
    [&] { QTRY_VERIFY_WITH_TIMEOUT(states.contains(AudioThread::STATE_DONE), 60000); }();
    t.PlayBack(PlaybackThread::PLAY_FINISH);
    QCoreApplication::processEvents();
    return int(states.count(AudioThread::STATE_DONE));
}

void TestPlaybackEngine::compare(const QList<QPair<float, float>>& got, int fromFrame, int toFrame,
                                 const std::function<QPair<float, float>(int)>& expected)
{
    QCOMPARE(got.size(), toFrame - fromFrame);
    for (int f = fromFrame; f < toFrame; ++f) {
        const QPair<float, float> e = expected(f);
        const QPair<float, float> g = got[f - fromFrame];
        if (std::fabs(g.first - e.first) > 1e-6f || std::fabs(g.second - e.second) > 1e-6f)
            QFAIL(qPrintable(QStringLiteral("frame %1: %2 %3, expected %4 %5")
                                 .arg(f)
                                 .arg(g.first)
                                 .arg(g.second)
                                 .arg(e.first)
                                 .arg(e.second)));
    }
}

// Each take format at the right level; mixer commands sent before the start
// hold from the first frame; a seek to 50 % starts at whole hundredths of the
// take (frame (frames / 100) × 50); a pause loses nothing; the mono files of
// one take are interleaved in list order (file 1 left, file 2 right).
void TestPlaybackEngine::playsTake_data()
{
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("claimedFrames");
    QTest::addColumn<QString>("how"); // mixed: ch0 at −6 dB to both sides, ch1 muted

    const int f = kRate + 123;
    QTest::newRow("24-bit") << 1 << 24 << f << -1 << "";
    QTest::newRow("16-bit, mixer settings") << 1 << 16 << f << -1 << "mixed";
    QTest::newRow("32-bit integer") << 1 << 32 << f << -1 << "";
    QTest::newRow("8-bit") << 1 << 8 << f << -1 << "";
    QTest::newRow("32-bit float") << 3 << 32 << f << -1 << "";
    QTest::newRow("64-bit float, mixer settings") << 3 << 64 << f << -1 << "mixed";
    QTest::newRow("data shorter than the header says") << 1 << 24 << f << 3 * kRate << "";
    QTest::newRow("seek to 50 %") << 1 << 16 << 1000050 << -1 << "seek";
    QTest::newRow("pause and resume") << 1 << 16 << 40 * kRate << -1 << "pause";
    QTest::newRow("mono group") << 1 << 24 << kRate << -1 << "mono";
}

void TestPlaybackEngine::playsTake()
{
    QFETCH(int, tag);
    QFETCH(int, bits);
    QFETCH(int, frames);
    QFETCH(int, claimedFrames);
    QFETCH(QString, how);

    PlaybackThread t;
    QList<int> states;
    record(t, states);
    if (how == "mono") {
        QStringList paths;
        for (int c = 0; c < 2; ++c) {
            QByteArray data;
            for (int i = 0; i < frames; ++i)
                put(data, tag, bits, sampleValue(i, c));
            WavBuilder w;
            w.chunk("fmt ", WavBuilder::fmtBody(1, kRate, bits));
            w.chunk("data", data);
            paths << m_dir.filePath(QStringLiteral("T0001_%1.WAV").arg(c + 1));
            QVERIFY(w.writeTo(paths.last()));
        }
        QVERIFY(t.InitPlayBack(paths, 0));
        QCOMPARE(t.channels(), 2);
    } else {
        Take take;
        take.tag = tag;
        take.bits = bits;
        take.frames = frames;
        take.claimedFrames = claimedFrames;
        const QString path = m_dir.filePath(QStringLiteral("take.wav"));
        QVERIFY(!writeTake(path, take).isEmpty());
        QVERIFY(t.InitPlayBack(path, 0));
    }
    QCOMPARE(t.outChannels(), 2);
    const float g = std::pow(10.0f, -6.0f / 20.0f);
    if (how == "mixed") {
        QVERIFY(t.PlayBack(PlaybackThread::PLAY_GAIN, 0, 42));
        QVERIFY(t.PlayBack(PlaybackThread::PLAY_ROUTE, 0, 3));
        QVERIFY(t.PlayBack(PlaybackThread::PLAY_MUTE, 1, 1));
    }
    const int seek = how == "seek" ? 50 : 0;
    QVERIFY(t.PlayBack(PlaybackThread::PLAY_SEEK, seek));
    QVERIFY(t.PlayBack(PlaybackThread::PLAY_START));
    if (how == "pause") {
        QTRY_VERIFY(t.m_playPos.load() > 0);
        QVERIFY(t.PlayBack(PlaybackThread::PLAY_STOP));
        const quint32 pausedAt = t.m_playPos.load();
        QVERIFY(pausedAt < quint32(frames));
        QCOMPARE(t.playState(), int(PlayBackInfo::StatePaused));
        QTest::qWait(100);
        QCOMPARE(t.m_playPos.load(), pausedAt);
        QVERIFY(t.PlayBack(PlaybackThread::PLAY_RESUME));
    }
    QCOMPARE(playToEnd(t, states), 1);
    QCOMPARE(t.operation(), AudioThread::OP_NONE);

    compare(captured(m_capture), frames / 100 * seek, frames, [&](int i) {
        const float a = decoded(bits, sampleValue(i, 0));
        const float b = decoded(bits, sampleValue(i, 1));
        if (how == "mixed")
            return qMakePair(clamp1(0.99f * clamp1(a * g)), clamp1(0.99f * clamp1(a * g)));
        return qMakePair(0.99f * a, 0.99f * b);
    });
}

void TestPlaybackEngine::refused_data()
{
    QTest::addColumn<QStringList>("files"); // name:tag:bits:channels, or name alone: missing

    QTest::newRow("missing file") << QStringList{"missing.wav"};
    QTest::newRow("16-bit float") << QStringList{"f16.wav:3:16:2"};
    QTest::newRow("mono files of different depth") << QStringList{"m1.wav:1:24:1", "m2.wav:1:16:1"};
    QTest::newRow("a stereo file in a group") << QStringList{"m1.wav:1:24:1", "s.wav:1:24:2"};
}

void TestPlaybackEngine::refused()
{
    QFETCH(QStringList, files);
    QStringList paths;
    for (const QString& entry : files) {
        const QStringList p = entry.split(':');
        paths << m_dir.filePath(p[0]);
        if (p.size() < 4)
            continue;
        const int ch = p[3].toInt();
        const int bits = p[2].toInt();
        WavBuilder w;
        w.chunk("fmt ", WavBuilder::fmtBody(ch, kRate, bits, p[1].toInt()));
        w.chunk("data", QByteArray(100 * ch * bits / 8, 1));
        QVERIFY(w.writeTo(paths.last()));
    }
    PlaybackThread t;
    QVERIFY(!t.InitPlayBack(paths, 0));
    QCOMPARE(t.operation(), AudioThread::OP_NONE);
    QVERIFY(!t.PlayBack(PlaybackThread::PLAY_START));
}

// Four bins over 400 frames: bin b holds frames 100b … 100b + 99; one frame
// per bin carries the loudest sample.
void TestPlaybackEngine::overviewPeaks_data()
{
    QTest::addColumn<bool>("monoGroup");
    QTest::addColumn<int>("bits");
    QTest::newRow("stereo file, 16-bit") << false << 16;
    QTest::newRow("mono group, 24-bit") << true << 24;
}

void TestPlaybackEngine::overviewPeaks()
{
    QFETCH(bool, monoGroup);
    QFETCH(int, bits);
    // Peak of bin b, channel c: (b + 1 + 4c) / 16 of full scale.
    auto value = [](int f, int c) {
        const int b = f / 100;
        return f % 100 == 37 ? (b + 1 + 4 * c) * 2048 : ((f + c) % 2 ? -100 : 100);
    };
    QStringList paths;
    const int files = monoGroup ? 2 : 1;
    const int perFile = monoGroup ? 1 : 2;
    for (int i = 0; i < files; ++i) {
        QByteArray data;
        for (int f = 0; f < 400; ++f)
            for (int c = 0; c < perFile; ++c)
                put(data, 1, bits, value(f, i + c));
        WavBuilder w;
        w.chunk("fmt ", WavBuilder::fmtBody(perFile, kRate, bits));
        w.chunk("data", data);
        paths << m_dir.filePath(QStringLiteral("peaks%1.wav").arg(i));
        QVERIFY(w.writeTo(paths.last()));
    }
    const PeakEnvelope e = PeakEnvelope::compute(paths, 4);
    QCOMPARE(e.channels, 2);
    QCOMPARE(e.bins, 4);
    for (int b = 0; b < 4; ++b)
        for (int c = 0; c < 2; ++c)
            QCOMPARE(e.peak(b, c), float(b + 1 + 4 * c) / 16.0f);
}

void TestPlaybackEngine::overviewCacheFollowsTheFile()
{
    Take take;
    take.frames = 1000;
    const QString path = m_dir.filePath(QStringLiteral("cached.wav"));
    QVERIFY(!writeTake(path, take).isEmpty());
    PeakEnvelopeCache cache;
    QVERIFY(!cache.find({path}));
    cache.insert({path}, std::make_shared<PeakEnvelope>(PeakEnvelope::compute({path}, 8)));
    QVERIFY(cache.find({path}));
    QCOMPARE(cache.find({path})->channels, 2);
    take.frames = 999;
    QVERIFY(!writeTake(path, take).isEmpty());
    QVERIFY(!cache.find({path}));
}

QTEST_GUILESS_MAIN(TestPlaybackEngine)
#include "tst_playbackengine.moc"
