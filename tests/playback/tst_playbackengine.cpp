// The playback engine end to end: takes played through PortAudio into ALSA's
// file plugin (tests/data/alsa-file-capture.conf), the capture compared.
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

// Little-endian integer PCM of value(f, c)/32768, interleaved.
QByteArray pcm(int bits, int channels, int frames, const std::function<int(int, int)>& value)
{
    QByteArray out;
    for (int f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const qint64 s = qint64(value(f, c)) << (bits - 16);
            for (int i = 0; i < bits / 8; ++i)
                out.append(char((s >> (8 * i)) & 0xff));
        }
    return out;
}

// A take holding data; its header claims claimedFrames (-1: the real size).
bool writeTake(const QString& path, int bits, int channels, const QByteArray& data,
               int claimedFrames = -1, int tag = 1)
{
    WavBuilder w;
    w.chunk("fmt ", WavBuilder::fmtBody(channels, kRate, bits, tag));
    if (claimedFrames < 0)
        w.chunk("data", data);
    else
        w.rawChunk("data", quint32(claimedFrames * channels * bits / 8), data);
    return w.writeTo(path);
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
    void overviewCacheFollowsTheFile();

private:
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

// Sample formats are decoded as tst_playbackmix shows; here the file, the
// group and the transport: mixer commands sent before the start hold from the
// first frame; a take whose data is shorter than its header says plays what
// it holds; a seek to 50 % starts at frame (frames / 100) × 50; mono files
// are interleaved in list order (1 left, 2 right).
void TestPlaybackEngine::playsTake_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("claimedFrames");
    QTest::addColumn<QString>("how"); // mixed: ch0 at −6 dB to both sides, ch1 muted

    const int f = kRate + 123;
    QTest::newRow("mixer settings") << 16 << f << -1 << "mixed";
    QTest::newRow("data shorter than the header says") << 24 << f << 3 * kRate << "";
    QTest::newRow("seek to 50 %") << 16 << 1000050 << -1 << "seek";
    QTest::newRow("mono group") << 24 << kRate << -1 << "mono";
}

void TestPlaybackEngine::playsTake()
{
    QFETCH(int, bits);
    QFETCH(int, frames);
    QFETCH(int, claimedFrames);
    QFETCH(QString, how);

    PlaybackThread t;
    QList<int> states; // as sent, received in this thread
    connect(
        &t, &AudioThread::progressUpdate, this, [&states](int state, quint32) { states << state; },
        Qt::QueuedConnection);
    if (how == "mono") {
        QStringList paths;
        for (int c = 0; c < 2; ++c) {
            paths << m_dir.filePath(QStringLiteral("T0001_%1.WAV").arg(c + 1));
            const auto channel = [c](int f, int) { return sampleValue(f, c); };
            QVERIFY(writeTake(paths.last(), bits, 1, pcm(bits, 1, frames, channel)));
        }
        QVERIFY(t.InitPlayBack(paths, 0));
        QCOMPARE(t.channels(), 2);
    } else {
        const QString path = m_dir.filePath(QStringLiteral("take.wav"));
        QVERIFY(writeTake(path, bits, 2, pcm(bits, 2, frames, sampleValue), claimedFrames));
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
    QTRY_VERIFY_WITH_TIMEOUT(states.contains(AudioThread::STATE_DONE), 60000);
    t.PlayBack(PlaybackThread::PLAY_FINISH);
    QCoreApplication::processEvents();
    QCOMPARE(states.count(AudioThread::STATE_DONE), 1);
    QCOMPARE(t.operation(), AudioThread::OP_NONE);

    const QList<QPair<float, float>> got = captured(m_capture);
    const int from = frames / 100 * seek;
    QCOMPARE(got.size(), frames - from);
    for (int f = from; f < frames; ++f) {
        float a = 0.99f * (sampleValue(f, 0) / 32768.0f);
        float b = 0.99f * (sampleValue(f, 1) / 32768.0f);
        if (how == "mixed")
            a = b = 0.99f * std::clamp(sampleValue(f, 0) / 32768.0f * g, -1.0f, 1.0f);
        const QPair<float, float> p = got[f - from];
        if (std::fabs(p.first - a) > 1e-6f || std::fabs(p.second - b) > 1e-6f)
            QFAIL(qPrintable(QStringLiteral("frame %1: %2 %3").arg(f).arg(p.first).arg(p.second)));
    }
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
        QVERIFY(writeTake(paths.last(), bits, ch, QByteArray(100 * ch * bits / 8, 1), -1,
                          p[1].toInt()));
    }
    PlaybackThread t;
    QVERIFY(!t.InitPlayBack(paths, 0));
    QCOMPARE(t.operation(), AudioThread::OP_NONE);
    QVERIFY(!t.PlayBack(PlaybackThread::PLAY_START));
}

void TestPlaybackEngine::overviewCacheFollowsTheFile()
{
    const QString path = m_dir.filePath(QStringLiteral("cached.wav"));
    QVERIFY(writeTake(path, 24, 2, pcm(24, 2, 1000, sampleValue)));
    PeakEnvelopeCache cache;
    QVERIFY(!cache.find({path}));
    cache.insert({path}, std::make_shared<PeakEnvelope>(PeakEnvelope::compute({path}, 8)));
    QVERIFY(cache.find({path}));
    QCOMPARE(cache.find({path})->channels, 2);
    QVERIFY(writeTake(path, 24, 2, pcm(24, 2, 999, sampleValue)));
    QVERIFY(!cache.find({path}));
}

QTEST_GUILESS_MAIN(TestPlaybackEngine)
#include "tst_playbackengine.moc"
