#include "AudioFileModel.h"
#include "FileListManagement.h"
#include "GuiTestUtil.h"
#include "TakeColumns.h"
#include "TakeEditState.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QtTest>

#include <memory>

using namespace TakeColumns;
using GuiTestUtil::MessageBoxAnswerer;

// The editor panel: import, the current take's pages, edits and their flags,
// the unsaved-edits prompt, the column menu, clear and delete.
class TestFileListManagement : public QObject, private GuiTestUtil::EditorFixture
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QStringList m_written;

    // The model row shown in view row viewRow.
    int modelRow(int viewRow) const
    {
        const QAbstractItemModel* proxy = view()->model();
        for (int r = 0; r < m_model->rowCount(); ++r) {
            if (cell(r, Path) == proxy->index(viewRow, Path).data().toString())
                return r;
        }
        return -1;
    }
    int rowNamed(const QString& name) const
    {
        for (int r = 0; r < m_model->rowCount(); ++r) {
            if (cell(r, FileName) == name)
                return r;
        }
        return -1;
    }
    void selectViewRows(const QList<int>& rows)
    {
        QItemSelectionModel* s = view()->selectionModel();
        for (int i = 0; i < rows.size(); ++i) {
            const QModelIndex index = view()->model()->index(rows.at(i), 0);
            s->setCurrentIndex(index, (i == 0 ? QItemSelectionModel::ClearAndSelect
                                              : QItemSelectionModel::Select) |
                                          QItemSelectionModel::Rows);
        }
    }
    bool flag(TakeField f) const { return m_editor->session()->editedFields().testFlag(f); }
    bool anyFlag() const
    {
        bool rate = false, name = false;
        return m_editor->session()->editState().isEdited(rate, name);
    }
    // The text a field of the pages shows, whatever kind of widget it is.
    static QString shownText(const QWidget* w)
    {
        if (auto* l = qobject_cast<const QLabel*>(w))
            return l->text();
        if (auto* e = qobject_cast<const QLineEdit*>(w))
            return e->text();
        if (auto* c = qobject_cast<const QComboBox*>(w))
            return c->currentText();
        if (auto* p = qobject_cast<const QPlainTextEdit*>(w))
            return p->toPlainText();
        if (auto* t = qobject_cast<const QTextEdit*>(w))
            return t->toPlainText();
        return QStringLiteral("<no text>");
    }
    // Writes demo takes (odd poly, even mono groups of four) and imports them.
    void importDemo(int takes);
    QList<int> shownColumns() const
    {
        QList<int> shown;
        for (int c = 0; c < Count; ++c) {
            if (!view()->isColumnHidden(c))
                shown << c;
        }
        return shown;
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsEmptyWithOnlyImportEnabled();
    void importThroughTheDialogPath();
    void importDialogStartsInTheLastImportFolder();
    void dropOfFilesAndFolders();
    void dragEnterOnTheListReachesTheEditor();
    void firstImportedRowFillsBothPages();
    void fillingAFieldIsNotAnEdit();
    void editingSceneSetsFlagAndCell();
    void editsOfEveryFieldKind();
    void trackNameEditGoesIntoTheModel();
    void movingAwayPromptsAndOkKeepsTheEdits();
    void closingThePromptKeepsTheEdits();
    void discardRestoresExactlyTheFlaggedFields();
    void validatorRefusesSlashBackslashAsterisk();
    void twoSelectedRowsDisableTakeAndEdit();
    void pageButtonCycles();
    void columnMenuShowsTheDefaultsAndToggles();
    void deleteCancelledDeletesNothing();
    void deleteWithNothingSelectedWarns();
    void clearingTheLastRowDisablesButtonsAndEmptiesPages();
    void clearingAnEditedTakeDropsItsFlags();
    void playingTakeLocksRenameClearDelete();
    void gatedButtonsFollowTheirCommand();
};

void TestFileListManagement::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    GuiTestUtil::initApplication();
}

