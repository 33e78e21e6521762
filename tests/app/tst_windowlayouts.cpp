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
// layouts, windows kept on a screen; and the main window's start and close.
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
    static QStringList editKeys()
    {
        return {"mainSizeDocked",         "mainPosDocked",         "meterGeometry",
                "meterVisible",           "reportmanagerGeometry", "reportmanagerVisible",
                "splitcombineGeometry",   "splitcombineVisible",   "transportcontrolGeometry",
                "transportcontrolVisible"};
    }
    static QStringList controlKeys()
    {
        return {"controlModeMainSizeDocked", "controlModeMainPosDocked", "transportviewGeometry",
                "transportviewVisible",      "transportviewFloating",    "livetakeListGeometry",
                "livetakeListVisible"};
    }
    static QString appData()
    {
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
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
    void shippedLayoutWhenTheUserHasNone_data();
    void shippedLayoutWhenTheUserHasNone();
    void geometryFromAnotherScreenWidth_data();
    void geometryFromAnotherScreenWidth();
    void placeOnScreens_data();
    void placeOnScreens();
    void offScreenWindowMovedBack();

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
    QSettings settings;
    settings.beginGroup(QStringLiteral("Preferences"));
    for (const QString& key : editKeys() + controlKeys())
        settings.remove(key);
    for (const char* name : {"Layout0.vlt", "Layout1.vlt"})
        QFile::remove(appData() + QLatin1Char('/') + QLatin1String(name));
}

void TestWindowLayouts::fileFormat_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("written");
    QTest::newRow("saved geometry size") << 66 << true;
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
    if (written) {
        QCOMPARE(TestUtil::readFile(path), char(quint8(length)) + block);
    } else {
        QVERIFY2(error.startsWith("Error writing to " + path + "\n"), qPrintable(error));
        // The earlier layout stays readable and nothing else is left behind.
        QCOMPARE(TestUtil::readFile(path), before);
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"Layout0.vlt"});
}

void TestWindowLayouts::unreadableFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("promises 66, holds 10") << char(66) + QByteArray(10, 'x');
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
    QTest::addColumn<QStringList>("foreignKeys");
    QTest::newRow("edit") << 0
                          << QStringList{"meters", "reportmanager", "splitcombine",
                                         "transportcontrol"}
                          << controlKeys();
    QTest::newRow("control") << 1 << QStringList{"transportview", "livetakelist"} << editKeys();
}

void TestWindowLayouts::roundTripPerMode()
{
    QFETCH(int, mode);
    QFETCH(QStringList, tools);
    QFETCH(QStringList, foreignKeys);
    QTemporaryDir dir;
    Fixture f;
    WindowLayouts layouts(&f.window, dir.path());
    QSettings settings;
    settings.beginGroup(QStringLiteral("Preferences"));
    for (const QString& key : foreignKeys)
        settings.setValue(key, QStringLiteral("the other mode's"));
    int n = 0;
    for (const QString& name : tools)
        f.tools[name]->setGeometry(100 + 20 * n++, 120, 200, 150);
    if (mode == 1) {
        f.tools["transportview"]->show();
        f.tools["livetakelist"]->show();
    }
    const QPoint pos = f.window.pos();
    const QSize size = f.window.size();
    QString error;
    QVERIFY2(layouts.save(WindowLayouts::modeLayoutName(mode), &error), qPrintable(error));
    // Each mode writes its own keys only.
    for (const QString& key : foreignKeys)
        QCOMPARE(settings.value(key).toString(), QStringLiteral("the other mode's"));

    f.window.setGeometry(5, 6, 300, 200);
    for (const QString& name : tools) {
        f.tools[name]->setGeometry(0, 30, 90, 80);
        f.tools[name]->hide();
    }
    auto* view = static_cast<QDockWidget*>(f.tools["transportview"]);
    view->setFloating(false);
    QVERIFY(layouts.load(WindowLayouts::modeLayoutName(mode), mode, &error));

    QCOMPARE(f.window.pos(), pos);
    QCOMPARE(f.window.size(), size);
    n = 0;
    for (const QString& name : tools)
        QCOMPARE(f.tools[name]->geometry(), QRect(100 + 20 * n++, 120, 200, 150));
    if (mode == 1) {
        QVERIFY(view->isFloating());
        QVERIFY(!view->isHidden());
        QVERIFY(!f.tools["livetakelist"]->isHidden());
    }
}

