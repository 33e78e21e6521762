// The playback windows in the main window: a double click on a take plays it
// through the transport window, the mixer follows, and the Play action reads
// Pause until the take ends.
#include "AudioFileModel.h"
#include "FileListManagement.h"
#include "Mixer.h"
#include "TestUtil.h"
#include "TransportCtrl.h"
#include "Velmora.h"

#include <QDockWidget>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

class TestPlaybackWiring : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void doubleClickPlaysTheTake();
};

void TestPlaybackWiring::initTestCase()
{
    // The window reads its shipped layout and style sheet from the resources.
    Q_INIT_RESOURCE(Velmora);
    QStandardPaths::setTestModeEnabled(true);
}

void TestPlaybackWiring::doubleClickPlaysTheTake()
{
    QTemporaryDir dir;
    if (qEnvironmentVariableIsEmpty("ALSA_CONFIG_PATH"))
        qputenv("ALSA_CONFIG_PATH", VELMORA_TEST_DATA "/alsa-file-capture.conf");
    qputenv("VELMORA_ALSA_CAPTURE", dir.filePath("capture.raw").toLocal8Bit());
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

QTEST_MAIN(TestPlaybackWiring)
#include "tst_playbackwiring.moc"