void TestFileListManagement::init()
{
    QVERIFY(m_dir.isValid());
    m_session = std::make_unique<TakeSession>();
    m_model = m_session->model();
    m_editor = std::make_unique<FileListManagement>(nullptr, m_session.get());
    m_editor->resize(1200, 700);
}

void TestFileListManagement::cleanup()
{
    m_editor.reset();
    m_session.reset();
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
    m_written.clear();
}

void TestFileListManagement::importDemo(int takes)
{
    m_written = TakeFileMaker::writeDemoTakes(m_dir.path(), takes);
    QVERIFY(!m_written.isEmpty());
    QVERIFY(GuiTestUtil::importAndWait(*m_editor, {m_dir.path()}, false));
    QCOMPARE(m_model->rowCount(), takes);
}

void TestFileListManagement::startsEmptyWithOnlyImportEnabled()
{
    QVERIFY(field<QPushButton>("pushButton_Import")->isEnabled());
    for (const char* name : {"pushButton_Clear", "pushButton_Rename", "pushButton_CopyTo",
                             "pushButton_Delete", "pushButton_SpltCombine", "pushButton_Reports",
                             "pushButton_Play", "pushButton_Stop", "pushButton_EditTC"})
        QVERIFY2(!field<QPushButton>(name)->isEnabled(), name);
    QVERIFY(!anyFlag());
}

void TestFileListManagement::importThroughTheDialogPath()
{
    m_written = TakeFileMaker::writeDemoTakes(m_dir.path(), 4);
    // A take file under another suffix is not read when chosen in the dialog.
    const QString other = QDir(m_dir.path()).filePath("copy.dat");
    QVERIFY(QFile::copy(m_written.first(), other));
    QSignalSpy finished(m_editor.get(), &FileListManagement::importFinished);
    QVERIFY(GuiTestUtil::importAndWait(*m_editor, QStringList(m_written) << other, true));

    QCOMPARE(m_model->rowCount(), 4);
    QCOMPARE(finished.first().at(0).toInt(), 4);
    QStringList labels;
    for (int r = 0; r < 4; ++r)
        labels << cell(r, Channels);
    labels.sort();
    QCOMPARE(labels, QStringList({"4(MONO)", "4(MONO)", "4(POLY)", "4(POLY)"}));
    QVERIFY(rowNamed("T0002_X.WAV") >= 0);
    QVERIFY(rowNamed("T0001.WAV") >= 0);
    for (int r = 0; r < 4; ++r)
        QVERIFY(!cell(r, Path).endsWith("copy.dat"));

    // The 13 columns shown from the start.
    QCOMPARE(shownColumns(), QList<int>({FileName, Channels, Tape, Scene, Take, StartTC, Length,
                                         Date, Circled, Wild, SampleRate, FrameRate, Notes}));
    // Sorted by start timecode; the first row is current and selected.
    const QAbstractItemModel* proxy = view()->model();
    for (int r = 1; r < proxy->rowCount(); ++r)
        QVERIFY(proxy->index(r - 1, StartTC).data().toString() <=
                proxy->index(r, StartTC).data().toString());
    QCOMPARE(m_editor->currentModelIndex().row(), modelRow(0));
    QCOMPARE(view()->selectionModel()->selectedRows().size(), 1);
    QVERIFY(field<QPushButton>("pushButton_Clear")->isEnabled());
    QVERIFY(field<QPushButton>("pushButton_Delete")->isEnabled());

    // The same takes again add nothing.
    QVERIFY(GuiTestUtil::importAndWait(*m_editor, m_written, true));
    QCOMPARE(m_model->rowCount(), 4);
}

