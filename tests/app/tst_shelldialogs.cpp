#include "AboutVelmora.h"
#include "GuiTestUtil.h"
#include "PreferenceDlg.h"
#include "Preferences.h"
#include "Velmora.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using Check = QList<bool>; // transport, mixer, last 10 takes

// The Preferences dialog, the About box and the Help menu's pages, driven
// through the main window's actions where the window adds something (the
// preferencesUpdated() signal, the message when a page cannot be opened).
class TestShellDialogs : public QObject
{
    Q_OBJECT

public slots:
    // Receives the URLs the desktop would open (QDesktopServices handler).
    void openUrl(const QUrl& url) { m_opened << url; }

private:
    QTemporaryDir m_settingsDir;
    QList<QUrl> m_opened;

    static const char* const kBoxes[3];

    // Runs action, then does what with the modal dialog of type T it opens.
    template <typename T> static void onModal(QAction* action, std::function<void(T*)> what)
    {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
                seen = true;
                what(dialog);
            }
        });
        action->trigger();
        QVERIFY(seen);
    }
    static Check boxes(const QWidget& dialog)
    {
        Check checks;
        for (const char* name : kBoxes)
            checks << dialog.findChild<QCheckBox*>(QLatin1String(name))->isChecked();
        return checks;
    }
    static Check stored()
    {
        const Preferences p = Preferences::load();
        return {p.showTransportOnPlay, p.showMixerOnPlay, p.showControlModeAllTakes};
    }

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void dialogShowsStoredPreferences_data();
    void dialogShowsStoredPreferences();
    void applyWritesAndCancelLeavesTheStore_data();
    void applyWritesAndCancelLeavesTheStore();
    void aboutShowsTheVersionAndClosesOnOk();
    void helpPagesOpenTheInstalledGuide_data();
    void helpPagesOpenTheInstalledGuide();
};

const char* const TestShellDialogs::kBoxes[3] = {"checkBox_showTransport", "checkBox_showMixer",
                                                 "checkBox_showAllTakes"};

void TestShellDialogs::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    GuiTestUtil::initApplication();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
}

void TestShellDialogs::init()
{
    QSettings().clear();
    m_opened.clear();
}

void TestShellDialogs::dialogShowsStoredPreferences_data()
{
    QTest::addColumn<QVariantList>("values"); // as stored; invalid = key absent
    QTest::addColumn<Check>("checked");
    QTest::newRow("first run") << QVariantList{QVariant(), QVariant(), QVariant()}
                               << Check{true, true, false};
    QTest::newRow("all checked") << QVariantList{2, 2, 2} << Check{true, true, true};
    QTest::newRow("all unchecked") << QVariantList{0, 0, 0} << Check{false, false, false};
    // Only 2 means checked, as every reader of the keys takes it.
    QTest::newRow("partly checked") << QVariantList{1, 1, 1} << Check{false, false, false};
    QTest::newRow("not a number keeps the default")
        << QVariantList{"yes", "x", "y"} << Check{true, true, false};
}

void TestShellDialogs::dialogShowsStoredPreferences()
{
    QFETCH(QVariantList, values);
    QFETCH(Check, checked);
    const char* keys[] = {Preferences::showTransportKey(), Preferences::showMixerKey(),
                          Preferences::showAllTakesKey()};
    {
        QSettings settings;
        settings.beginGroup(QStringLiteral("Preferences"));
        for (int i = 0; i < 3; ++i)
            if (values.at(i).isValid())
                settings.setValue(QLatin1String(keys[i]), values.at(i));
    }
    PreferenceDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Preferences"));
    QCOMPARE(boxes(dialog), checked);
    QCOMPARE(Preferences::load().liveTakeCount(), checked.at(2) ? 10 : 3);
}

void TestShellDialogs::applyWritesAndCancelLeavesTheStore_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<Check>("afterwards"); // the stored preferences
    QTest::addColumn<int>("updates");      // preferencesUpdated() signals
    // Each row flips the transport and the take-list boxes of a first run.
    QTest::newRow("apply") << "pushButton_Apply" << Check{false, true, true} << 1;
    QTest::newRow("cancel") << "pushButton_Cancel" << Check{true, true, false} << 0;
}

