#include "GuiTestUtil.h"
#include "PlaybackThread.h"
#include "TestUtil.h"
#include "TransportCtrl.h"
#include "Velmora.h"
#include "WindowLayouts.h"

#include <QAction>
#include <QDataStream>
#include <QDir>
#include <QDockWidget>
#include <QMainWindow>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// Window layouts: the layout file, the settings of each mode, the shipped
// layouts, windows kept whole on a screen; and the main window's start and close.
class TestWindowLayouts : public QObject
{
    Q_OBJECT

private:
    // A main window with the tool windows the layouts know, none shown.
    struct Fixture {
        QMainWindow window;
        QMap<QString, QWidget*> tools;
        Fixture()
        {
            for (const char* name :
                 {"meters", "reportmanager", "splitcombine", "transportcontrol", "transportview"}) {
                auto* dock = new QDockWidget(QLatin1String(name), &window);
                dock->setObjectName(QLatin1String(name));
                window.addDockWidget(Qt::BottomDockWidgetArea, dock);
                dock->setFloating(true);
                dock->hide();
                tools.insert(QLatin1String(name), dock);
            }
            auto* list = new QWidget(&window, Qt::Window);
            list->setObjectName(QStringLiteral("livetakelist"));
            tools.insert(list->objectName(), list);
            window.setGeometry(40, 60, 500, 300);
        }
    };
    static QString appData()
    {
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    }
    // Wholly on the screen, as far as the window's minimum width allows.
    static bool onScreen(const QWidget& window)
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect frame = window.frameGeometry();
        return screen.contains(frame.topLeft()) && frame.bottom() <= screen.bottom() &&
               (frame.right() <= screen.right() || window.width() == window.minimumWidth());
    }

private slots:
    void initTestCase();
    void init();

    void fileFormat_data();
    void fileFormat();
    void unreadableFilesAreRefused_data();
    void unreadableFilesAreRefused();
    void roundTripPerMode_data();
    void roundTripPerMode();
    void missingShippedLayoutIsReported();
    void geometryFromAnotherScreenWidth_data();
    void geometryFromAnotherScreenWidth();
    void placeOnScreens_data();
    void placeOnScreens();

    void startLoadsTheEditLayout_data();
    void startLoadsTheEditLayout();
    void restoreDefaultLayout();
    void closeSavesTheLayoutAndStopsPlayback();
};

void TestWindowLayouts::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    GuiTestUtil::initApplication();
}

void TestWindowLayouts::init()
{
    QSettings().clear();
    for (const char* name : {"Layout0.vlt", "Layout1.vlt"})
        QFile::remove(appData() + QLatin1Char('/') + QLatin1String(name));
}

void TestWindowLayouts::fileFormat_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("written");
    QTest::newRow("largest the length byte holds") << 255 << true;
    QTest::newRow("one byte too long") << 256 << false;
}

void TestWindowLayouts::fileFormat()
{
    QFETCH(int, length);
    QFETCH(bool, written);
    QTemporaryDir dir;
    const QString path = dir.filePath("Layout0.vlt");
    const QByteArray before("\x03old");
    QVERIFY(TestUtil::writeFile(path, before));
    const QByteArray block(length, 'g');
    QString error;
    QCOMPARE(WindowLayouts::writeLayoutFile(path, block, &error), written);
    // A refused block leaves the earlier layout readable and nothing behind.
    QCOMPARE(TestUtil::readFile(path), written ? char(quint8(length)) + block : before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"Layout0.vlt"});
}

void TestWindowLayouts::unreadableFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("promises 255, holds 254") << char(255) + QByteArray(254, 'x');
    QTest::newRow("not a saved geometry") << char(8) + QByteArray("garbage!");
}

void TestWindowLayouts::unreadableFilesAreRefused()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    Fixture f;
    const QString path = dir.filePath("Layout0.vlt");
    QVERIFY(TestUtil::writeFile(path, content));
    const QRect before = f.window.geometry();
    QString error;
    QVERIFY(!WindowLayouts(&f.window, dir.path()).load("0", 0, &error));
    QCOMPARE(error, "Error reading " + path);
    QCOMPARE(f.window.geometry(), before);
}