void TestFileListManagement::importDialogStartsInTheLastImportFolder()
{
    m_written = TakeFileMaker::writeDemoTakes(m_dir.path(), 3);
    QSettings().setValue("LastImportDir", QDir(m_dir.path()).filePath("gone"));
    QString shownFolder;
    QString wantedFile;
    // Answers the file dialog: records its folder, chooses wantedFile or cancels.
    auto answerDialog = [&] {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            shownFolder = dialog->directory().absolutePath();
            if (wantedFile.isEmpty()) {
                dialog->reject();
            } else {
                dialog->selectFile(wantedFile);
                static_cast<QDialog*>(dialog)->accept();
            }
        });
    };

    // A folder that no longer exists: the home folder; nothing chosen, nothing read.
    answerDialog();
    m_editor->startImportAction();
    QCOMPARE(shownFolder, QDir::homePath());
    QVERIFY(!m_editor->session()->isImporting());
    QCOMPARE(m_model->rowCount(), 0);

    // Choosing a file imports it and remembers its folder.
    wantedFile = QDir(m_dir.path()).filePath("T0003.WAV");
    QSignalSpy finished(m_editor.get(), &FileListManagement::importFinished);
    answerDialog();
    m_editor->startImportAction();
    QVERIFY(finished.count() == 1 || finished.wait(60000));
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(cell(0, FileName), QStringLiteral("T0003.WAV"));
    QCOMPARE(QSettings().value("LastImportDir").toString(), QFileInfo(wantedFile).absolutePath());

    wantedFile.clear();
    answerDialog();
    m_editor->startImportAction();
    QCOMPARE(shownFolder, QFileInfo(m_dir.path()).absoluteFilePath());
}

void TestFileListManagement::dropOfFilesAndFolders()
{
    const QString top = QDir(m_dir.path()).filePath("day1");
    const QString sub = QDir(top).filePath("sub");
    const QString loose = QDir(m_dir.path()).filePath("loose");
    QVERIFY(QDir().mkpath(sub) && QDir().mkpath(loose));
    QCOMPARE(TakeFileMaker::writeDemoTakes(top, 2).size(), 5);
    QCOMPARE(TakeFileMaker::writeDemoTakes(sub, 2, 4, 11).size(), 5);
    // A take file with another suffix, dropped by itself, is read.
    const QStringList looseFiles = TakeFileMaker::writeDemoTakes(loose, 1, 4, 21);
    const QString renamed = QDir(loose).filePath("take21.take");
    QVERIFY(QFile::rename(looseFiles.first(), renamed));

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(top), QUrl::fromLocalFile(renamed)});
    QSignalSpy finished(m_editor.get(), &FileListManagement::importFinished);
    // A drop goes to the widget that accepted the drag when it entered.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_editor.get(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_editor.get(), &drop);
    QVERIFY(drop.isAccepted());
    QVERIFY(finished.count() == 1 || finished.wait(60000));

    // Two takes of the folder (not its subfolder) and the renamed file.
    QCOMPARE(m_model->rowCount(), 3);
    QVERIFY(rowNamed("T0001.WAV") >= 0);
    QVERIFY(rowNamed("T0002_X.WAV") >= 0);
    QVERIFY(rowNamed("take21.take") >= 0);
    QCOMPARE(rowNamed("T0011.WAV"), -1);
}

void TestFileListManagement::dragEnterOnTheListReachesTheEditor()
{
    m_editor->show();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(m_dir.path())});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    // The list itself takes no file drops; the event goes up to the editor.
    QApplication::sendEvent(view()->viewport(), &enter);
    QVERIFY(enter.isAccepted());

    QMimeData text;
    text.setText("not a file");
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_editor.get(), &refused);
    QVERIFY(!refused.isAccepted());
}

