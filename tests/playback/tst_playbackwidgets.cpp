// The playback windows offscreen: the mixer's peak ballistics, solo, mute and
// gain fields, and the transport window's refusals of takes it cannot play.
#include "Mixer.h"
#include "PlaybackThread.h"
#include "TestUtil.h"
#include "TransportCtrl.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace
{

// Closes every modal message box that opens while it lives, recording its text.
class BoxCloser : public QObject
{
public:
    BoxCloser()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(20);
    }
    QStringList texts;

private:
    QTimer m_timer;
};

QList<bool> mutes(Mixer& m)
{
    QList<bool> out;
    for (int i = 1; i <= m.stripCount(); ++i)
        out << m.findChild<QToolButton*>(QStringLiteral("mute%1").arg(i))->isChecked();
    return out;
}

} // namespace

class TestPlaybackWidgets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void peakHoldAndFall();
    void soloAndMute_data();
    void soloAndMute();
    void gainField_data();
    void gainField();
    void missingTakeMessages_data();
    void missingTakeMessages();

private:
    QTemporaryDir m_dir;
};

void TestPlaybackWidgets::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    QCoreApplication::setOrganizationName(QStringLiteral("VelmoraTests"));
    if (qEnvironmentVariableIsEmpty("ALSA_CONFIG_PATH"))
        qputenv("ALSA_CONFIG_PATH", VELMORA_TEST_DATA "/alsa-file-capture.conf");
    qputenv("VELMORA_ALSA_CAPTURE", m_dir.filePath(QStringLiteral("capture.raw")).toLocal8Bit());
}

// A peak stays for the hold time, falls 3 dB, waits a tick, then falls 3 dB
// a tick until it reaches 40.
void TestPlaybackWidgets::peakHoldAndFall()
{
    Mixer mixer(nullptr, 1);
    mixer.show();
    QCOMPARE(mixer.holdTicks(), 5);
    QList<float> seen;
    mixer.on_meterUpdate({20.0f, 10.0f});
    seen << mixer.peakValue(0);
    for (int i = 0; i < 16; ++i) {
        mixer.on_meterUpdate({41.0f, 41.0f});
        seen << mixer.peakValue(0);
    }
    QCOMPARE(seen,
             (QList<float>{10, 10, 10, 10, 10, 13, 13, 16, 19, 22, 25, 28, 31, 34, 37, 40, 40}));
    mixer.on_meterPeakHoldTimeUpdate(300);
    QCOMPARE(mixer.holdTicks(), 10);
}

void TestPlaybackWidgets::soloAndMute_data()
{
    QTest::addColumn<QStringList>("clicks"); // "solo2", "mute3": buttons of 4 strips
    QTest::addColumn<QList<bool>>("muted");
    QTest::addColumn<QList<bool>>("soloed");

    using B = QList<bool>;
    QTest::newRow("solo mutes the others")
        << QStringList{"solo2"} << B{true, false, true, true} << B{false, true, false, false};
    QTest::newRow("muting a soloed strip clears its solo only")
        << QStringList{"solo2", "mute2"} << B{true, true, true, true}
        << B{false, false, false, false};
    QTest::newRow("releasing one of two solos silences that strip")
        << QStringList{"solo2", "solo3", "solo2"} << B{true, true, false, true}
        << B{false, false, true, false};
}

void TestPlaybackWidgets::soloAndMute()
{
    QFETCH(QStringList, clicks);
    QFETCH(QList<bool>, muted);
    QFETCH(QList<bool>, soloed);

    Mixer mixer(nullptr, 4);
    QSignalSpy spy(&mixer, &Mixer::commandUpdate);
    for (const QString& name : clicks)
        mixer.findChild<QToolButton*>(name)->click();
    QCOMPARE(mutes(mixer), muted);
    QList<bool> solos;
    for (int i = 1; i <= 4; ++i)
        solos << mixer.findChild<QToolButton*>(QStringLiteral("solo%1").arg(i))->isChecked();
    QCOMPARE(solos, soloed);
    // The engine hears the last mute state sent per channel: the same.
    QList<bool> sent(4, false);
    for (const auto& args : spy)
        if (args.at(0).toInt() == Mixer::CmdMute)
            sent[args.at(1).toInt()] = args.at(2).toBool();
    QCOMPARE(sent, muted);
}

void TestPlaybackWidgets::gainField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("fader");
    QTest::addColumn<int>("sent");

    QTest::newRow("+6") << "+6" << 6 << 54;
    QTest::newRow("out of range is sent, fader stays") << "20" << 0 << 68;
}

void TestPlaybackWidgets::gainField()
{
    QFETCH(QString, typed);
    QFETCH(int, fader);
    QFETCH(int, sent);

    Mixer mixer(nullptr, 2);
    QSignalSpy spy(&mixer, &Mixer::commandUpdate);
    auto* gain = mixer.findChild<QLineEdit*>(QStringLiteral("gain2"));
    gain->setText(typed);
    emit gain->editingFinished();
    QCOMPARE(mixer.findChild<QSlider*>(QStringLiteral("fader2"))->value(), fader);
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), int(Mixer::CmdGain));
    QCOMPARE(spy.at(0).at(1).toInt(), 1);
    QCOMPARE(spy.at(0).at(2).toInt(), sent);
}

void TestPlaybackWidgets::missingTakeMessages_data()
{
    QTest::addColumn<QString>("file"); // "text.wav": not a take; otherwise missing
    QTest::addColumn<QString>("message");

    QTest::newRow("missing file") << "gone.wav"
                                  << "The take is not valid. Please re-import.";
    QTest::newRow("not a take") << "text.wav"
                                << "Unable to play %1 file. Please re-import.";
}

void TestPlaybackWidgets::missingTakeMessages()
{
    QFETCH(QString, file);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(file);
    if (file == "text.wav")
        QVERIFY(TestUtil::writeFile(path, "not audio at all"));
    TransportCtrl t;
    QSignalSpy stopped(&t, &TransportCtrl::playStoped);
    BoxCloser closer;
    t.PlayBackFile(path);
    QCOMPARE(closer.texts, QStringList{message.arg(path)});
    QCOMPARE(stopped.size(), 1);
    QVERIFY(!t.isPlaying());
}

QTEST_MAIN(TestPlaybackWidgets)
#include "tst_playbackwidgets.moc"