void TestWindowLayouts::roundTripPerMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<QString>("foreignKey"); // the other mode's
    QTest::newRow("edit") << 0
                          << QStringList{"meters", "reportmanager", "splitcombine",
                                         "transportcontrol"}
                          << "controlModeMainPosDocked";
    QTest::newRow("control") << 1 << QStringList{"transportview", "livetakelist"}
                             << "mainPosDocked";
}

void TestWindowLayouts::roundTripPerMode()
{
    QFETCH(int, mode);
    QFETCH(QStringList, tools);
    QFETCH(QString, foreignKey);
    QTemporaryDir dir;
    Fixture f;
    WindowLayouts layouts(&f.window, dir.path());
    QSettings settings;
    settings.setValue("Preferences/" + foreignKey, QPoint(7, 7));
    for (int n = 0; n < tools.size(); ++n) {
        f.tools[tools[n]]->setGeometry(100 + 20 * n, 120, 200, 150);
        f.tools[tools[n]]->show();
    }
    const QRect window = f.window.geometry();
    QString error;
    QVERIFY2(layouts.save(WindowLayouts::modeLayoutName(mode), &error), qPrintable(error));
    QCOMPARE(settings.value("Preferences/" + foreignKey).toPoint(), QPoint(7, 7));

    f.window.setGeometry(5, 6, 300, 200);
    for (QWidget* tool : std::as_const(f.tools)) {
        tool->setGeometry(0, 30, 90, 80);
        tool->hide();
    }
    auto* view = static_cast<QDockWidget*>(f.tools["transportview"]);
    view->setFloating(false);
    QVERIFY(layouts.load(WindowLayouts::modeLayoutName(mode), mode, &error));
    QCOMPARE(f.window.geometry(), window);
    for (int n = 0; n < tools.size(); ++n) {
        QCOMPARE(f.tools[tools[n]]->geometry(), QRect(100 + 20 * n, 120, 200, 150));
        // Edit-mode visibility comes from the mode switch, not the layout.
        QCOMPARE(f.tools[tools[n]]->isVisible(), mode == 1);
    }
    QCOMPARE(view->isFloating(), mode == 1);
}

void TestWindowLayouts::missingShippedLayoutIsReported()
{
    QTemporaryDir user;
    QTemporaryDir empty;
    Fixture f;
    const QRect before = f.window.geometry();
    QString error;
    QVERIFY(!WindowLayouts(&f.window, user.path(), empty.path()).load("0", 0, &error));
    const QString path = empty.filePath(WindowLayouts::fileName("defaultdocked0"));
    QVERIFY2(error.startsWith("Failed to open " + path + "\n"), qPrintable(error));
    QCOMPARE(f.window.geometry(), before);
}

void TestWindowLayouts::geometryFromAnotherScreenWidth_data()
{
    QTest::addColumn<double>("factor");
    QTest::newRow("saved on a screen three times wider") << 3.0;
    QTest::newRow("saved on a screen half as wide") << 0.5;
}

void TestWindowLayouts::geometryFromAnotherScreenWidth()
{
    QFETCH(double, factor);
    QMainWindow saved;
    saved.setGeometry(30, 40, 420, 280);
    QByteArray block = saved.saveGeometry();
    // The saved screen width follows the magic, the version, two rectangles,
    // the screen number and two flags.
    QDataStream patch(&block, QIODevice::ReadWrite);
    patch.setVersion(QDataStream::Qt_4_0);
    patch.device()->seek(4 + 2 + 2 + 16 + 16 + 4 + 1 + 1);
    qint32 width = 0;
    patch >> width;
    patch.device()->seek(patch.device()->pos() - 4);
    patch << qint32(width * factor);

    QMainWindow restored;
    QVERIFY(WindowLayouts::restoreMainGeometry(&restored, block));
    QCOMPARE(restored.geometry(), saved.geometry());
}