void TestFileListManagement::firstImportedRowFillsBothPages()
{
    importDemo(2);
    // Show the mono take.
    selectViewRows({1});
    const int row = m_editor->currentModelIndex().row();
    QCOMPARE(cell(row, FileName), QStringLiteral("T0002_X.WAV"));

    // Each field of both pages shows its cell of the row.
    const std::pair<const char*, int> shows[] = {
        {"FileName", CurrentName},
        {"Channels", Channels},
        {"Scene", Scene},
        {"Take", Take},
        {"Project", Project},
        {"Tape", Tape},
        {"StartTC", StartTC},
        {"Duration", Length},
        {"BitDepth", BitDepth},
        {"label_SampleStamp", SamplesSinceMidnight},
        {"TimeCodeSampleRate", TCSampleRate},
        {"DigitizerSampleRate", DigitizerRate},
        {"comboBox_SampleRate", SampleRate},
        {"comboBox_FrameRate", FrameRate},
        {"Notes", Notes},
        {"Originator", Originator},
        {"OriginatorReference", OriginatorRef},
        {"OriginatorDate", Date},
        {"OriginatorTime", Time},
        {"SoftwareVersion", SWVersion},
        {"UserInfo", User},
    };
    for (const auto& [name, column] : shows)
        QVERIFY2(shownText(field<QWidget>(name)) == cell(row, column), name);
    QCOMPARE(cell(row, Channels), QStringLiteral("4(MONO)"));
    QCOMPARE(field<QCheckBox>("checkBox_Circled")->isChecked(), cell(row, Circled) == "Y");

    // Four tracks, one per mono file, in channel order.
    const QAbstractItemModel* tracks = field<QTreeView>("TreeViewTracks")->model();
    QCOMPARE(tracks->rowCount(), 4);
    for (int r = 0; r < 4; ++r)
        QCOMPARE(tracks->index(r, 0).data().toInt(), r + 1);
    QCOMPARE(tracks->index(0, 2).data().toString(), m_model->trackInfo(row).at(0).at(2));

    // The file set, field by field.
    const QStringList fileSet = m_model->fileSetInfo(row);
    const char* const fileSetFields[] = {"TotalFiles", "FamilyUID", "FamilyName", "FileSetIndex"};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(shownText(field<QWidget>(fileSetFields[i])) == fileSet.at(i), fileSetFields[i]);
    QCOMPARE(field<QLabel>("OriginalName")->text(), m_model->historyInfo(row).at(0));
    QCOMPARE(field<QTreeView>("TreeViewSyncPoints")->model()->rowCount(),
             int(m_model->syncPointInfo(row).size()));
    QVERIFY(!anyFlag());
}

void TestFileListManagement::fillingAFieldIsNotAnEdit()
{
    importDemo(4);
    for (int r : {1, 2, 3, 0})
        selectViewRows({r});
    QVERIFY(!anyFlag());
    // Putting the cursor into the notes arms them; filling them again on
    // the next selection is still not an edit.
    auto* notes = field<QPlainTextEdit>("Notes");
    notes->moveCursor(QTextCursor::End);
    QVERIFY(!anyFlag());
    selectViewRows({2});
    QVERIFY(!anyFlag());
    QCOMPARE(notes->toPlainText(), cell(m_editor->currentModelIndex().row(), Notes));
}

void TestFileListManagement::editingSceneSetsFlagAndCell()
{
    importDemo(2);
    const int row = m_editor->currentModelIndex().row();
    const QString before = cell(row, Scene);
    auto* scene = field<QLineEdit>("Scene");
    scene->setFocus();
    scene->end(false);
    QTest::keyClicks(scene, "X");
    QVERIFY(flag(TakeField::Scene));
    QCOMPARE(cell(row, Scene), before + "X");
    bool rate = false, name = false;
    QVERIFY(m_editor->session()->editState().isEdited(rate, name));
    QVERIFY(name);
    QVERIFY(!rate);
    // The other take is untouched.
    QVERIFY(!cell(1 - row, Scene).endsWith("X"));
}

