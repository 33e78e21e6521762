#include "AudioFileModel.h"
#include "FileListManagement.h"
#include "GuiTestUtil.h"
#include "Velmora.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
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
    void actionsAndShortcuts();
    void commandsThatDoNotExistYetStayDisabled();
    void renameStaysDisabledUntilTheEditorReportsIt();
    void renameAndCopyWithAnEmptyListWarn();
    void enablingSignalsFollowTheEditor();
    void openPathsImportsTakesAsADrop();
    void closingIsAccepted();
    void destructionRemovesEveryRow();
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
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Quorlan Velmora Beta"));
    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Quorlan"));
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Velmora"));
    QVERIFY(!QCoreApplication::organizationDomain().isEmpty());
    QVERIFY(!m_window->windowIcon().isNull());
    QVERIFY(QFile::exists(Velmora::logoPath()));
    QCOMPARE(QApplication::font().pointSize(), 10);
    QCOMPARE(m_window->contextMenuPolicy(), Qt::NoContextMenu);
    QVERIFY(m_window->dockOptions() & QMainWindow::AnimatedDocks);

    // The style sheet comes from the resources and is applied whole.
    QFile css(Velmora::styleSheetPath());
    QVERIFY(css.open(QIODevice::ReadOnly));
    QCOMPARE(m_window->styleSheet(), QString::fromUtf8(css.readAll()));

    QCOMPARE(m_window->mode(), int(Velmora::EditMode));
    auto* stack = qobject_cast<QStackedWidget*>(m_window->centralWidget());
    QVERIFY(stack);
    QCOMPARE(stack->currentWidget(), static_cast<QWidget*>(m_window->editor()));
    QVERIFY(m_window->statusBar()->isSizeGripEnabled());
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

void TestVelmora::actionsAndShortcuts()
{
    QCOMPARE(action("actionImport")->shortcut(), QKeySequence(QKeySequence::Open));
    QCOMPARE(action("actionCopyTo")->shortcut(), QKeySequence(QKeySequence::Copy));
    QCOMPARE(action("actionRename")->shortcut(), QKeySequence("Ctrl+N"));
    QCOMPARE(action("actionExit")->shortcut(), QKeySequence("Ctrl+Q"));
    QCOMPARE(action("actionPlay")->shortcut(), QKeySequence(Qt::Key_Space));
    QCOMPARE(action("actionStop")->shortcut(), QKeySequence(Qt::Key_F3));
    QCOMPARE(action("actionRecord")->shortcut(), QKeySequence("Alt+R"));
    QCOMPARE(action("actionTransport")->shortcut(), QKeySequence("Ctrl+T"));
    QCOMPARE(action("actionLiveTakeList")->shortcut(), QKeySequence("Ctrl+L"));
    QCOMPARE(action("actionMeters")->shortcut(), QKeySequence("Ctrl+M"));
    QCOMPARE(action("actionReports")->shortcut(), QKeySequence("Ctrl+R"));
    QCOMPARE(action("actionSplitCombine")->shortcut(), QKeySequence("Ctrl+I"));
    QCOMPARE(action("actionPreferences")->menuRole(), QAction::PreferencesRole);

    QVERIFY(action("actionEditMode")->isCheckable());
    QVERIFY(action("actionControlMode")->isCheckable());
    QVERIFY(action("actionEditMode")->isChecked());
    QVERIFY(!action("actionControlMode")->isChecked());
    QVERIFY(action("actionEditMode")->actionGroup()->isExclusive());
    QCOMPARE(action("actionEditMode")->actionGroup(), action("actionControlMode")->actionGroup());
    QVERIFY(action("actionImport")->isEnabled());
    QVERIFY(action("actionExit")->isEnabled());

    // Exit closes the window.
    m_window->show();
    QVERIFY(m_window->isVisible());
    action("actionExit")->trigger();
    QVERIFY(!m_window->isVisible());
}

void TestVelmora::commandsThatDoNotExistYetStayDisabled()
{
    for (const char* name :
         {"actionPreferences", "actionRecord", "actionLiveTakeList", "actionReports",
          "actionSplitCombine", "actionRestoreDefaultLayout", "actionControlMode",
          "actionUserGuide", "actionSupport", "actionAbout"})
        QVERIFY2(!action(name)->isEnabled(), name);
    // Even when the editor says the takes would allow them.
    m_window->on_reportsEnabled(true);
    m_window->on_spltCombineEnabled(true);
    m_window->adjustMenuActions();
    for (const char* name : {"actionReports", "actionSplitCombine"})
        QVERIFY2(!action(name)->isEnabled(), name);
}

void TestVelmora::renameStaysDisabledUntilTheEditorReportsIt()
{
    QTemporaryDir dir;
    GuiTestUtil::writeDemoTakes(dir.path(), 2);
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
    editor->setRenameEnabled(true);
    // The action follows what the editor reports.
    QVERIFY(!rename.isEmpty());
    QCOMPARE(rename.last().at(0).toBool(), true);
    QVERIFY(action("actionRename")->isEnabled());
    editor->setRenameEnabled(false);
    QCOMPARE(rename.last().at(0).toBool(), false);
    QVERIFY(!action("actionRename")->isEnabled());
}

void TestVelmora::openPathsImportsTakesAsADrop()
{
    QTemporaryDir dir;
    const QStringList files = GuiTestUtil::writeDemoTakes(dir.path(), 3);
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

void TestVelmora::destructionRemovesEveryRow()
{
    QTemporaryDir dir;
    GuiTestUtil::writeDemoTakes(dir.path(), 2);
    QVERIFY(GuiTestUtil::importAndWait(*m_window->editor(), {dir.path()}, false));
    QPointer<AudioFileModel> model = m_window->model();
    QSignalSpy removed(model.data(), &QAbstractItemModel::rowsRemoved);
    m_window.reset();
    QVERIFY(model.isNull());
    // One row at a time.
    QCOMPARE(removed.count(), 2);
    // The files stay.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 5);
}

QTEST_MAIN(TestVelmora)
#include "tst_velmora.moc"
