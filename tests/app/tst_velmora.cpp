#include "AudioFileModel.h"
#include "FileListManagement.h"
#include "GuiTestUtil.h"
#include "TakeColumns.h"
#include "TakeListView.h"
#include "Velmora.h"

#include <QAction>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace TakeColumns;

// The main window: its menus and keyboard, the commands it keeps in step with
// the editor, and the take list as the user sorts and arranges it.
class TestVelmora : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Velmora> m_window;

    QAction* action(const char* name) const
    {
        return m_window->findChild<QAction*>(QLatin1String(name));
    }
    TakeListView* list() const { return m_window->editor()->findChild<TakeListView*>(); }
    QStringList column(int c) const
    {
        QStringList cells;
        for (int r = 0; r < list()->model()->rowCount(); ++r)
            cells << list()->model()->index(r, c).data().toString();
        return cells;
    }

private slots:
    void initTestCase();
    void init();
    void cleanup() { m_window.reset(); }

    void menusOpenByMnemonic();
    void tabFollowsTheScreen();
    void toolWindowsOpenFromActionAndEditor_data();
    void toolWindowsOpenFromActionAndEditor();
    void renameAndCopyFollowTheEditor();
    void openPathsImportsAndRemembersTheFolder();
    void sortKeepsTheCurrentTakeInView();
    void headerMenuAndColumnsAreRemembered();
};

void TestVelmora::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    GuiTestUtil::initApplication();
}

void TestVelmora::init()
{
    QSettings().clear();
    m_window = std::make_unique<Velmora>();
}

void TestVelmora::menusOpenByMnemonic()
{
    // Alt and the underlined letter open each menu; no two share a letter.
    QList<QKeySequence> keys;
    for (QAction* menu : m_window->menuBar()->actions()) {
        const QKeySequence key = QKeySequence::mnemonic(menu->text());
        QVERIFY2(!key.isEmpty() && !keys.contains(key), qPrintable(menu->text()));
        keys << key;
    }
    QCOMPARE(keys.first(), QKeySequence(Qt::ALT | Qt::Key_F));
    // The control-mode commands wait for a recorder.
    for (const char* name : {"actionRecord", "actionLiveTakeList", "actionControlMode"})
        QVERIFY2(!action(name)->isEnabled(), name);
    QVERIFY(!action("actionControlMode")->statusTip().isEmpty());
}

void TestVelmora::tabFollowsTheScreen()
{
    const QStringList expected = {"pushButton_Import",
                                  "pushButton_Rename",
                                  "pushButton_CopyTo",
                                  "pushButton_Clear",
                                  "pushButton_Delete",
                                  "treeView",
                                  "Scene",
                                  "Take",
                                  "Project",
                                  "Tape",
                                  "checkBox_Circled",
                                  "checkBox_WildTrack",
                                  "comboBox_SampleRate",
                                  "comboBox_FrameRate",
                                  "UBits",
                                  "checkBox_PreserveStartTC",
                                  "pushButton_EditTC",
                                  "TreeViewTracks",
                                  "Notes",
                                  "pushButton_Play",
                                  "pushButton_Stop",
                                  "pushButton_SpltCombine",
                                  "pushButton_Reports",
                                  "Save",
                                  "MoreInfo"};
    auto* start = m_window->editor()->findChild<QWidget*>("pushButton_Import");
    QStringList seen;
    for (QWidget* w = start; seen.size() < expected.size(); w = w->nextInFocusChain()) {
        if (expected.contains(w->objectName()) && !seen.contains(w->objectName()))
            seen << w->objectName();
        if (w->nextInFocusChain() == start)
            break;
    }
    QCOMPARE(seen, expected);
}

void TestVelmora::toolWindowsOpenFromActionAndEditor_data()
{
    QTest::addColumn<QString>("dockName");
    QTest::addColumn<QString>("actionName");
    QTest::newRow("reports") << "reportmanager"
                             << "actionReports";
    QTest::newRow("split/combine") << "splitcombine"
                                   << "actionSplitCombine";
}

void TestVelmora::toolWindowsOpenFromActionAndEditor()
{
    QFETCH(QString, dockName);
    QFETCH(QString, actionName);
    auto* dock = m_window->findChild<QDockWidget*>(dockName);
    QVERIFY(dock && !dock->isVisible() && dock->isFloating());
    m_window->show();
    m_window->on_reportsEnabled(true);
    m_window->on_spltCombineEnabled(true);
    action(actionName.toLatin1().constData())->trigger();
    QVERIFY(dock->isVisible());
    // The editor's "Create Report" and "Split/Combine" buttons toggle it too.
    FileListManagement* editor = m_window->editor();
    if (dockName == "reportmanager")
        emit editor->startReports();
    else
        emit editor->startSplitCombine();
    QVERIFY(!dock->isVisible());
}