void TestShellDialogs::applyWritesAndCancelLeavesTheStore()
{
    QFETCH(QString, button);
    QFETCH(Check, afterwards);
    QFETCH(int, updates);
    Velmora window;
    QSignalSpy updated(&window, &Velmora::preferencesUpdated);
    auto* action = window.findChild<QAction*>(QStringLiteral("actionPreferences"));
    QVERIFY(action->isEnabled());
    onModal<PreferenceDlg>(action, [&](PreferenceDlg* dialog) {
        dialog->findChild<QCheckBox*>(QLatin1String(kBoxes[0]))->click();
        dialog->findChild<QCheckBox*>(QLatin1String(kBoxes[2]))->click();
        dialog->findChild<QPushButton*>(button)->click();
    });
    QCOMPARE(updated.count(), updates);
    QCOMPARE(stored(), afterwards);
    // Written as check states, as the readers of the keys expect.
    if (updates) {
        QSettings settings;
        QCOMPARE(settings.value("Preferences/showTransportOnPlay"), QVariant(0));
        QCOMPARE(settings.value("Preferences/showControlModeAllTakes"), QVariant(2));
    } else {
        QSettings settings;
        settings.beginGroup(QStringLiteral("Preferences"));
        QVERIFY(settings.childKeys().isEmpty());
    }
}

void TestShellDialogs::aboutShowsTheVersionAndClosesOnOk()
{
    Velmora window;
    auto* action = window.findChild<QAction*>(QStringLiteral("actionAbout"));
    QVERIFY(action->isEnabled());
    onModal<AboutVelmora>(action, [](AboutVelmora* about) {
        QVERIFY(about->findChild<QLabel*>("label_about")->text().contains(AboutVelmora::version()));
        about->findChild<QPushButton*>("pushButton")->click();
        QVERIFY(!about->isVisible());
    });
    QVERIFY(!AboutVelmora::version().isEmpty());
}

void TestShellDialogs::helpPagesOpenTheInstalledGuide_data()
{
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("opened");  // file opened, inside the guide folder
    QTest::addColumn<QString>("message"); // the warning, when it is not opened
    QTest::newRow("user guide") << "actionUserGuide" << true << "index.html"
                                << "";
    QTest::newRow("support") << "actionSupport" << true << "support.html"
                             << "";
    QTest::newRow("user guide missing")
        << "actionUserGuide" << false << ""
        << "Unable to open the User Guide.\n Its pages are not installed.";
    QTest::newRow("support missing")
        << "actionSupport" << false << ""
        << "Unable to open the Support page.\n Its pages are not installed.";
}

void TestShellDialogs::helpPagesOpenTheInstalledGuide()
{
    QFETCH(QString, actionName);
    QFETCH(bool, installed);
    QFETCH(QString, opened);
    QFETCH(QString, message);
    // The platform's data folders are where an installed guide is found.
    QTemporaryDir data;
    const QString guide = data.filePath("velmora/guide");
    if (installed) {
        QVERIFY(QDir().mkpath(guide));
        for (const char* page : {"index.html", "support.html"}) {
            QFile f(QDir(guide).filePath(QLatin1String(page)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
    }
    qputenv("XDG_DATA_DIRS", QFile::encodeName(data.path()));

    Velmora window;
    GuiTestUtil::MessageBoxAnswerer answer(QMessageBox::Ok);
    auto* action = window.findChild<QAction*>(actionName);
    QVERIFY(action->isEnabled());
    action->trigger();
    if (installed) {
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(QDir(guide).filePath(opened))});
        QVERIFY(answer.texts.isEmpty());
    } else {
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(answer.texts, QStringList{message});
    }
}

QTEST_MAIN(TestShellDialogs)
#include "tst_shelldialogs.moc"
