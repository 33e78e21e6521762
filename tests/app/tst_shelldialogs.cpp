#include "GuiTestUtil.h"
#include "PreferenceDlg.h"
#include "Preferences.h"
#include "Velmora.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using Check = QList<bool>; // transport, mixer, last 10 takes

// The Preferences dialog and the Help menu's pages, driven through the main
// window's actions.
class TestShellDialogs : public QObject
{
    Q_OBJECT

public slots:
    // Receives the URLs the desktop would open (QDesktopServices handler).
    void openUrl(const QUrl& url) { m_opened << url; }

private:
    QTemporaryDir m_settingsDir;
    QList<QUrl> m_opened;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        GuiTestUtil::initApplication();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
    }

    void init()
    {
        QSettings().clear();
        m_opened.clear();
    }

    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }

    void dialogShowsStoredPreferences_data()
    {
        QTest::addColumn<QVariant>("stored"); // all three keys; invalid: absent
        QTest::addColumn<Check>("checked");
        QTest::newRow("first run") << QVariant() << Check{true, true, false};
        // Only 2 means checked, as every reader of the keys takes it.
        QTest::newRow("partly checked") << QVariant(1) << Check{false, false, false};
        QTest::newRow("not a number keeps the default")
            << QVariant("yes") << Check{true, true, false};
    }

    void dialogShowsStoredPreferences()
    {
        QFETCH(QVariant, stored);
        QFETCH(Check, checked);
        QSettings settings;
        for (const char* key : {Preferences::showTransportKey(), Preferences::showMixerKey(),
                                Preferences::showAllTakesKey()})
            if (stored.isValid())
                settings.setValue("Preferences/" + QLatin1String(key), stored);
        PreferenceDlg dialog;
        Check shown;
        for (const char* box :
             {"checkBox_showTransport", "checkBox_showMixer", "checkBox_showAllTakes"})
            shown << dialog.findChild<QCheckBox*>(QLatin1String(box))->isChecked();
        QCOMPARE(shown, checked);
        QCOMPARE(Preferences::load().liveTakeCount(), checked.at(2) ? 10 : 3);
    }

    void applyWritesAndCancelLeavesTheStore_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QVariant>("transport"); // the stored check state afterwards
        QTest::addColumn<int>("updates");        // preferencesUpdated() signals
        QTest::newRow("apply") << "pushButton_Apply" << QVariant(0) << 1;
        QTest::newRow("cancel") << "pushButton_Cancel" << QVariant() << 0;
    }

    void applyWritesAndCancelLeavesTheStore()
    {
        QFETCH(QString, button);
        QFETCH(QVariant, transport);
        QFETCH(int, updates);
        Velmora window;
        QSignalSpy updated(&window, &Velmora::preferencesUpdated);
        bool seen = false;
        QTimer::singleShot(0, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            QVERIFY(seen = dialog != nullptr);
            dialog->findChild<QCheckBox*>("checkBox_showTransport")->click();
            dialog->findChild<QPushButton*>(button)->click();
        });
        window.findChild<QAction*>("actionPreferences")->trigger();
        QVERIFY(seen);
        QCOMPARE(updated.count(), updates);
        QCOMPARE(QSettings().value("Preferences/showTransportOnPlay"), transport);
    }

    void helpPagesOpenTheInstalledGuide_data()
    {
        QTest::addColumn<QString>("actionName");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("opened"); // the page opened, or the warning shown
        QTest::newRow("user guide") << "actionUserGuide" << true << "index.html";
        QTest::newRow("support missing")
            << "actionSupport" << false
            << "Unable to open the Support page.\n Its pages are not installed.";
    }

    void helpPagesOpenTheInstalledGuide()
    {
        QFETCH(QString, actionName);
        QFETCH(bool, installed);
        QFETCH(QString, opened);
        // The platform's data folders are where an installed guide is found.
        QTemporaryDir data;
        const QString guide = data.filePath("velmora/guide");
        if (installed) {
            QVERIFY(QDir().mkpath(guide));
            for (const char* page : {"index.html", "support.html"})
                QVERIFY(
                    QFile(QDir(guide).filePath(QLatin1String(page))).open(QIODevice::WriteOnly));
        }
        qputenv("XDG_DATA_DIRS", QFile::encodeName(data.path()));
        Velmora window;
        GuiTestUtil::MessageBoxAnswerer answer(QMessageBox::Ok);
        window.findChild<QAction*>(actionName)->trigger();
        if (installed)
            QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(QDir(guide).filePath(opened))});
        else
            QCOMPARE(answer.texts, QStringList{opened});
        QCOMPARE(m_opened.isEmpty(), answer.texts.size() == 1);
    }
};

QTEST_MAIN(TestShellDialogs)
#include "tst_shelldialogs.moc"