void TestVelmora::renameAndCopyFollowTheEditor()
{
    for (const char* name : {"actionRename", "actionCopyTo"}) {
        GuiTestUtil::MessageBoxAnswerer answer(QMessageBox::Ok);
        QVERIFY(!action(name)->isEnabled());
        action(name)->setEnabled(true); // the handler guards itself as well
        action(name)->trigger();
        QCOMPARE(answer.texts, QStringList{"No takes present in Take List."});
    }
    QTemporaryDir dir;
    TakeFileMaker::writeDemoTakes(dir.path(), 2);
    QVERIFY(GuiTestUtil::importAndWait(*m_window->editor(), {dir.path()}, false));
    QVERIFY(action("actionRename")->isEnabled() && action("actionCopyTo")->isEnabled());
    m_window->editor()->on_playStarted(m_window->model()->index(0, 0)); // playing locks Rename
    QVERIFY(!action("actionRename")->isEnabled());
}

void TestVelmora::openPathsImportsAndRemembersTheFolder()
{
    QTemporaryDir dir;
    TakeFileMaker::writeDemoTakes(dir.path(), 3);
    QSignalSpy done(m_window->editor(), &FileListManagement::importFinished);
    m_window->openPaths({dir.filePath("T0001.WAV")});
    QVERIFY(done.wait(60000));
    QCOMPARE(m_window->findChild<QLabel*>("takeCount")->text(), QStringLiteral("1 take"));
    QVERIFY(m_window->statusBar()->currentMessage().contains("1 take added"));
    // The next Import starts where these takes are.
    QCOMPARE(QSettings().value("LastImportDir").toString(),
             QFileInfo(dir.path()).absoluteFilePath());
}

void TestVelmora::sortKeepsTheCurrentTakeInView()
{
    QTemporaryDir dir;
    // Start times run against the scene numbers.
    QStringList batch;
    for (int i = 1; i <= 40; ++i) {
        TakeShape shape;
        shape.channels = 2;
        shape.scene = QString::number(i);
        shape.timestamp = quint64(48000) * (3600 * 10 - i);
        const QString path = dir.filePath(QStringLiteral("S%1.WAV").arg(i));
        QVERIFY(TakeFileMaker::write(path, shape));
        batch << path;
    }
    FileListManagement& editor = *m_window->editor();
    m_window->show();
    QVERIFY(GuiTestUtil::importAndWait(editor, batch.mid(0, 38), false));
    TakeListView* view = list();
    const QModelIndex scene1 = view->model()->index(37, 0);
    QCOMPARE(view->model()->index(37, Scene).data().toString(), QStringLiteral("1"));
    view->setCurrentIndex(scene1);
    view->scrollTo(scene1);

    // Sorted by scene, scene 1 comes first and stays in view.
    view->sortByColumn(Scene, Qt::AscendingOrder);
    QCOMPARE(column(Scene).mid(0, 4), QStringList({"1", "2", "3", "4"}));
    QCOMPARE(view->currentIndex().row(), 0);
    QVERIFY(view->viewport()->rect().contains(view->visualRect(view->currentIndex())));

    // An import keeps the selection and the current take.
    QVERIFY(GuiTestUtil::importAndWait(editor, batch.mid(38), false));
    QCOMPARE(view->model()->rowCount(), 40);
    const QModelIndexList selected = view->selectionModel()->selectedRows(Scene);
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().data().toString(), QStringLiteral("1"));
    QCOMPARE(editor.currentModelIndex().siblingAtColumn(Scene).data().toString(),
             QStringLiteral("1"));

    // A note of two lines (typed in the editor) keeps its row one line high.
    m_window->model()->setData(m_window->model()->index(0, Notes), "first line\nsecond line");
    const QModelIndex note = static_cast<QSortFilterProxyModel*>(view->model())
                                 ->mapFromSource(m_window->model()->index(0, Notes));
    QCOMPARE(note.data().toString(), QStringLiteral("first line \u2026"));
    QCOMPARE(note.data(Qt::ToolTipRole).toString(), QStringLiteral("first line\nsecond line"));
}

void TestVelmora::headerMenuAndColumnsAreRemembered()
{
    m_window->show();
    QHeaderView* header = list()->header();
    auto* menu = list()->findChild<QMenu*>("columnMenu");
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(10, 5));
    QApplication::sendEvent(header->viewport(), &click);
    QTRY_VERIFY(menu->isVisible());
    QAction* project = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == "Project")
            project = a;
    QVERIFY(project && !project->isChecked());
    project->trigger();
    menu->hide();
    // The user drags the edge of the Scene column.
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    header->resizeSection(Scene, 123);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(5, 5));

    // The next run shows the same columns, and an import does not resize them.
    m_window = std::make_unique<Velmora>();
    QVERIFY(!list()->isColumnHidden(Project));
    QCOMPARE(list()->header()->sectionSize(Scene), 123);
    QTemporaryDir dir;
    TakeFileMaker::writeDemoTakes(dir.path(), 1);
    QVERIFY(GuiTestUtil::importAndWait(*m_window->editor(), {dir.path()}, false));
    QCOMPARE(list()->header()->sectionSize(Scene), 123);
}

QTEST_MAIN(TestVelmora)
#include "tst_velmora.moc"
