#include "AudioFile.h"
#include "AudioFileModel.h"
#include "EditTC.h"
#include "EditorQuestions.h"
#include "FileListManagement.h"
#include "GuiTestUtil.h"
#include "JobProgress.h"
#include "TakeColumns.h"
#include "TakeEditState.h"
#include "TakeSession.h"
#include "TestUtil.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using namespace TakeColumns;
using GuiTestUtil::MessageBoxAnswerer;

// The editor panel over a session: what needs the widgets (import by drop,
// field edits and their prompt, the questions and their default buttons,
// the unsaved marker, the timecode editor, the save's progress dialog).
// What the session does below it is tested in tests/takes.
class TestFileListManagement : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_dir;
    std::unique_ptr<TakeSession> m_session;
    AudioFileModel* m_model = nullptr; // the session's
    std::unique_ptr<FileListManagement> m_editor;

    QTreeView* view() const { return m_editor->findChild<QTreeView*>("treeView"); }
    template <typename T> T* field(const char* name) const
    {
        T* w = m_editor->findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QString cell(int row, int column) const
    {
        return m_model->index(row, column).data().toString();
    }

    int modelRow(int viewRow) const
    {
        auto* proxy = static_cast<QSortFilterProxyModel*>(view()->model());
        return proxy->mapToSource(proxy->index(viewRow, 0)).row();
    }
    void selectViewRows(const QList<int>& rows)
    {
        QItemSelectionModel* s = view()->selectionModel();
        for (int i = 0; i < rows.size(); ++i)
            s->setCurrentIndex(
                view()->model()->index(rows.at(i), 0),
                (i == 0 ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select) |
                    QItemSelectionModel::Rows);
    }
    int current() const { return m_editor->currentModelIndex().row(); }
    bool edited() const { return m_session->hasUnsavedEdits(); }
    void type(const char* lineEdit, const QString& text)
    {
        auto* e = field<QLineEdit>(lineEdit);
        e->end(false);
        QTest::keyClicks(e, text);
    }
    void importDemo(int takes)
    {
        QVERIFY(!TakeFileMaker::writeDemoTakes(m_dir, takes).isEmpty());
        QVERIFY(GuiTestUtil::importAndWait(*m_editor, {m_dir}));
        QCOMPARE(m_model->rowCount(), takes);
    }
    // Runs action (which starts a save) and waits for its end; the job's ok.
    bool runAction(const std::function<void()>& action)
    {
        QSignalSpy finished(m_editor.get(), &FileListManagement::actionFinished);
        action();
        return (!finished.isEmpty() || finished.wait(30000)) && finished.first().at(1).toBool();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        GuiTestUtil::initApplication();
    }
    void init()
    {
        QVERIFY(m_tmp.isValid());
        m_dir = m_tmp.filePath("takes");
        QDir(m_dir).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir));
        m_session = std::make_unique<TakeSession>();
        m_model = m_session->model();
        m_editor = std::make_unique<FileListManagement>(nullptr, m_session.get());
        m_editor->resize(1200, 700);
    }
    void cleanup()
    {
        m_editor.reset();
        m_session.reset();
    }

    // Files dropped on the list reach the editor; the first take listed
    // becomes current.
    void aDropImportsAndSelectsTheFirstTake()
    {
        QCOMPARE(TakeFileMaker::writeDemoTakes(m_dir, 3).size(), 6);
        m_editor->show();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(m_dir)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view()->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QSignalSpy finished(m_editor.get(), &FileListManagement::importFinished);
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_editor.get(), &drop);
        QVERIFY(finished.count() == 1 || finished.wait(60000));
        QCOMPARE(m_model->rowCount(), 3);
        QCOMPARE(current(), modelRow(0));
    }

    // Filling the fields of a take is not an edit, nor is the cursor in the
    // notes; characters a name may not hold are refused, and a typed sample
    // rate that is no rate puts the take's rate back.
    void whatIsNotAnEdit()
    {
        importDemo(3);
        for (int r : {1, 2, 0})
            selectViewRows({r});
        field<QPlainTextEdit>("Notes")->moveCursor(QTextCursor::End);
        selectViewRows({2});
        QVERIFY(!edited());
        for (const char* name : {"Scene", "Take"}) {
            auto* edit = field<QLineEdit>(name);
            edit->clear();
            QTest::keyClicks(edit, "1/2\\3*4");
            QCOMPARE(edit->text(), QStringLiteral("1234"));
        }
    }

    void movingAwayFromAnEditedTake_data()
    {
        QTest::addColumn<int>("key"); // 0: the Discard button
        QTest::addColumn<bool>("kept");
        QTest::newRow("return: OK, the default") << int(Qt::Key_Return) << true;
        QTest::newRow("discard") << 0 << false;
    }

    // The prompt keeps the edited take current, with its edits, unless the
    // user discards them; then the file's values come back.
    void movingAwayFromAnEditedTake()
    {
        QFETCH(int, key);
        QFETCH(bool, kept);
        importDemo(3);
        const QPersistentModelIndex take = m_editor->currentModelIndex();
        const QString scene = cell(take.row(), Scene);
        type("Scene", "Z");
        auto answer = key ? std::make_unique<MessageBoxAnswerer>(Qt::Key(key))
                          : std::make_unique<MessageBoxAnswerer>(QMessageBox::Discard);
        selectViewRows({2});
        QTest::qWait(30);
        QCOMPARE(answer->texts.size(), 1);
        QVERIFY(answer->texts.first().startsWith("You have made changes to the metadata."));
        QCOMPARE(answer->defaults.first(), QMessageBox::Ok);
        QCOMPARE(m_editor->currentModelIndex() == QModelIndex(take), kept);
        QCOMPARE(cell(take.row(), Scene), kept ? scene + "Z" : scene);
        QCOMPARE(edited(), kept);
        QCOMPARE(field<QLineEdit>("Scene")->text(), cell(current(), Scene));
        QCOMPARE(view()->selectionModel()->selectedRows().size(), 1);
    }

    // Delete warns without a selection and asks first, Cancel the default.
    void deleteAsksFirst()
    {
        importDemo(2);
        MessageBoxAnswerer answer(Qt::Key_Return);
        view()->selectionModel()->clearSelection();
        field<QPushButton>("pushButton_Delete")->click();
        selectViewRows({0});
        field<QPushButton>("pushButton_Delete")->click();
        QCOMPARE(answer.texts.size(), 2);
        QCOMPARE(answer.texts.first(), QStringLiteral("Please select takes to delete."));
        QCOMPARE(answer.defaults.last(), QMessageBox::Cancel);
        QCOMPARE(QDir(m_dir).entryList(QDir::Files).size(), 5);
        QCOMPARE(m_model->rowCount(), 2);
    }

    void clearOfAnEditedTake_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("rows");
        QTest::newRow("return: save, the default") << int(Qt::Key_Return) << 1;
        QTest::newRow("escape: cancel") << int(Qt::Key_Escape) << 2;
    }

    // Clear of the take with unsaved edits asks first: Save (the default)
    // writes them and then clears, Cancel keeps the take and its edits.
    void clearOfAnEditedTake()
    {
        QFETCH(int, key);
        QFETCH(int, rows);
        importDemo(2);
        const QString file = cell(current(), Path);
        const QString own = cell(current(), Project);
        const QByteArray audio = TestUtil::audioOf(file);
        type("Project", "Kept");
        MessageBoxAnswerer answer{Qt::Key(key)};
        field<QPushButton>("pushButton_Clear")->click();
        QTRY_COMPARE(m_model->rowCount(), rows);
        QCOMPARE(answer.defaults, QList<QMessageBox::StandardButton>{QMessageBox::Save});
        QCOMPARE(edited(), rows == 2);
        AudioFile f;
        QVERIFY(f.Open(file));
        QCOMPARE(f.GetProjectName(), rows == 2 ? own : own + "Kept");
        QCOMPARE(TestUtil::audioOf(file), audio);
    }

    // The file name of a damaged take is red; the take with unsaved edits
    // is marked until they are discarded or saved.
    void fileNameMarks()
    {
        TakeShape shape;
        shape.channels = 2;
        shape.chop = 100;
        QVERIFY(TakeFileMaker::write(m_dir + "/T1.WAV", shape));
        QVERIFY(GuiTestUtil::importAndWait(*m_editor, {m_dir}));
        const QModelIndex name = view()->model()->index(0, FileName);
        QVERIFY(name.data(Qt::ForegroundRole).value<QColor>().isValid());
        QCOMPARE(name.data().toString(), QStringLiteral("T1.WAV"));
        QSignalSpy changed(view()->model(), &QAbstractItemModel::dataChanged);
        type("Scene", "9");
        QCOMPARE(name.data().toString(), QStringLiteral("*T1.WAV"));
        QVERIFY(name.data(Qt::FontRole).value<QFont>().italic());
        QVERIFY(!changed.isEmpty());
        m_session->discardEdits();
        QCOMPARE(name.data().toString(), QStringLiteral("T1.WAV"));
        QVERIFY(!name.data(Qt::FontRole).value<QFont>().italic());
    }

    void questionDefaults_data()
    {
        QTest::addColumn<QString>("question");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("yes"); // the rate change saved, the iXML rebuilt
        QTest::newRow("rate, return") << "rate" << int(Qt::Key_Return) << true;
        QTest::newRow("rate, escape") << "rate" << int(Qt::Key_Escape) << false;
        QTest::newRow("iXML, return") << "ixml" << int(Qt::Key_Return) << false;
    }

    // Return and Escape in the save's questions never throw work away.
    void questionDefaults()
    {
        QFETCH(QString, question);
        QFETCH(int, key);
        QFETCH(bool, yes);
        JobProgress progress(m_session->jobs(), m_editor.get());
        const TakeJobs::Questions q = EditorQuestions::make(m_editor.get(), &progress);
        MessageBoxAnswerer press{Qt::Key(key)};
        if (question == "rate") {
            const TakeJobs::Answer a = q.confirmRateChange();
            QCOMPARE(a, yes ? TakeJobs::Answer::Save : TakeJobs::Answer::Cancel);
        } else {
            QCOMPARE(q.rebuildIxml("T1.WAV", "bad"), yes);
        }
        QCOMPARE(press.texts.size(), 1);
    }

    // The progress dialog's Cancel stops a save: no file changes and the
    // edits stay. The next save runs, window-modal, over every file of the
    // mono take, and leaves the audio as it was.
    void aCancelledSaveChangesNothingAndIsNotStuck()
    {
        importDemo(2);
        selectViewRows({modelRow(0) == 1 ? 0 : 1});
        const QMap<QString, QByteArray> before = TestUtil::snapshot(m_dir);
        QHash<QString, QByteArray> audio;
        for (const QString& f : QDir(m_dir).entryList({"T0002_*.WAV"}))
            audio.insert(m_dir + "/" + f, TestUtil::audioOf(m_dir + "/" + f));
        QCOMPARE(audio.size(), 4);
        type("Tape", "T9");
        QVERIFY(!runAction([&] {
            m_editor->startSave();
            m_editor->progressDialog()->findChild<QPushButton*>()->click();
        }));
        QVERIFY(edited());
        QVERIFY(!m_editor->progressDialog());
        QCOMPARE(TestUtil::snapshot(m_dir), before);
        MessageBoxAnswerer none(QMessageBox::Ok);
        QVERIFY(runAction([&] { field<QPushButton>("Save")->click(); }));
        QVERIFY(none.texts.isEmpty());
        QCOMPARE(m_editor->progressDialog()->value(), 400);
        for (auto it = audio.cbegin(); it != audio.cend(); ++it)
            QCOMPARE(TestUtil::audioOf(it.key()), it.value());
        QVERIFY(!edited());
        QTRY_VERIFY_WITH_TIMEOUT(!m_editor->progressDialog(), 5000);
    }

    void frameLimits_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::addColumn<QString>("shown");   // the line edit afterwards
        const QString frames = "Invalid frame number.\n Please enter valid frame number.";
        const QString time = "Invalid time.\n Please enter valid time.";
        const auto row = [](const char* name, const char* rate, const char* entry,
                            const QString& message, const char* shown) {
            QTest::newRow(name) << rate << entry << message << shown;
        };
        row("25 ND 24", "25 ND", "01:02:03:24", "", "01:02:03:24");
        row("25 ND 25", "25 ND", "01:02:03:25", frames, "01:02:03:07");
        row("29.97 DF 29", "29.97 DF", "01:02:03:29", "", "01:02:03:29");
        row("29.97 DF 30", "29.97 DF", "01:02:03:30", frames, "01:02:03:07");
        row("23.97 ND 24", "23.97 ND", "01:02:03:24", frames, "01:02:03:07");
        row("hours", "25 ND", "24:00:00:00", time, "10:00:00:00");
        row("minutes", "25 ND", "01:60:00:00", time, "01:00:00:00");
        row("short", "25 ND", "01:00:0", "Invalid Time Code.\n Please enter valid Time Code.",
            "01:00:0:");
    }

    void frameLimits()
    {
        QFETCH(QString, rate);
        QFETCH(QString, entry);
        QFETCH(QString, message);
        QFETCH(QString, shown);
        EditTC* tc = m_editor->timecodeEditor();
        tc->setFrameRateLimitations(rate);
        tc->setTimecode("10:00:00;07");
        tc->lineEdit()->setText(entry);
        MessageBoxAnswerer answer(QMessageBox::Ok);
        QCOMPARE(tc->validateTimeCode(), message.isEmpty());
        QCOMPARE(answer.texts, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(tc->lineEdit()->text(), shown);
    }

    void theTimecodeEditorIsBoundToItsTake_data()
    {
        QTest::addColumn<QString>("close"); // "ok", "escape" or "other take"
        QTest::newRow("ok") << "ok";
        QTest::newRow("escape") << "escape";
        QTest::newRow("another take while open") << "other take";
    }

    // The timecode editor opens modal for the current take, from its own
    // values each time; OK writes into that take only, and another take
    // becoming current closes it without a change.
    void theTimecodeEditorIsBoundToItsTake()
    {
        QFETCH(QString, close);
        importDemo(2);
        const int take = current();
        m_model->setData(m_model->index(take, FrameRate), "29.97 DF");
        m_model->setData(m_model->index(take, Time), "14:03:22");
        const QStringList starts = {cell(0, StartTC), cell(1, StartTC)};
        EditTC* tc = m_editor->timecodeEditor();
        auto* edit = field<QPushButton>("pushButton_EditTC");
        // An earlier opening chose the originator time; this one starts manual.
        edit->click();
        tc->findChild<QRadioButton*>("radioButton_CreationTime")->click();
        QCOMPARE(tc->lineEdit()->text(), QStringLiteral("14:03:22:00"));
        QTest::keyClick(tc, Qt::Key_Escape);
        QVERIFY(!tc->isVisible());
        edit->click();
        QVERIFY(tc->isVisible() && tc->isModal());
        QVERIFY(tc->lineEdit()->isEnabled());
        QCOMPARE(tc->lineEdit()->text(), starts.at(take));
        QCOMPARE(tc->frameLimit(), QStringLiteral("29.97"));
        QVERIFY(!field<QCheckBox>("checkBox_PreserveStartTC")->isChecked());
        tc->lineEdit()->setText("11:22:33:10");
        if (close == "ok")
            QTest::keyClick(tc->lineEdit(), Qt::Key_Return);
        else if (close == "escape")
            QTest::keyClick(tc, Qt::Key_Escape);
        else
            selectViewRows({modelRow(0) == take ? 1 : 0});
        QVERIFY(!tc->isVisible());
        QVERIFY(field<QCheckBox>("checkBox_PreserveStartTC")->isChecked());
        QCOMPARE(cell(take, StartTC), close == "ok" ? "11:22:33;10" : starts.at(take));
        QCOMPARE(cell(1 - take, StartTC), starts.at(1 - take));
        QCOMPARE(m_session->isEdited(TakeField::SamplesSinceMidnight), close == "ok");
    }
};

QTEST_MAIN(TestFileListManagement)
#include "tst_filelistmanagement.moc"
