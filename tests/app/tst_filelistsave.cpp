#include "AudioFile.h"
#include "AudioFileModel.h"
#include "EditTC.h"
#include "FileListManagement.h"
#include "GuiTestUtil.h"
#include "TakeColumns.h"
#include "TakeEditState.h"
#include "TestUtil.h"

#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

#include <memory>

using namespace TakeColumns;
using GuiTestUtil::MessageBoxAnswerer;

// Saving edits from the editor panel, rate changes and the timecode editor,
// rename and copy: what reaches the files, the model and the action state.
class TestFileListSave : public QObject, private GuiTestUtil::EditorFixture
{
    Q_OBJECT

private:
    QTemporaryDir m_tmp;
    QString m_dir;

    int rowNamed(const QString& name) const
    {
        for (int r = 0; r < m_model->rowCount(); ++r) {
            if (cell(r, FileName) == name)
                return r;
        }
        return -1;
    }
    int viewRowOf(int modelRow) const
    {
        for (int v = 0; v < view()->model()->rowCount(); ++v) {
            if (view()->model()->index(v, Path).data().toString() == cell(modelRow, Path))
                return v;
        }
        return -1;
    }
    // Selects the given model rows; the last becomes the current take.
    void selectRows(const QList<int>& rows)
    {
        QItemSelectionModel* s = view()->selectionModel();
        for (int i = 0; i < rows.size(); ++i) {
            const QModelIndex index = view()->model()->index(viewRowOf(rows.at(i)), 0);
            s->setCurrentIndex(index, (i == 0 ? QItemSelectionModel::ClearAndSelect
                                              : QItemSelectionModel::Select) |
                                          QItemSelectionModel::Rows);
        }
    }
    void edit(const char* lineEdit, const QString& text)
    {
        auto* e = field<QLineEdit>(lineEdit);
        e->setText(text);
        emit e->textEdited(text);
    }
    bool anyFlag() const
    {
        bool rate = false, name = false;
        return m_editor->session()->editState().isEdited(rate, name);
    }
    QString path(const QString& name) const { return m_dir + "/" + name; }
    static QStringList monoFiles(const QString& dir, int take)
    {
        QStringList files;
        for (int c = 1; c <= 4; ++c)
            files << dir + QStringLiteral("/T%1_%2.WAV").arg(take, 4, 10, QChar('0')).arg(c);
        return files;
    }
    // The audio bytes of a take file.
    static QByteArray audioOf(const QString& file)
    {
        AudioFile f;
        if (!f.Open(file))
            return QByteArray();
        QFile raw(file);
        if (!raw.open(QIODevice::ReadOnly) || !raw.seek(qint64(f.m_fileDataPos)))
            return QByteArray();
        return raw.read(qint64(f.m_info.dataSize));
    }
    static AudioFile* open(const QString& file)
    {
        auto* f = new AudioFile;
        if (!f->Open(file))
            qWarning("cannot open %s", qPrintable(file));
        return f;
    }
    // Runs action (which starts a save, rename or copy) and waits for its end.
    bool runAction(const std::function<void()>& action, bool* ok = nullptr)
    {
        QSignalSpy finished(m_editor.get(), &FileListManagement::actionFinished);
        action();
        if (finished.isEmpty() && !finished.wait(30000))
            return false;
        if (ok)
            *ok = finished.first().at(1).toBool();
        return true;
    }
    void importDemo(int takes)
    {
        QVERIFY(!TakeFileMaker::writeDemoTakes(m_dir, takes).isEmpty());
        QVERIFY(GuiTestUtil::importAndWait(*m_editor, {m_dir}, false));
        QCOMPARE(m_model->rowCount(), takes);
    }
    QStringList backups() const { return QDir(m_dir).entryList({"*_updatebackup*"}, QDir::Files); }

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
        QDir().mkpath(m_dir);
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

    void commandsAreAvailable()
    {
        importDemo(1);
        for (const char* name :
             {"Save", "pushButton_Rename", "pushButton_CopyTo", "pushButton_EditTC"})
            QVERIFY2(field<QPushButton>(name)->isEnabled(), name);
        QVERIFY(field<QComboBox>("comboBox_FrameRate")->isEnabled());
        QVERIFY(field<QComboBox>("comboBox_SampleRate")->isEnabled());
    }