void TestWindowLayouts::shippedLayoutWhenTheUserHasNone_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("shipped");
    QTest::newRow("control") << 1 << true;
    QTest::newRow("edit, none shipped") << 0 << false;
}

void TestWindowLayouts::shippedLayoutWhenTheUserHasNone()
{
    QFETCH(int, mode);
    QFETCH(bool, shipped);
    QTemporaryDir user;
    QTemporaryDir empty;
    Fixture f;
    f.tools["meters"]->show();
    const QRect before = f.window.geometry();
    WindowLayouts layouts(&f.window, user.path(), shipped ? QString() : empty.path());
    QString error;
    QCOMPARE(layouts.load(WindowLayouts::modeLayoutName(mode), mode, &error), shipped);
    if (shipped) {
        QCOMPARE(f.window.pos(), WindowLayouts::defaultPosition());
        QVERIFY(f.window.size() != before.size());
        QVERIFY(!f.tools["meters"]->isHidden()); // tool windows keep their state
    } else {
        const QString path = empty.filePath(WindowLayouts::fileName("defaultdocked0"));
        QVERIFY2(error.startsWith("Failed to open " + path + "\n"), qPrintable(error));
        QCOMPARE(f.window.geometry(), before);
    }
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
    // The width of the screen it was saved on follows the magic, the version,
    // two rectangles, the screen number and two flags.
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
    QTest::addColumn<QList<QRect>>("screens"); // the first is the primary
    QTest::addColumn<QRect>("placed");
    const QRect wide(0, 0, 1920, 1050);
    const QRect right(1920, 0, 1280, 1024);
    QTest::newRow("on the primary")
        << QRect(100, 100, 800, 600) << QList<QRect>{wide} << QRect(100, 100, 800, 600);
    QTest::newRow("on the second screen")
        << QRect(2000, 100, 800, 600) << QList<QRect>{wide, right} << QRect(2000, 100, 800, 600);
    QTest::newRow("second screen unplugged")
        << QRect(2000, 100, 800, 600) << QList<QRect>{wide} << QRect(10, 25, 800, 600);
    QTest::newRow("title strip 20 px on screen")
        << QRect(1900, 100, 800, 600) << QList<QRect>{wide} << QRect(10, 25, 800, 600);
    QTest::newRow("larger than the primary")
        << QRect(3000, 0, 2500, 1400) << QList<QRect>{QRect(0, 0, 1366, 738)}
        << QRect(0, 0, 1366, 738);
    QTest::newRow("primary left of the origin")
        << QRect(5000, 5000, 800, 600) << QList<QRect>{QRect(-1280, 0, 1280, 1024), wide}
        << QRect(-1270, 25, 800, 600);
}

void TestWindowLayouts::placeOnScreens()
{
    QFETCH(QRect, frame);
    QFETCH(QList<QRect>, screens);
    QFETCH(QRect, placed);
    QCOMPARE(WindowLayouts::placeOnScreens(frame, screens, screens.first()), placed);
}

void TestWindowLayouts::offScreenWindowMovedBack()
{
    QTemporaryDir dir;
    Fixture f;
    WindowLayouts layouts(&f.window, dir.path());
    QString error;
    QVERIFY(layouts.save("0", &error));
    // Saved on a monitor that is gone now.
    QSettings settings;
    settings.setValue("Preferences/mainPosDocked", QPoint(5000, 4000));
    settings.setValue("Preferences/mainSizeDocked", QSize(400, 300));
    QVERIFY(layouts.load("0", 0, &error));
    const QRect primary = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(f.window.frameGeometry().topLeft(), primary.topLeft() + QPoint(10, 25));
    QCOMPARE(f.window.size(), QSize(400, 300));
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
    if (messages.isEmpty())
        QCOMPARE(window.pos(), WindowLayouts::defaultPosition());
}

void TestWindowLayouts::restoreDefaultLayout()
{
    Velmora window;
    window.show();
    auto* reports = window.findChild<QDockWidget*>("reportmanager");
    reports->show();
    window.move(200, 150);
    auto* restore = window.findChild<QAction*>("actionRestoreDefaultLayout");
    QVERIFY(restore->isEnabled());
    restore->trigger();
    QVERIFY(!reports->isVisible());
    QCOMPARE(window.pos(), WindowLayouts::defaultPosition());
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
    QSettings settings;
    QCOMPARE(settings.value("Preferences/mainPosDocked").toPoint(), QPoint(60, 70));
}

QTEST_MAIN(TestWindowLayouts)
#include "tst_windowlayouts.moc"
