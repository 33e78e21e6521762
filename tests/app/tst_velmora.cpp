#include "AudioFileModel.h"
#include "FileListManagement.h"
#include "GuiTestUtil.h"
#include "Velmora.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The main window: identity, actions and menus, the editor's enabling signals
// and the start and end of the window's life.
class TestVelmora : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Velmora> m_window;

    QAction* action(const char* name) const
    {
        auto* a = m_window->findChild<QAction*>(QLatin1String(name));
        if (!a)
            qFatal("no action %s", name);
        return a;
    }
    QMenu* menu(const char* name) const { return m_window->findChild<QMenu*>(QLatin1String(name)); }
    static QStringList texts(const QMenu* m)
    {
        QStringList t;
        for (const QAction* a : m->actions())
            t << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return t;
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void identity();
    void menusInOrder();
    void exitClosesTheWindow();
    void commandsThatDoNotExistYetStayDisabled();
    void toolWindowsOpenFromActionAndEditor_data();
    void toolWindowsOpenFromActionAndEditor();
    void renameStaysDisabledUntilTheEditorReportsIt();
    void renameAndCopyWithAnEmptyListWarn();
    void enablingSignalsFollowTheEditor();
    void openPathsImportsTakesAsADrop();
    void closingIsAccepted();
};

void TestVelmora::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    GuiTestUtil::initApplication();
}

void TestVelmora::init()
{
    m_window = std::make_unique<Velmora>();
}

void TestVelmora::cleanup()
{
    m_window.reset();
}

void TestVelmora::identity()
{
    // Settings are kept under these names.
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Quorlan"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Velmora"));
    QVERIFY(QFile::exists(Velmora::logoPath()));

    // The style sheet comes from the resources and is applied whole.
    QFile css(Velmora::styleSheetPath());
    QVERIFY(css.open(QIODevice::ReadOnly));
    QCOMPARE(m_window->styleSheet(), QString::fromUtf8(css.readAll()));

    QCOMPARE(m_window->mode(), int(Velmora::EditMode));
    auto* stack = qobject_cast<QStackedWidget*>(m_window->centralWidget());
    QVERIFY(stack);
    QCOMPARE(stack->currentWidget(), static_cast<QWidget*>(m_window->editor()));
    QVERIFY(QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).exists());
}

void TestVelmora::menusInOrder()
{
    QStringList titles;
    for (QAction* a : m_window->menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles, QStringList({"File", "Controls", "Window", "Mode", "Help"}));
    QCOMPARE(texts(menu("menuFile")),
             QStringList({"&Import...", "Copy To...", "Rename...", "&Preferences", "-", "E&xit"}));
    // Edit mode: the rebuilt menus.
    QCOMPARE(texts(menu("menuControls")), QStringList({"Stop", "Play"}));
    QCOMPARE(texts(menu("menuWindow")),
             QStringList({"&Transport", "Split/Comb&ine", "&Reports", "Playback &Mixer", "-",
                          "Restore Default Layout"}));
    QCOMPARE(texts(menu("menuMode")), QStringList({"Edit Mode", "Control Mode"}));
    QCOMPARE(texts(menu("menuHelp")), QStringList({"User Guide", "Support", "&About"}));

    // Rebuilding does not add entries twice.
    m_window->adjustMenuActions();
    QCOMPARE(texts(menu("menuControls")), QStringList({"Stop", "Play"}));
    QCOMPARE(menu("menuWindow")->actions().size(), 6);
}

void TestVelmora::exitClosesTheWindow()
{
    QVERIFY(action("actionEditMode")->isChecked());
    QVERIFY(action("actionEditMode")->actionGroup()->isExclusive());
    QVERIFY(action("actionImport")->isEnabled());
    m_window->show();
    QVERIFY(m_window->isVisible());
    action("actionExit")->trigger();
    QVERIFY(!m_window->isVisible());
}

void TestVelmora::commandsThatDoNotExistYetStayDisabled()
{
    for (const char* name :
         {"actionRecord", "actionLiveTakeList", "actionControlMode"})
        QVERIFY2(!action(name)->isEnabled(), name);
}