    void savingAMonoTakeWritesAllFourFiles()
    {
        importDemo(2);
        const int mono = rowNamed("T0002_X.WAV");
        QVERIFY(mono >= 0);
        selectRows({mono});
        const QStringList files = monoFiles(m_dir, 2);
        QList<QByteArray> audio;
        for (const QString& f : files)
            audio << audioOf(f);
        edit("Project", "Feature X");
        bool ok = false;
        QVERIFY(runAction([&] { field<QPushButton>("Save")->click(); }, &ok));
        QVERIFY(ok);
        QProgressDialog* progress = m_editor->progressDialog();
        QVERIFY(progress);
        QCOMPARE(progress->maximum(), 400);
        QCOMPARE(progress->value(), 400);
        QCOMPARE(progress->labelText(), QStringLiteral("Updating files..."));
        for (int i = 0; i < 4; ++i) {
            std::unique_ptr<AudioFile> f(open(files.at(i)));
            QCOMPARE(f->GetProjectName(), QStringLiteral("Feature X"));
            QCOMPARE(audioOf(files.at(i)), audio.at(i));
        }
        QVERIFY(!anyFlag());
        QVERIFY(backups().isEmpty());
        QCOMPARE(m_editor->session()->jobs()->kind(), TakeJobs::Kind::None);
        // The dialog closes a second after the end.
        QTRY_VERIFY_WITH_TIMEOUT(!m_editor->progressDialog(), 5000);
    }

    // After a save (one take in place, one rewritten), the command line and
    // other readers read the new values.
    void otherReadersReadTheSavedFiles()
    {
        importDemo(2);
        selectRows({rowNamed("T0001.WAV"), rowNamed("T0002_X.WAV")});
        edit("Project", "Seen");
        auto* notes = field<QPlainTextEdit>("Notes");
        emit notes->cursorPositionChanged();
        notes->setPlainText(QString(12000, 'r'));
        QVERIFY(runAction([&] { m_editor->startSave(); }));
        const QStringList files = QDir(m_dir).entryList({"*.WAV"}, QDir::Files);
        QCOMPARE(files.size(), 5);
        for (const QString& name : files) {
            QByteArray out;
            QCOMPARE(
                TestUtil::run(QStringLiteral(VELMORA_CLI), {"info", "--json", path(name)}, &out),
                0);
            const QJsonObject cols =
                QJsonDocument::fromJson(out).array().at(0).toObject().value("columns").toObject();
            QCOMPARE(cols.value("Project").toString(), QStringLiteral("Seen"));
            QCOMPARE(cols.value("Notes").toString().size(), 12000);
            for (const char* tool : {"sox", "ffprobe"}) {
                if (QStandardPaths::findExecutable(tool).isEmpty())
                    continue;
                const QStringList args = QLatin1String(tool) == QLatin1String("sox")
                                             ? QStringList{"--i", path(name)}
                                             : QStringList{"-v", "error", path(name)};
                QByteArray err;
                QCOMPARE(TestUtil::run(tool, args, nullptr, &err), 0);
                QVERIFY2(err.isEmpty(), err.constData());
            }
        }
        QVERIFY(backups().isEmpty());
    }

    void severalTakesGetTheProjectButNotTheTakeName()
    {
        importDemo(5);
        QList<int> rows;
        for (int r = 0; r < 5; ++r)
            rows << r;
        selectRows(rows);
        QVERIFY(!field<QLineEdit>("Take")->isEnabled());
        const int current = m_editor->currentModelIndex().row();
        edit("Project", "Series");
        edit("Take", "99"); // a disabled field: a take name belongs to one take
        QVERIFY(runAction([&] { m_editor->startSave(); }));
        const QStringList files = QDir(m_dir).entryList({"*.WAV"}, QDir::Files);
        QCOMPARE(files.size(), 3 + 2 * 4);
        for (const QString& name : files) {
            std::unique_ptr<AudioFile> f(open(path(name)));
            QCOMPARE(f->GetProjectName(), QStringLiteral("Series"));
            QVERIFY2(f->GetTakeName() != QLatin1String("99"), qPrintable(name));
        }
        for (int r = 0; r < 5; ++r)
            QCOMPARE(cell(r, Project), QStringLiteral("Series"));
        QCOMPARE(cell(current, Take), QStringLiteral("99")); // the model keeps what was typed
        QVERIFY(!anyFlag());
    }