void TestFileListManagement::editsOfEveryFieldKind()
{
    importDemo(1);
    const int row = m_editor->currentModelIndex().row();
    for (const char* name : {"Project", "Tape", "Take", "UBits"})
        field<QLineEdit>(name)->end(false);
    QTest::keyClicks(field<QLineEdit>("Project"), "P");
    QTest::keyClicks(field<QLineEdit>("Tape"), "T");
    QTest::keyClicks(field<QLineEdit>("Take"), "7");
    QTest::keyClicks(field<QLineEdit>("UBits"), "9");
    QVERIFY(flag(TakeField::Project) && flag(TakeField::Tape) && flag(TakeField::Take) &&
            flag(TakeField::Ubits));
    QVERIFY(cell(row, Project).endsWith("P"));
    QVERIFY(cell(row, Ubits).endsWith("9"));

    auto* circled = field<QCheckBox>("checkBox_Circled");
    const bool wasCircled = cell(row, Circled) == "Y";
    circled->click();
    QVERIFY(flag(TakeField::Circled));
    QCOMPARE(cell(row, Circled), wasCircled ? QStringLiteral(" ") : QStringLiteral("Y"));
    field<QCheckBox>("checkBox_WildTrack")->click();
    QVERIFY(flag(TakeField::Wild));

    auto* notes = field<QPlainTextEdit>("Notes");
    notes->setFocus();
    notes->moveCursor(QTextCursor::End);
    QTest::keyClicks(notes, " more");
    QVERIFY(flag(TakeField::Notes));
    QVERIFY(cell(row, Notes).endsWith(" more"));

    auto* user = field<QTextEdit>("UserInfo");
    user->moveCursor(QTextCursor::End);
    QTest::keyClicks(user, "!");
    QVERIFY(flag(TakeField::UserInfo));
    QVERIFY(cell(row, User).endsWith("!"));
}

void TestFileListManagement::trackNameEditGoesIntoTheModel()
{
    importDemo(1);
    const int row = m_editor->currentModelIndex().row();
    QSignalSpy tracksChanged(m_session.get(), &TakeSession::tracksChanged);
    m_editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
    auto* tracks = field<QTreeView>("TreeViewTracks");
    const QModelIndex nameCell = tracks->model()->index(1, 2);
    // Every edit trigger opens the cell editor, making it current among them.
    tracks->setCurrentIndex(nameCell);
    auto* editor = qobject_cast<QLineEdit*>(tracks->indexWidget(nameCell));
    if (!editor)
        editor = tracks->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText("Lav Carla");
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits on the next turn of the event loop.
    QTRY_COMPARE(tracksChanged.count(), 1);
    QVERIFY(flag(TakeField::Tracks));
    const int channel = tracks->model()->index(1, 0).data().toInt();
    bool found = false;
    for (const QStringList& t : m_model->trackInfo(row)) {
        if (t.at(0).toInt() == channel) {
            QCOMPARE(t.at(2), QStringLiteral("Lav Carla"));
            found = true;
        }
    }
    QVERIFY(found);
    // Channel and interleave are not editable.
    QVERIFY(!(tracks->model()->flags(tracks->model()->index(1, 0)) & Qt::ItemIsEditable));
    QVERIFY(!(tracks->model()->flags(tracks->model()->index(1, 1)) & Qt::ItemIsEditable));
}

void TestFileListManagement::movingAwayPromptsAndOkKeepsTheEdits()
{
    importDemo(3);
    const QPersistentModelIndex edited = m_editor->currentModelIndex();
    QTest::keyClicks(field<QLineEdit>("Scene"), "Z");
    const QString editedScene = cell(edited.row(), Scene);

    MessageBoxAnswerer answer(QMessageBox::Ok);
    selectViewRows({2});
    QCOMPARE(answer.texts.size(), 1);
    QVERIFY(answer.texts.first().startsWith("You have made changes to the metadata."));
    // Still on the edited take, with its edit, selected alone.
    QCOMPARE(m_editor->currentModelIndex(), QModelIndex(edited));
    QCOMPARE(cell(edited.row(), Scene), editedScene);
    QCOMPARE(field<QLineEdit>("Scene")->text(), editedScene);
    QVERIFY(flag(TakeField::Scene));
    const QModelIndexList selected = view()->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(modelRow(selected.first().row()), edited.row());
    // The reselection did not prompt a second time.
    QTest::qWait(50);
    QCOMPARE(answer.texts.size(), 1);
}