void TestVelmora::toolWindowsOpenFromActionAndEditor_data()
{
    QTest::addColumn<QString>("dockName");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("actionName");
    QTest::newRow("reports") << "reportmanager"
                             << "Reports" << QSize(600, 335) << "actionReports";
    QTest::newRow("split/combine") << "splitcombine"
                                   << "Split/Combine" << QSize(455, 406) << "actionSplitCombine";
}

void TestVelmora::toolWindowsOpenFromActionAndEditor()
{
    QFETCH(QString, dockName);
    QFETCH(QString, title);
    QFETCH(QSize, size);
    QFETCH(QString, actionName);
    auto* dock = m_window->findChild<QDockWidget*>(dockName);
    QVERIFY(dock && !dock->isVisible() && dock->isFloating());
    QCOMPARE(dock->windowTitle(), title);
    QCOMPARE(dock->allowedAreas(), Qt::NoDockWidgetArea);
    QCOMPARE(dock->size(), size);
    m_window->show();
    m_window->on_reportsEnabled(true);
    m_window->on_spltCombineEnabled(true);
    QAction* a = action(actionName.toLatin1().constData());
    QVERIFY(a->isEnabled());
    a->trigger();
    QVERIFY(dock->isVisible());
    // The editor's "Create Report" and "Split/Combine" buttons.
    FileListManagement* editor = m_window->editor();
    if (dockName == "reportmanager")
        emit editor->startReports();
    else
        emit editor->startSplitCombine();
    QVERIFY(!dock->isVisible());
}

void TestVelmora::renameStaysDisabledUntilTheEditorReportsIt()
{
    QTemporaryDir dir;
    TakeFileMaker::writeDemoTakes(dir.path(), 2);
    QAction* rename = action("actionRename");
    QVERIFY(!rename->isEnabled());
    QVERIFY(!action("actionCopyTo")->isEnabled());
    // Takes are listed: the editor reports Rename and Copy To as possible.
    QVERIFY(GuiTestUtil::importAndWait(*m_window->editor(), {dir.path()}, false));
    QCOMPARE(m_window->model()->rowCount(), 2);
    QVERIFY(rename->isEnabled());
    QVERIFY(action("actionCopyTo")->isEnabled());
}

void TestVelmora::renameAndCopyWithAnEmptyListWarn()
{
    for (const char* name : {"actionRename", "actionCopyTo"}) {
        GuiTestUtil::MessageBoxAnswerer answer(QMessageBox::Ok);
        action(name)->setEnabled(true); // the handler guards itself as well
        action(name)->trigger();
        QCOMPARE(answer.texts, QStringList{"No takes present in Take List."});
    }
}

void TestVelmora::enablingSignalsFollowTheEditor()
{
    FileListManagement* editor = m_window->editor();
    QSignalSpy rename(editor, &FileListManagement::renameEnabled);
    editor->setCommandAvailable(FileListManagement::Command::Rename, true);
    editor->on_playStoped(); // nothing plays: the editor wants Rename
    // The action follows what the editor reports.
    QVERIFY(!rename.isEmpty());
    QCOMPARE(rename.last().at(0).toBool(), true);
    QVERIFY(action("actionRename")->isEnabled());
    editor->on_playStarted(QModelIndex()); // a playing take locks Rename
    QCOMPARE(rename.last().at(0).toBool(), false);
    QVERIFY(!action("actionRename")->isEnabled());
}

void TestVelmora::openPathsImportsTakesAsADrop()
{
    QTemporaryDir dir;
    const QStringList files = TakeFileMaker::writeDemoTakes(dir.path(), 3);
    QSignalSpy done(m_window->editor(), &FileListManagement::importFinished);
    m_window->openPaths({dir.path()});
    QVERIFY(done.wait(60000));
    QCOMPARE(m_window->model()->rowCount(), 3);
    QVERIFY(m_window->statusBar()->currentMessage().contains("3 takes added"));
    auto* count = m_window->findChild<QLabel*>("takeCount");
    QVERIFY(count);
    QCOMPARE(count->text(), QStringLiteral("3 takes"));
}

void TestVelmora::closingIsAccepted()
{
    m_window->show();
    QVERIFY(m_window->close());
    QVERIFY(!m_window->isVisible());
}

QTEST_MAIN(TestVelmora)
#include "tst_velmora.moc"