void TestWindowLayouts::placeOnScreens_data()
{
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QList<QRect>>("screens"); // available areas; the first is the primary
    QTest::addColumn<QRect>("placed");
    const QRect wide(0, 0, 1920, 1050);
    const QRect right(1920, 0, 1280, 1024);
    const QRect laptop(0, 0, 1366, 740); // 1366 x 768 less a panel
    QTest::newRow("on the primary")
        << QRect(100, 100, 800, 600) << QList<QRect>{wide} << QRect(100, 100, 800, 600);
    QTest::newRow("on the second screen")
        << QRect(2000, 100, 800, 600) << QList<QRect>{wide, right} << QRect(2000, 100, 800, 600);
    QTest::newRow("second screen unplugged")
        << QRect(2000, 100, 800, 600) << QList<QRect>{wide} << QRect(10, 25, 800, 600);
    QTest::newRow("title strip 20 px on screen")
        << QRect(1900, 100, 800, 600) << QList<QRect>{wide} << QRect(10, 25, 800, 600);
    QTest::newRow("primary left of the origin")
        << QRect(5000, 5000, 800, 600) << QList<QRect>{QRect(-1280, 0, 1280, 1024), wide}
        << QRect(-1270, 25, 800, 600);
    QTest::newRow("default layout on a laptop")
        << QRect(10, 25, 1240, 760) << QList<QRect>{laptop} << QRect(10, 0, 1240, 740);
    QTest::newRow("bottom below the screen")
        << QRect(100, 700, 800, 600) << QList<QRect>{wide, right} << QRect(100, 450, 800, 600);
    QTest::newRow("larger than the screen it is on")
        << QRect(1950, 10, 2500, 1400) << QList<QRect>{wide, right} << QRect(1920, 0, 1280, 1024);
}

void TestWindowLayouts::placeOnScreens()
{
    QFETCH(QRect, frame);
    QFETCH(QList<QRect>, screens);
    QFETCH(QRect, placed);
    QCOMPARE(WindowLayouts::placeOnScreens(frame, screens, screens.first()), placed);
}

void TestWindowLayouts::startLoadsTheEditLayout_data()
{
    QTest::addColumn<QByteArray>("userLayout"); // empty: none
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("first start") << QByteArray() << QStringList();
    QTest::newRow("layout cut short") << QByteArray("\x42\x01\xd9", 3)
                                      << QStringList{"Error reading " + appData() + "/Layout0.vlt"};
}

void TestWindowLayouts::startLoadsTheEditLayout()
{
    QFETCH(QByteArray, userLayout);
    QFETCH(QStringList, messages);
    if (!userLayout.isEmpty())
        QVERIFY(TestUtil::writeFile(appData() + "/Layout0.vlt", userLayout));
    GuiTestUtil::MessageBoxAnswerer answer(QMessageBox::Ok);
    Velmora window;
    QCOMPARE(answer.texts, messages);
    // The shipped layout is larger than this screen: the window opens on it whole.
    QVERIFY(onScreen(window));
}

void TestWindowLayouts::restoreDefaultLayout()
{
    Velmora window;
    window.show();
    auto* reports = window.findChild<QDockWidget*>("reportmanager");
    reports->show();
    window.setGeometry(200, 150, 300, 200);
    window.findChild<QAction*>("actionRestoreDefaultLayout")->trigger();
    QVERIFY(!reports->isVisible());
    QVERIFY(window.width() > 300 && onScreen(window));
}

void TestWindowLayouts::closeSavesTheLayoutAndStopsPlayback()
{
    QTemporaryDir dir;
    if (qEnvironmentVariableIsEmpty("ALSA_CONFIG_PATH"))
        qputenv("ALSA_CONFIG_PATH", VELMORA_TEST_DATA "/alsa-file-capture.conf");
    qputenv("VELMORA_ALSA_CAPTURE", dir.filePath("capture.raw").toLocal8Bit());
    WavBuilder take;
    take.chunk("fmt ", WavBuilder::fmtBody(2, 48000, 16));
    take.chunk("data", TestUtil::pcm(48000 * 30, 2, 16));
    QVERIFY(take.writeTo(dir.filePath("T0001.WAV")));

    Velmora window;
    window.show();
    window.move(60, 70);
    auto* transport = window.findChild<TransportCtrl*>();
    transport->PlayBackFile(dir.filePath("T0001.WAV"));
    QVERIFY(transport->engine().isRunning());
    QVERIFY(window.close());
    QVERIFY(!transport->engine().isRunning());
    QVERIFY(QFile::exists(appData() + "/Layout0.vlt"));
    QCOMPARE(QSettings().value("Preferences/mainPosDocked").toPoint(), QPoint(60, 70));
}

QTEST_MAIN(TestWindowLayouts)
#include "tst_windowlayouts.moc"