void TestFileListManagement::closingThePromptKeepsTheEdits()
{
    importDemo(2);
    const QPersistentModelIndex edited = m_editor->currentModelIndex();
    field<QLineEdit>("Tape")->end(false);
    QTest::keyClicks(field<QLineEdit>("Tape"), "Q");
    // A box that has no such button is rejected (closed) by the answerer.
    MessageBoxAnswerer answer(QMessageBox::Cancel);
    selectViewRows({1});
    QCOMPARE(answer.texts.size(), 1);
    QCOMPARE(m_editor->currentModelIndex(), QModelIndex(edited));
    QVERIFY(cell(edited.row(), Tape).endsWith("Q"));
    QVERIFY(flag(TakeField::Tape));
}

void TestFileListManagement::discardRestoresExactlyTheFlaggedFields()
{
    importDemo(3);
    const int row = m_editor->currentModelIndex().row();
    const QString scene = cell(row, Scene);
    const QString notes = cell(row, Notes);
    const QString take = cell(row, Take);
    QTest::keyClicks(field<QLineEdit>("Scene"), "Q");
    auto* notesEdit = field<QPlainTextEdit>("Notes");
    notesEdit->moveCursor(QTextCursor::End);
    QTest::keyClicks(notesEdit, " edited");
    QVERIFY(flag(TakeField::Scene) && flag(TakeField::Notes));
    // An unflagged change of another cell is not restored.
    m_model->setData(m_model->index(row, Tape), "UNFLAGGED");
    m_model->setData(m_model->index(row, Take), "99");

    MessageBoxAnswerer answer(QMessageBox::Discard);
    selectViewRows({2});
    QCOMPARE(answer.texts.size(), 1);
    QCOMPARE(cell(row, Scene), scene);
    QCOMPARE(cell(row, Notes), notes);
    QCOMPARE(cell(row, Tape), QStringLiteral("UNFLAGGED"));
    QCOMPARE(cell(row, Take), QStringLiteral("99"));
    QVERIFY(take != "99");
    QVERIFY(!anyFlag());
    // The newly selected take is shown.
    const int now = m_editor->currentModelIndex().row();
    QVERIFY(now != row);
    QCOMPARE(field<QLineEdit>("Scene")->text(), cell(now, Scene));
}

void TestFileListManagement::validatorRefusesSlashBackslashAsterisk()
{
    importDemo(1);
    const int row = m_editor->currentModelIndex().row();
    for (const char* name : {"Scene", "Take"}) {
        auto* edit = field<QLineEdit>(name);
        edit->clear();
        QTest::keyClicks(edit, "1/2\\3*4");
        QCOMPARE(edit->text(), QStringLiteral("1234"));
    }
    QCOMPARE(cell(row, Scene), QStringLiteral("1234"));
    QCOMPARE(cell(row, Take), QStringLiteral("1234"));
    // An empty name is not acceptable either.
    int pos = 0;
    QString empty;
    QCOMPARE(field<QLineEdit>("Scene")->validator()->validate(empty, pos),
             QValidator::Intermediate);
}

void TestFileListManagement::twoSelectedRowsDisableTakeAndEdit()
{
    importDemo(3);
    m_editor->setCommandAvailable(FileListManagement::Command::EditTimecode, true);
    auto* take = field<QLineEdit>("Take");
    auto* edit = field<QPushButton>("pushButton_EditTC");
    selectViewRows({0});
    QVERIFY(take->isEnabled());
    QVERIFY(edit->isEnabled());

    QSignalSpy changed(m_session.get(), &TakeSession::currentTakeChanged);
    selectViewRows({0, 2});
    QVERIFY(!take->isEnabled());
    QVERIFY(!edit->isEnabled());
    // The current take is the last selected row.
    QCOMPARE(m_editor->currentModelIndex().row(), modelRow(2));
    QVERIFY(changed.count() >= 1);
    const auto selected = changed.last().at(1).value<QList<QModelIndex>>();
    QCOMPARE(selected.size(), 2);

    selectViewRows({1});
    QVERIFY(take->isEnabled());
    QVERIFY(edit->isEnabled());
}

