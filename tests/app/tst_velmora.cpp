#include "AudioFileModel.h"
#include "FileListManagement.h"
#include "GuiTestUtil.h"
#include "TakeColumns.h"
#include "TakeListView.h"
#include "Velmora.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
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

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        GuiTestUtil::initApplication();
    }

    void init()
    {
        QSettings().clear();
        m_window = std::make_unique<Velmora>();
    }

    void menusOpenByMnemonic()
    {
        // Alt and the underlined letter open each menu; no two share a letter.
        QList<QKeySequence> keys;
        for (QAction* menu : m_window->menuBar()->actions()) {
            const QKeySequence key = QKeySequence::mnemonic(menu->text());
            QVERIFY2(!key.isEmpty() && !keys.contains(key), qPrintable(menu->text()));
            keys << key;
        }
        QCOMPARE(keys.first(), QKeySequence(Qt::ALT | Qt::Key_F));
    }

    void tabFollowsTheScreen()
    {
        const QStringList expected =
            QStringLiteral("pushButton_Import pushButton_Rename pushButton_CopyTo pushButton_Clear "
                           "pushButton_Delete treeView Scene Take Project Tape checkBox_Circled "
                           "checkBox_WildTrack comboBox_SampleRate comboBox_FrameRate UBits "
                           "checkBox_PreserveStartTC pushButton_EditTC TreeViewTracks Notes "
                           "pushButton_Play pushButton_Stop pushButton_SpltCombine "
                           "pushButton_Reports Save MoreInfo")
                .split(QLatin1Char(' '));
        QWidget* start = m_window->editor()->findChild<QWidget*>(expected.first());
        QStringList seen;
        QWidget* w = start;
        do {
            if (expected.contains(w->objectName()) && !seen.contains(w->objectName()))
                seen << w->objectName();
            w = w->nextInFocusChain();
        } while (w != start);
        QCOMPARE(seen, expected);
    }

    void openPathsImportsAndRemembersTheFolder()
    {
        QTemporaryDir dir;
        TakeFileMaker::writeDemoTakes(dir.path(), 3);
        QSignalSpy done(m_window->editor(), &FileListManagement::importFinished);
        m_window->openPaths({dir.filePath("T0001.WAV")});
        QVERIFY(done.wait(60000));
        // The next Import starts where these takes are.
        QCOMPARE(QSettings().value("LastImportDir").toString(), QFileInfo(dir.path()).filePath());
        QVERIFY(action("actionRename")->isEnabled()); // the menu follows the session's commands
    }

    void sortKeepsTheCurrentTakeInView()
    {
        QTemporaryDir dir;
        QStringList files; // start times run against the scene numbers
        for (int i = 1; i <= 40; ++i) {
            TakeShape shape;
            shape.channels = 2;
            shape.scene = QString::number(i);
            shape.timestamp = quint64(48000) * (36000 - i);
            files << dir.filePath(QStringLiteral("S%1.WAV").arg(i));
            QVERIFY(TakeFileMaker::write(files.last(), shape));
        }
        FileListManagement& editor = *m_window->editor();
        m_window->show();
        QVERIFY(GuiTestUtil::importAndWait(editor, files.mid(0, 38)));
        TakeListView* view = list();
        QAbstractItemModel* shown = view->model();
        QCOMPARE(shown->index(37, Scene).data().toString(), QStringLiteral("1"));
        view->setCurrentIndex(shown->index(37, 0));

        // Sorted by scene as people number them, scene 1 comes first and stays in view.
        view->sortByColumn(Scene, Qt::AscendingOrder);
        for (int row = 0; row < 12; ++row)
            QCOMPARE(shown->index(row, Scene).data().toString(), QString::number(row + 1));
        QCOMPARE(view->currentIndex().row(), 0);
        QVERIFY(view->viewport()->rect().contains(view->visualRect(view->currentIndex())));

        // An import keeps the selection and the current take.
        QVERIFY(GuiTestUtil::importAndWait(editor, files.mid(38)));
        QCOMPARE(view->selectionModel()->selectedRows(Scene),
                 {view->currentIndex().siblingAtColumn(Scene)});
        QCOMPARE(editor.currentModelIndex().siblingAtColumn(Scene).data().toString(), "1");

        // A note of two lines (typed in the editor) keeps its row one line high.
        m_window->model()->setData(m_window->model()->index(0, Notes), "first line\nsecond line");
        const QModelIndex note = static_cast<QSortFilterProxyModel*>(shown)->mapFromSource(
            m_window->model()->index(0, Notes));
        QCOMPARE(note.data().toString(), QStringLiteral("first line \u2026"));
        QCOMPARE(note.data(Qt::ToolTipRole).toString(), QStringLiteral("first line\nsecond line"));
    }

    void headerMenuAndColumnsAreRemembered()
    {
        m_window->show();
        QHeaderView* header = list()->header();
        auto* menu = list()->findChild<QMenu*>("columnMenu");
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(10, 5));
        QApplication::sendEvent(header->viewport(), &click);
        QTRY_VERIFY(menu->isVisible());
        for (QAction* entry : menu->actions())
            if (entry->text() == "Project")
                entry->trigger();
        menu->hide();
        // The user drags the edge of the Scene column.
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
        header->resizeSection(Scene, 123);
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(5, 5));

        // The next run shows the same columns, and an import does not resize them.
        m_window = std::make_unique<Velmora>();
        QVERIFY(!list()->isColumnHidden(Project));
        QTemporaryDir dir;
        TakeFileMaker::writeDemoTakes(dir.path(), 1);
        QVERIFY(GuiTestUtil::importAndWait(*m_window->editor(), {dir.path()}));
        QCOMPARE(list()->header()->sectionSize(Scene), 123);
    }
};

QTEST_MAIN(TestVelmora)
#include "tst_velmora.moc"
