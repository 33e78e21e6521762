// The playback windows offscreen: the mixer's solo and mute, the
// transport window's refusals of takes it cannot play, and in the main window
// a double click on a take that plays it through the transport window, the
// mixer following and the Play action reading Pause until the take ends.
#include "AudioFileModel.h"
#include "FileListManagement.h"
#include "Mixer.h"
#include "PlaybackThread.h"
#include "TestUtil.h"
#include "TransportCtrl.h"
#include "Velmora.h"

#include <QApplication>
#include <QDockWidget>
#include <QMessageBox>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
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

// The checked state of the named buttons ("mute", "solo") of every strip.
QList<bool> checked(Mixer& m, const QString& button)
{
    QList<bool> out;
    for (int i = 1; i <= m.stripCount(); ++i)
        out << m.findChild<QToolButton*>(button + QString::number(i))->isChecked();
    return out;
}

} // namespace

class TestPlaybackWindows : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void soloAndMute_data();
    void soloAndMute();
    void missingTakeMessages_data();
    void missingTakeMessages();
    void doubleClickPlaysTheTake();

private:
    QTemporaryDir m_dir;
};

void TestPlaybackWindows::initTestCase()
{
    // The main window reads its shipped layout and style sheet from the resources.
    Q_INIT_RESOURCE(Velmora);
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    if (qEnvironmentVariableIsEmpty("ALSA_CONFIG_PATH"))
        qputenv("ALSA_CONFIG_PATH", VELMORA_TEST_DATA "/alsa-file-capture.conf");
    qputenv("VELMORA_ALSA_CAPTURE", m_dir.filePath(QStringLiteral("capture.raw")).toLocal8Bit());
}

void TestPlaybackWindows::soloAndMute_data()
{
    QTest::addColumn<QStringList>("clicks"); // "solo2", "mute3": buttons of 4 strips
    QTest::addColumn<QList<bool>>("muted");
    QTest::addColumn<QList<bool>>("soloed");

    using B = QList<bool>;
    QTest::newRow("solo mutes the others")
        << QStringList{"solo2"} << B{true, false, true, true} << B{false, true, false, false};
    QTest::newRow("releasing one of two solos silences that strip")
        << QStringList{"solo2", "solo3", "solo2"} << B{true, true, false, true}
        << B{false, false, true, false};
}

void TestPlaybackWindows::soloAndMute()
{
    QFETCH(QStringList, clicks);
    QFETCH(QList<bool>, muted);
    QFETCH(QList<bool>, soloed);

    Mixer mixer(nullptr, 4);
    QSignalSpy spy(&mixer, &Mixer::commandUpdate);
    for (const QString& name : clicks)
        mixer.findChild<QToolButton*>(name)->click();
    QCOMPARE(checked(mixer, "mute"), muted);
    QCOMPARE(checked(mixer, "solo"), soloed);
    // The engine hears the last mute state sent per channel: the same.
    QList<bool> sent(4, false);
    for (const auto& args : spy)
        if (args.at(0).toInt() == Mixer::CmdMute)
            sent[args.at(1).toInt()] = args.at(2).toBool();
    QCOMPARE(sent, muted);
}

void TestPlaybackWindows::missingTakeMessages_data()
{
    QTest::addColumn<QString>("file"); // "text.wav": not a take; otherwise missing
    QTest::addColumn<QString>("message");

    QTest::newRow("missing file") << "gone.wav"
                                  << "The take is not valid. Please re-import.";
    QTest::newRow("not a take") << "text.wav"
                                << "Unable to play %1 file. Please re-import.";
}

void TestPlaybackWindows::missingTakeMessages()
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

void TestPlaybackWindows::doubleClickPlaysTheTake()
{
    QTemporaryDir dir;
    QByteArray data;
    for (int f = 0; f < 48000; ++f)
        for (int c = 0; c < 4; ++c)
            data.append(char(1)).append(char(f % 50)).append(char(c + 1));
    WavBuilder w;
    w.chunk("fmt ", WavBuilder::fmtBody(4, 48000, 24));
    w.chunk("data", data);
    QVERIFY(w.writeTo(dir.filePath("T0001.WAV")));

    Velmora window;
    QSignalSpy imported(window.editor(), &FileListManagement::importFinished);
    window.openPaths({dir.path()});
    QVERIFY(imported.wait(60000));
    QCOMPARE(window.model()->rowCount(), 1);
    window.show();
    auto* view = window.editor()->findChild<QTreeView*>("treeView");
    auto* transport = window.findChild<TransportCtrl*>();
    auto* mixer = window.findChild<Mixer*>();
    QVERIFY(view && transport && mixer);
    auto* play = window.findChild<QAction*>("actionPlay");
    QSignalSpy started(transport, &TransportCtrl::playStarted);
    QSignalSpy stopped(transport, &TransportCtrl::playStoped);
    const QRect cell = view->visualRect(view->model()->index(0, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.first().at(0).toString(), dir.filePath("T0001.WAV"));
    QCOMPARE(mixer->activeChannels(), 4);
    QCOMPARE(play->text(), QStringLiteral("Pause"));
    QVERIFY(window.findChild<QDockWidget*>("transportcontrol")->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(stopped.size(), 1, 30000);
    QCOMPARE(play->text(), QStringLiteral("Play"));
}

QTEST_MAIN(TestPlaybackWindows)
#include "tst_playbackwindows.moc"
