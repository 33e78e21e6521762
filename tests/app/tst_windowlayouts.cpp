#include "GuiTestUtil.h"
#include "TestUtil.h"
#include "Velmora.h"
#include "WindowLayouts.h"

#include <QAction>
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
            for (const char* name : {"meters", "reportmanager", "splitcombine", "transportcontrol",
                                     "transportview", "livetakelist"}) {
                auto* dock = new QDockWidget(QLatin1String(name), &window);
                dock->setObjectName(QLatin1String(name));
                window.addDockWidget(Qt::BottomDockWidgetArea, dock);
                dock->setFloating(true);
                dock->hide();
                tools.insert(QLatin1String(name), dock);
            }
            window.setGeometry(40, 60, 500, 300);
        }
    };
    // Wholly on the screen, as far as the window's minimum width allows.
    static bool onScreen(const QWidget& window)
    {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect frame = window.frameGeometry();
        return screen.contains(frame.topLeft()) && frame.bottom() <= screen.bottom() &&
               (frame.right() <= screen.right() || window.width() == window.minimumWidth());
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        GuiTestUtil::initApplication();
    }

    void init()
    {
        QSettings().clear();
        const QDir user(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
        for (const char* name : {"Layout0.vlt", "Layout1.vlt"})
            QFile::remove(user.filePath(QLatin1String(name)));
    }

    void tooLongGeometryIsRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Layout0.vlt");
        QVERIFY(TestUtil::writeFile(path, "\x03old"));
        QString error;
        // The length byte could not describe it: the file could never be read back.
        QVERIFY(!WindowLayouts::writeLayoutFile(path, QByteArray(256, 'g'), &error));
        QVERIFY(error.startsWith("Error writing to " + path));
        // The earlier layout stays readable and nothing is left behind.
        QCOMPARE(TestUtil::readFile(path), QByteArray("\x03old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"Layout0.vlt"});
    }

    void loadFailuresAreReported_data()
    {
        QTest::addColumn<QByteArray>("content"); // of the user layout; "none": none at all
        QTest::newRow("none, none shipped") << QByteArray("none");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("promises 255, holds 254") << char(255) + QByteArray(254, 'x');
        QTest::newRow("not a saved geometry") << char(8) + QByteArray("garbage!");
    }

    void loadFailuresAreReported()
    {
        QFETCH(QByteArray, content);
        QTemporaryDir user;
        QTemporaryDir shipped; // empty
        Fixture f;
        QString path = user.filePath("Layout0.vlt");
        const bool none = content == "none";
        if (!none)
            QVERIFY(TestUtil::writeFile(path, content));
        else
            path = shipped.filePath(WindowLayouts::fileName("defaultdocked0"));
        const QRect before = f.window.geometry();
        QString error;
        QVERIFY(!WindowLayouts(&f.window, user.path(), shipped.path()).load("0", 0, &error));
        QVERIFY2(
            error.startsWith(QString(none ? "Failed to open %1\n" : "Error reading %1").arg(path)),
            qPrintable(error));
        QCOMPARE(f.window.geometry(), before);
    }

    void roundTripPerMode_data()
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

    void roundTripPerMode()
    {
        QFETCH(int, mode);
        QFETCH(QStringList, tools);
        QFETCH(QString, foreignKey);
        QTemporaryDir dir;
        Fixture f;
        WindowLayouts layouts(&f.window, dir.path());
        QSettings().setValue("Preferences/" + foreignKey, QPoint(7, 7));
        for (int n = 0; n < tools.size(); ++n) {
            f.tools[tools[n]]->setGeometry(100 + 20 * n, 120, 200, 150);
            f.tools[tools[n]]->show();
        }
        const QRect window = f.window.geometry();
        QString error;
        QVERIFY2(layouts.save(QString::number(mode), &error), qPrintable(error));
        QCOMPARE(QSettings().value("Preferences/" + foreignKey).toPoint(), QPoint(7, 7));

        f.window.setGeometry(5, 6, 300, 200);
        for (QWidget* tool : std::as_const(f.tools)) {
            tool->setGeometry(0, 30, 90, 80);
            tool->hide();
        }
        auto* view = static_cast<QDockWidget*>(f.tools["transportview"]);
        view->setFloating(false);
        QVERIFY(layouts.load(QString::number(mode), mode, &error));
        QCOMPARE(f.window.geometry(), window);
        for (int n = 0; n < tools.size(); ++n) {
            QCOMPARE(f.tools[tools[n]]->geometry(), QRect(100 + 20 * n, 120, 200, 150));
            // Edit-mode visibility comes from the mode switch, not the layout.
            QCOMPARE(f.tools[tools[n]]->isVisible(), mode == 1);
        }
        QCOMPARE(view->isFloating(), mode == 1);
    }

    void placeOnScreens_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QList<QRect>>("screens"); // available areas; the first is the primary
        QTest::addColumn<QRect>("placed");
        const QRect wide(0, 0, 1920, 1050);
        const QRect right(1920, 0, 1280, 1024);
        const QRect laptop(0, 0, 1366, 740); // 1366 x 768 less a panel
        QTest::newRow("second screen unplugged")
            << QRect(2000, 100, 800, 600) << QList<QRect>{wide} << QRect(10, 25, 800, 600);
        QTest::newRow("default layout on a laptop")
            << QRect(10, 25, 1240, 760) << QList<QRect>{laptop} << QRect(10, 0, 1240, 740);
        QTest::newRow("bottom below the screen")
            << QRect(100, 700, 800, 600) << QList<QRect>{wide, right} << QRect(100, 450, 800, 600);
        QTest::newRow("larger than the screen it is on")
            << QRect(1950, 10, 2500, 1400) << QList<QRect>{wide, right}
            << QRect(1920, 0, 1280, 1024);
    }

    void placeOnScreens()
    {
        QFETCH(QRect, frame);
        QFETCH(QList<QRect>, screens);
        QFETCH(QRect, placed);
        QCOMPARE(WindowLayouts::placeOnScreens(frame, screens, screens.first()), placed);
    }

    void startRestoreDefaultAndClose()
    {
        GuiTestUtil::MessageBoxAnswerer answer(QMessageBox::Ok);
        Velmora window;
        QVERIFY(answer.texts.isEmpty());
        // The shipped layout is larger than this screen: the window opens on it whole.
        QVERIFY(onScreen(window));
        window.show();
        auto* reports = window.findChild<QDockWidget*>("reportmanager");
        reports->show();
        window.setGeometry(200, 150, 300, 200);
        window.findChild<QAction*>("actionRestoreDefaultLayout")->trigger();
        QVERIFY(!reports->isVisible());
        QVERIFY(window.width() > 300 && onScreen(window));
        window.move(60, 70);
        QVERIFY(window.close());
        QCOMPARE(QSettings().value("Preferences/mainPosDocked").toPoint(), QPoint(60, 70));
    }
};

QTEST_MAIN(TestWindowLayouts)
#include "tst_windowlayouts.moc"