void TestFileListManagement::pageButtonCycles()
{
    auto* pages = field<QStackedWidget>("stackedWidget");
    auto* more = field<QPushButton>("MoreInfo");
    auto* label = field<QLabel>("PageNumber");
    for (int page : {1, 0}) {
        more->click();
        QCOMPARE(pages->currentIndex(), page);
        QCOMPARE(label->text(), QStringLiteral("(%1 of 2)").arg(page + 1));
    }
}

void TestFileListManagement::columnMenuShowsTheDefaultsAndToggles()
{
    importDemo(1);
    auto* menu = m_editor->findChild<QMenu*>("columnMenu");
    QVERIFY(menu);
    const QList<QAction*> actions = menu->actions();
    QAction* project = actions.at(3);
    QCOMPARE(project->text(), QStringLiteral("Project"));
    project->trigger();
    QVERIFY(!view()->isColumnHidden(Project));
    QVERIFY(view()->columnWidth(Project) > 0);
    emit menu->aboutToShow();
    QVERIFY(project->isChecked());
    project->trigger();
    QVERIFY(view()->isColumnHidden(Project));

    // The right click opens it.
    m_editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_editor.get()));
    emit view()->customContextMenuRequested(QPoint(20, 20));
    QTRY_VERIFY(menu->isVisible());
    menu->hide();
}

void TestFileListManagement::deleteCancelledDeletesNothing()
{
    importDemo(2);
    selectViewRows({0, 1});
    MessageBoxAnswerer answer(QMessageBox::Cancel);
    field<QPushButton>("pushButton_Delete")->click();
    QCOMPARE(answer.texts.size(), 1);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), m_written.size());
    QCOMPARE(m_model->rowCount(), 2);
}

void TestFileListManagement::deleteWithNothingSelectedWarns()
{
    importDemo(1);
    view()->selectionModel()->clearSelection();
    MessageBoxAnswerer answer(QMessageBox::Ok);
    field<QPushButton>("pushButton_Delete")->click();
    QCOMPARE(answer.texts, QStringList({"Please select takes to delete."}));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), m_written.size());
}

void TestFileListManagement::clearingTheLastRowDisablesButtonsAndEmptiesPages()
{
    importDemo(2);
    QSignalSpy rename(m_editor.get(), &FileListManagement::renameEnabled);
    selectViewRows({0, 1});
    field<QPushButton>("pushButton_Clear")->click();
    QCOMPARE(m_model->rowCount(), 0);
    // The files are untouched.
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files).size(), m_written.size());
    QVERIFY(!m_editor->currentModelIndex().isValid());
    for (const char* name :
         {"pushButton_Clear", "pushButton_Rename", "pushButton_CopyTo", "pushButton_Delete",
          "pushButton_SpltCombine", "pushButton_Reports", "pushButton_Play", "pushButton_EditTC"})
        QVERIFY2(!field<QPushButton>(name)->isEnabled(), name);
    QVERIFY(field<QPushButton>("pushButton_Import")->isEnabled());
    QVERIFY(!rename.isEmpty());
    QCOMPARE(rename.last().at(0).toBool(), false);
    for (const char* name : {"FileName", "Channels", "StartTC", "Duration", "BitDepth",
                             "label_SampleStamp", "Originator", "OriginatorDate", "FamilyUID",
                             "TotalFiles", "OriginalName", "SoftwareVersion"})
        QVERIFY2(field<QLabel>(name)->text().isEmpty(), name);
    for (const char* name : {"Scene", "Take", "Project", "Tape", "UBits"})
        QVERIFY2(field<QLineEdit>(name)->text().isEmpty(), name);
    QVERIFY(field<QPlainTextEdit>("Notes")->toPlainText().isEmpty());
    QVERIFY(field<QTextEdit>("UserInfo")->toPlainText().isEmpty());
    QCOMPARE(field<QTreeView>("TreeViewTracks")->model()->rowCount(), 0);
    QCOMPARE(field<QTreeView>("TreeViewSyncPoints")->model()->rowCount(), 0);
    QVERIFY(!anyFlag());
}