    void aConfirmedDuplicateGetsAPlusScene()
    {
        importDemo(2);
        const int poly = rowNamed("T0001.WAV"), mono = rowNamed("T0002_X.WAV");
        selectRows({poly});
        edit("Scene", cell(mono, Scene));
        edit("Take", cell(mono, Take));
        const QString scene = cell(mono, Scene);
        MessageBoxAnswerer ok(QMessageBox::Ok);
        QVERIFY(runAction([&] { m_editor->startSave(); }));
        QCOMPARE(ok.texts.size(), 1);
        QVERIFY(ok.texts.first().startsWith("Scene/take duplication has been detected."));
        QCOMPARE(cell(poly, Scene), "+" + scene);
        QCOMPARE(field<QLineEdit>("Scene")->text(), "+" + scene);
        QCOMPARE(cell(mono, Scene), scene);
        std::unique_ptr<AudioFile> f(open(path("T0001.WAV")));
        QCOMPARE(f->GetSceneName(), "+" + scene);
    }

    void savingWithoutEditsDoesNothing()
    {
        importDemo(1);
        const QDateTime before = QFileInfo(path("T0001.WAV")).lastModified();
        QSignalSpy finished(m_editor.get(), &FileListManagement::actionFinished);
        field<QPushButton>("Save")->click();
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 0);
        QVERIFY(!m_editor->progressDialog());
        QCOMPARE(QFileInfo(path("T0001.WAV")).lastModified(), before);
    }

    // A failed save keeps the edits and flags, closes its dialog and resets
    // the action; what it wrote is remembered (the retry is the jobs' test).
    void aFailedSaveKeepsTheEditsAndRetriesWhatIsPending()
    {
        importDemo(2);
        selectRows({rowNamed("T0002_X.WAV")});
        const QStringList files = monoFiles(m_dir, 2);
        QFile::Permissions perms = QFileInfo(files.at(2)).permissions();
        QVERIFY(QFile::setPermissions(files.at(2), QFile::ReadOwner | QFile::ReadGroup));
        edit("Project", "Retry");
        MessageBoxAnswerer answer(QMessageBox::Ok);
        bool ok = true;
        QVERIFY(runAction([&] { m_editor->startSave(); }, &ok));
        QVERIFY(!ok);
        QCOMPARE(answer.texts, QStringList{"Error occurred during process."});
        QVERIFY(anyFlag());
        QCOMPARE(cell(rowNamed("T0002_X.WAV"), Project), QStringLiteral("Retry"));
        QCOMPARE(m_editor->session()->jobs()->writtenFiles().size(), 2);
        QVERIFY(!m_editor->progressDialog());
        QVERIFY(!m_editor->session()->jobs()->isRunning());
        for (const QString& f : files)
            QVERIFY(!audioOf(f).isEmpty());

        QVERIFY(QFile::setPermissions(files.at(2), perms));
        QCOMPARE(answer.texts.size(), 1);
    }

    void aCancelledSaveChangesNothingAndIsNotStuck()
    {
        importDemo(2);
        selectRows({rowNamed("T0002_X.WAV")});
        edit("Tape", "T9");
        bool ok = true;
        QVERIFY(runAction(
            [&] {
                m_editor->startSave();
                QVERIFY(m_editor->progressDialog());
                // The user presses the dialog's Cancel button.
                auto* cancel = m_editor->progressDialog()->findChild<QPushButton*>();
                QVERIFY(cancel);
                cancel->click();
            },
            &ok));
        QVERIFY(!ok);
        QVERIFY(anyFlag());
        QVERIFY(!m_editor->progressDialog());
        for (const QString& f : monoFiles(m_dir, 2)) {
            std::unique_ptr<AudioFile> a(open(f));
            QVERIFY(a->GetTapeName() != QLatin1String("T9"));
        }
        // Saving again works: no "Please wait" with nothing running.
        MessageBoxAnswerer none(QMessageBox::Ok);
        QVERIFY(runAction([&] { m_editor->startSave(); }, &ok));
        QVERIFY(ok);
        QVERIFY(none.texts.isEmpty());
    }

    void savingWhileACopyRunsAsksToWait()
    {
        importDemo(2);
        QDir().mkpath(m_tmp.filePath("out"));
        selectRows({rowNamed("T0002_X.WAV")});
        edit("Tape", "W");
        MessageBoxAnswerer answer(QMessageBox::Ok);
        QVERIFY(runAction([&] {
            m_editor->startCopyTo(m_tmp.filePath("out"));
            m_editor->startSave();
        }));
        QCOMPARE(answer.texts, QStringList{"Please wait until action completes and try again."});
        QVERIFY(anyFlag());
        QVERIFY(runAction([&] { m_editor->startSave(); }));
        QVERIFY(!anyFlag());
    }

    void aTypedSampleRateMustBeANumber()
    {
        importDemo(1);
        selectRows({0});
        auto* combo = field<QComboBox>("comboBox_SampleRate");
        combo->addItem("abc");
        combo->setCurrentIndex(combo->count() - 1);
        QCOMPARE(cell(0, SampleRate), QStringLiteral("48000"));
        QVERIFY(!anyFlag());
        QCOMPARE(combo->currentText(), QStringLiteral("48000"));
    }

    void frameLimits_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown"); // the line edit afterwards
        const QString frames = "Invalid frame number.\n Please enter valid frame number.";
        const QString time = "Invalid time.\n Please enter valid time.";
        QTest::newRow("25 ND 24") << "25 ND"
                                  << "01:02:03:24" << true << ""
                                  << "01:02:03:24";
        QTest::newRow("25 ND 25") << "25 ND"
                                  << "01:02:03:25" << false << frames << "01:02:03:07";
        QTest::newRow("29.97 DF 29") << "29.97 DF"
                                     << "01:02:03:29" << true << ""
                                     << "01:02:03:29";
        QTest::newRow("29.97 DF 30") << "29.97 DF"
                                     << "01:02:03:30" << false << frames << "01:02:03:07";
        QTest::newRow("23.97 ND 23") << "23.97 ND"
                                     << "01:02:03:23" << true << ""
                                     << "01:02:03:23";
        QTest::newRow("23.97 ND 24") << "23.97 ND"
                                     << "01:02:03:24" << false << frames << "01:02:03:07";
        QTest::newRow("hours") << "25 ND"
                               << "24:00:00:00" << false << time << "10:00:00:00";
        QTest::newRow("minutes") << "25 ND"
                                 << "01:60:00:00" << false << time << "01:00:00:00";
        QTest::newRow("seconds") << "25 ND"
                                 << "01:00:61:00" << false << time << "01:00:00:00";
        QTest::newRow("short") << "25 ND"
                               << "01:00:0" << false
                               << "Invalid Time Code.\n Please enter valid Time Code."
                               << "01:00:0:";
    }

    void frameLimits()
    {
        QFETCH(QString, rate);
        QFETCH(QString, entry);
        QFETCH(bool, accepted);
        QFETCH(QString, message);
        QFETCH(QString, shown);
        EditTC* tc = m_editor->timecodeEditor();
        tc->setFrameRateLimitations(rate);
        tc->setTimecode("10:00:00;07");
        tc->lineEdit()->setText(entry);
        MessageBoxAnswerer answer(QMessageBox::Ok);
        QCOMPARE(tc->validateTimeCode(), accepted);
        QCOMPARE(answer.texts, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(tc->lineEdit()->text(), shown);
    }

    void originatorTime_data()
    {
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("timecode");
        QTest::newRow("colons") << "14:03:22"
                                << "14:03:22:00";
        QTest::newRow("creation time") << "14-03-22"
                                       << "14:03:22:00";
        QTest::newRow("none") << ""
                              << "";
        QTest::newRow("one part") << "14032200"
                                  << "";
    }

    void originatorTime()
    {
        QFETCH(QString, time);
        QFETCH(QString, timecode);
        EditTC* tc = m_editor->timecodeEditor();
        tc->setTimeCreation(time);
        QCOMPARE(tc->creationTimecode(), timecode);
    }

    void theTimecodeEditorSetsTheTimestamp()
    {
        importDemo(1);
        selectRows({0});
        auto* combo = field<QComboBox>("comboBox_FrameRate");
        combo->setCurrentIndex(combo->findText("29.97 DF"));
        field<QPushButton>("pushButton_EditTC")->click();
        EditTC* tc = m_editor->timecodeEditor();
        QVERIFY(tc->isVisible());
        QVERIFY(!field<QCheckBox>("checkBox_PreserveStartTC")->isChecked());
        QCOMPARE(tc->frameLimit(), QStringLiteral("29.97"));

        // No originator time in the row: the editor says so and stays manual.
        m_model->setData(m_model->index(0, Time), QString());
        tc->setTimeCreation(QString());
        MessageBoxAnswerer answer(QMessageBox::Ok);
        tc->findChild<QRadioButton*>("radioButton_CreationTime")->click();
        QCOMPARE(answer.texts, QStringList{"There is no valid Originator Time available.\n "
                                           "Please edit Time Code manually."});
        QVERIFY(tc->findChild<QRadioButton*>("radioButton_Manually")->isChecked());

        tc->lineEdit()->setText("11:22:33:10");
        tc->on_buttonBox_accepted();
        QVERIFY(!tc->isVisible());
        QCOMPARE(cell(0, StartTC), QStringLiteral("11:22:33;10"));
        std::unique_ptr<AudioFile> f(open(path("T0001.WAV")));
        const int rate = cell(0, SampleRate).toInt();
        const QString samples = f->GetSamplesSinceMidnight(rate, "29.97 DF", "11:22:33;10");
        QCOMPARE(cell(0, SamplesSinceMidnight), samples);
        QCOMPARE(cell(0, EndTC), f->GetTCEnd(samples, "29.97 DF", rate));
        QVERIFY(m_editor->session()->editedFields().testFlag(TakeField::SamplesSinceMidnight));
        QVERIFY(field<QCheckBox>("checkBox_PreserveStartTC")->isChecked());
    }

    void theOriginatorTimeBecomesTheStart()
    {
        importDemo(1);
        selectRows({0});
        m_model->setData(m_model->index(0, Time), QStringLiteral("14:03:22"));
        field<QPushButton>("pushButton_EditTC")->click();
        EditTC* tc = m_editor->timecodeEditor();
        tc->findChild<QRadioButton*>("radioButton_CreationTime")->click();
        QCOMPARE(tc->lineEdit()->text(), QStringLiteral("14:03:22:00"));
        QVERIFY(!tc->lineEdit()->isEnabled());
        tc->on_buttonBox_accepted();
        const bool df = cell(0, FrameRate).contains("DF");
        QCOMPARE(cell(0, StartTC),
                 df ? QStringLiteral("14:03:22;00") : QStringLiteral("14:03:22:00"));
    }

    // A damaged take is marked in the list; its save is refused with the
    // write check's message and leaves the file as it was.
    void aDamagedTakeIsMarkedAndNotSaved()
    {
        TakeShape shape;
        shape.channels = 2;
        shape.chop = 100;
        QVERIFY(TakeFileMaker::write(path("T1.WAV"), shape));
        const QByteArray before = TestUtil::readFile(path("T1.WAV"));
        QVERIFY(GuiTestUtil::importAndWait(*m_editor, {m_dir}, false));
        const QModelIndex name = view()->model()->index(0, FileName);
        QVERIFY(name.data(Qt::ForegroundRole).value<QColor>().isValid());
        QVERIFY(!view()->model()->index(0, Scene).data(Qt::ForegroundRole).isValid());
        selectRows({0});
        edit("Scene", "9");
        MessageBoxAnswerer answer(QMessageBox::Ok);
        bool ok = true;
        QVERIFY(runAction([&] { m_editor->startSave(); }, &ok));
        QVERIFY(!ok);
        QCOMPARE(answer.texts.size(), 1);
        QVERIFY2(answer.texts.first().startsWith(path("T1.WAV") + " is damaged: "),
                 qPrintable(answer.texts.first()));
        QCOMPARE(TestUtil::readFile(path("T1.WAV")), before);
        QVERIFY(anyFlag());
    }

    // A take whose iXML does not parse is saved only after the question,
    // which Cancel (the default) answers by leaving the file as it was.
    void anUnreadableIxmlIsRebuiltOnlyWhenAsked()
    {
        TakeShape shape;
        shape.channels = 2;
        shape.note = "fish & chips";
        QVERIFY(TakeFileMaker::write(path("T1.WAV"), shape));
        const QByteArray before = TestUtil::readFile(path("T1.WAV"));
        QVERIFY(GuiTestUtil::importAndWait(*m_editor, {m_dir}, false));
        selectRows({0});
        edit("Scene", "9");
        MessageBoxAnswerer cancel(QMessageBox::Cancel);
        bool ok = true;
        QVERIFY(runAction([&] { m_editor->startSave(); }, &ok));
        QVERIFY(!ok);
        QCOMPARE(cancel.texts.size(), 1);
        QVERIFY2(cancel.texts.first().startsWith("The iXML metadata of T1.WAV cannot be read (") &&
                     cancel.texts.first().endsWith(
                         "). Rebuild it from the fields Velmora could read? Anything else it "
                         "held will be lost."),
                 qPrintable(cancel.texts.first()));
        QCOMPARE(TestUtil::readFile(path("T1.WAV")), before);
        QVERIFY(anyFlag());
    }
};

QTEST_MAIN(TestFileListSave)
#include "tst_filelistsave.moc"