void TestFileListManagement::clearingAnEditedTakeDropsItsFlags()
{
    importDemo(3);
    QTest::keyClicks(field<QLineEdit>("Scene"), "E");
    QVERIFY(flag(TakeField::Scene));
    MessageBoxAnswerer answer(QMessageBox::Ok);
    field<QPushButton>("pushButton_Clear")->click();
    // No prompt: the edited take is gone, and its flags with it.
    QTest::qWait(30);
    QCOMPARE(answer.texts.size(), 0);
    QCOMPARE(m_model->rowCount(), 2);
    QVERIFY(!anyFlag());
    QVERIFY(m_editor->currentModelIndex().isValid());
    QCOMPARE(m_editor->currentModelIndex().row(), modelRow(0));
}

void TestFileListManagement::playingTakeLocksRenameClearDelete()
{
    importDemo(2);
    m_editor->setCommandAvailable(FileListManagement::Command::Rename, true);
    m_editor->setCommandAvailable(FileListManagement::Command::Play, true);
    auto* rename = field<QPushButton>("pushButton_Rename");
    auto* clear = field<QPushButton>("pushButton_Clear");
    auto* del = field<QPushButton>("pushButton_Delete");
    auto* stop = field<QPushButton>("pushButton_Stop");
    QVERIFY(rename->isEnabled() && clear->isEnabled() && del->isEnabled());
    QVERIFY(!stop->isEnabled());

    const QModelIndex playing = m_editor->currentModelIndex();
    m_editor->on_playStarted(playing);
    QVERIFY(!rename->isEnabled() && !clear->isEnabled() && !del->isEnabled());
    QVERIFY(stop->isEnabled());
    // Selecting another take and back keeps the lock on the playing one.
    selectViewRows({1});
    QVERIFY(rename->isEnabled() && clear->isEnabled());
    selectViewRows({0});
    QVERIFY(!rename->isEnabled() && !clear->isEnabled() && !del->isEnabled());

    m_editor->on_playPaused(true);
    QCOMPARE(field<QPushButton>("pushButton_Play")->text(), QStringLiteral("Pause"));
    m_editor->on_playStoped();
    QVERIFY(rename->isEnabled() && clear->isEnabled() && del->isEnabled());
    QVERIFY(!stop->isEnabled());
    QCOMPARE(field<QPushButton>("pushButton_Play")->text(), QStringLiteral("Play"));
}

void TestFileListManagement::gatedButtonsFollowTheirCommand()
{
    QSignalSpy rename(m_editor.get(), &FileListManagement::renameEnabled);
    importDemo(1);
    // Renaming is possible for the list; withdrawn, its controls go off.
    auto* button = field<QPushButton>("pushButton_Rename");
    QVERIFY(button->isEnabled());
    m_editor->setCommandAvailable(FileListManagement::Command::Rename, false);
    m_editor->setCommandAvailable(FileListManagement::Command::Save, false);
    m_editor->setCommandAvailable(FileListManagement::Command::RateChange, false);
    QVERIFY(!button->isEnabled());
    QVERIFY(!rename.isEmpty());
    QCOMPARE(rename.last().at(0).toBool(), false);
    QVERIFY(!field<QPushButton>("Save")->isEnabled());
    QVERIFY(!field<QComboBox>("comboBox_FrameRate")->isEnabled());

    m_editor->setCommandAvailable(FileListManagement::Command::Rename, true);
    QVERIFY(button->isEnabled());
    QCOMPARE(rename.last().at(0).toBool(), true);
    m_editor->setCommandAvailable(FileListManagement::Command::Save, true);
    QVERIFY(field<QPushButton>("Save")->isEnabled());
    m_editor->setCommandAvailable(FileListManagement::Command::RateChange, true);
    QVERIFY(field<QComboBox>("comboBox_FrameRate")->isEnabled());

    // Without playback a double click changes nothing.
    QSignalSpy play(m_session.get(), &TakeSession::playRequested);
    emit view()->doubleClicked(view()->model()->index(0, 0));
    QCOMPARE(play.count(), 0);
    QVERIFY(button->isEnabled());
}

QTEST_MAIN(TestFileListManagement)
#include "tst_filelistmanagement.moc"
