#include "AudioFileModel.h"
#include "TakeFileMaker.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace
{

// A complete row whose cells name their row and column ("r<tag> c<col>"),
// with the take name and label in columns 0 and 2.
QStringList rowCells(const QString& tag, const QString& name = QString(),
                     const QString& label = "1(MONO)")
{
    QStringList cells;
    for (int c = 0; c < AudioFileModel::headersList.size(); ++c)
        cells << QString("r%1 c%2").arg(tag).arg(c);
    cells[0] = name.isEmpty() ? tag : name;
    cells[2] = label;
    cells[30] = "/takes/" + tag + ".wav";
    return cells;
}

QList<QStringList> tracks(const QString& tag)
{
    return {{"1", "1", tag + "1", ""}, {"2", "2", tag + "2", ""}};
}

QList<QStringList> syncPoints(const QString& tag)
{
    return {QStringList{"RELATIVE", "SLATE", tag, "01:00:00:00", "00:00:01"}};
}

} // namespace

// The take list model: rows of text cells with side tables that must stay
// beside their rows, and the case-insensitive duplicate rule of an import.
class TestAudioFileModel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AudioFileModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    void addRow(const QString& tag, const QString& name = QString(),
                const QString& label = "1(MONO)");
    void checkRow(int row, const QString& tag);

private slots:
    void init();
    void cleanup();
    void setDataCellAndRow();
    void setDataRefusals();
    void sideTablesStayWithTheirRows_data();
    void sideTablesStayWithTheirRows();
    void refusedRowChanges_data();
    void refusedRowChanges();
    void malformedSideTablesAreRefused_data();
    void malformedSideTablesAreRefused();
    void sideTablesOfMissingRows();
    void duplicateRuleIgnoresCaseAndFollowsEdits();
    void getTracksFollowsTheOrderAndSkipsMissingFiles();
};

void TestAudioFileModel::init()
{
    m_model = std::make_unique<AudioFileModel>();
    m_tester = std::make_unique<QAbstractItemModelTester>(
        m_model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void TestAudioFileModel::cleanup()
{
    m_tester.reset();
    m_model.reset();
}

void TestAudioFileModel::addRow(const QString& tag, const QString& name, const QString& label)
{
    const int row = m_model->rowCount();
    QVERIFY(m_model->insertRows(row, 1));
    QVERIFY(m_model->setData(m_model->index(row, 0), rowCells(tag, name, label)));
    m_model->setTrackInfo(row, tracks(tag));
    m_model->setSyncPointInfo(row, syncPoints(tag));
    m_model->setFileSetInfo(row, {"2", "F" + tag, "fam", "A"});
    m_model->setHistoryInfo(row, {"o" + tag, "p" + tag, "u" + tag});
    m_model->setDamage(row, "d" + tag);
}

void TestAudioFileModel::checkRow(int row, const QString& tag)
{
    QCOMPARE(m_model->data(m_model->index(row, 0)).toString(), tag);
    QCOMPARE(m_model->trackInfo(row), tracks(tag));
    QCOMPARE(m_model->syncPointInfo(row), syncPoints(tag));
    QCOMPARE(m_model->fileSetInfo(row).value(1), "F" + tag);
    QCOMPARE(m_model->historyInfo(row).value(0), "o" + tag);
    QCOMPARE(m_model->data(m_model->index(row, 5), AudioFileModel::DamageRole).toString(),
             "d" + tag);
    // A damaged take shows its damage on its name, its path elsewhere.
    QCOMPARE(m_model->data(m_model->index(row, 0), Qt::ToolTipRole).toString(), "d" + tag);
    QCOMPARE(m_model->data(m_model->index(row, 7), Qt::ToolTipRole).toString(),
             "/takes/" + tag + ".wav");
}

void TestAudioFileModel::setDataCellAndRow()
{
    addRow("a");
    addRow("b");
    QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
    const QModelIndex i = m_model->index(1, 16);
    QVERIFY(m_model->setData(i, 48000)); // numbers are stored as text
    QCOMPARE(m_model->data(i).toString(), QString("48000"));
    QCOMPARE(changed.takeFirst().at(1).toModelIndex(), i);
    // A row list set through any cell replaces the row; views hear of all of it.
    const QStringList cells = rowCells("z");
    QVERIFY(m_model->setData(m_model->index(0, 17), cells));
    for (int c = 0; c < 31; ++c)
        QCOMPARE(m_model->data(m_model->index(0, c)).toString(), cells.at(c));
    QCOMPARE(changed.at(0).at(0).toModelIndex(), m_model->index(0, 0));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), m_model->index(0, 30));
    QCOMPARE(m_model->data(m_model->index(1, 6)).toString(), QString("rb c6"));
}

void TestAudioFileModel::setDataRefusals()
{
    addRow("a");
    QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
    const QModelIndex i = m_model->index(0, 4);
    QVERIFY(!m_model->setData(i, "x", Qt::DisplayRole));
    QVERIFY(!m_model->setData(i, QVariant()));
    QVERIFY(!m_model->setData(QModelIndex(), "x"));
    // A row list must have one cell per column.
    QVERIFY(!m_model->setData(i, rowCells("z").mid(0, 30)));
    QVERIFY(!m_model->setData(i, rowCells("z") << "extra"));
    QVERIFY(!m_model->insertRow(0, QModelIndex(), rowCells("x") << "extra"));
    QCOMPARE(changed.size(), 0);
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->data(i).toString(), QString("ra c4"));
    // A shorter row list is padded with the defaults.
    QVERIFY(m_model->insertRow(1, QModelIndex(), QStringList{"T1.wav", "cur", "1(MONO)"}));
    for (int c = 3; c < 31; ++c)
        QCOMPARE(m_model->data(m_model->index(1, c)).toString(), AudioFileModel::defaultList.at(c));
}

// Rows inserted or removed among five tagged rows: the rows left, in order
// ("-" a new empty row), each with its own side tables.
void TestAudioFileModel::sideTablesStayWithTheirRows_data()
{
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("left");
    QTest::newRow("insert two in the middle") << true << 1 << 2 << "a--bcde";
    QTest::newRow("insert at the end") << true << 5 << 1 << "abcde-";
    QTest::newRow("remove three in the middle") << false << 1 << 3 << "ae";
    QTest::newRow("remove the first two") << false << 0 << 2 << "cde";
    QTest::newRow("remove all") << false << 0 << 5 << "";
}

void TestAudioFileModel::sideTablesStayWithTheirRows()
{
    QFETCH(bool, insert);
    QFETCH(int, row);
    QFETCH(int, count);
    QFETCH(QString, left);
    for (const char* tag : {"a", "b", "c", "d", "e"})
        addRow(tag);
    QSignalSpy changed(m_model.get(), insert ? &QAbstractItemModel::rowsInserted
                                             : &QAbstractItemModel::rowsRemoved);
    QVERIFY(insert ? m_model->insertRows(row, count) : m_model->removeRows(row, count));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(1).toInt(), row);
    QCOMPARE(changed.at(0).at(2).toInt(), row + count - 1);
    QCOMPARE(m_model->rowCount(), left.size());
    for (int r = 0; r < left.size(); ++r) {
        if (left.at(r) != '-') {
            checkRow(r, left.at(r));
            continue;
        }
        for (int c = 0; c < 31; ++c)
            QCOMPARE(m_model->data(m_model->index(r, c)).toString(),
                     AudioFileModel::defaultList.at(c));
        QVERIFY(m_model->trackInfo(r).isEmpty() && m_model->syncPointInfo(r).isEmpty());
        QVERIFY(m_model->fileSetInfo(r).isEmpty() && m_model->historyInfo(r).isEmpty());
        QVERIFY(m_model->damage(r).isEmpty());
        // Filling a new row fills its own entry.
        m_model->setTrackInfo(r, tracks("new"));
        QCOMPARE(m_model->trackInfo(r), tracks("new"));
    }
    QVERIFY(m_model->trackInfo(left.size()).isEmpty());
}

void TestAudioFileModel::refusedRowChanges_data()
{
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::newRow("insert at a negative row") << true << -1 << 1;
    QTest::newRow("insert beyond the end") << true << 3 << 1;
    QTest::newRow("insert no rows") << true << 0 << 0;
    QTest::newRow("remove past the end") << false << 1 << 2;
    QTest::newRow("remove a negative row") << false << -1 << 1;
}

void TestAudioFileModel::refusedRowChanges()
{
    QFETCH(bool, insert);
    QFETCH(int, row);
    QFETCH(int, count);
    addRow("a");
    addRow("b");
    QVERIFY(!(insert ? m_model->insertRows(row, count) : m_model->removeRows(row, count)));
    QVERIFY(!m_model->insertRows(0, 1, m_model->index(0, 0)));
    QCOMPARE(m_model->rowCount(), 2);
    checkRow(1, "b");
}

// Records of the wrong shape leave the row's tables as they were.
void TestAudioFileModel::malformedSideTablesAreRefused_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QList<QStringList>>("records");
    const QStringList four{"1", "1", "n", "f"};
    QTest::newRow("tracks empty") << "tracks" << QList<QStringList>{};
    QTest::newRow("tracks later short") << "tracks" << QList<QStringList>{four, {"2", "2", "n"}};
    QTest::newRow("sync as tracks") << "sync" << QList<QStringList>{four};
    QTest::newRow("fileset short") << "fileset" << QList<QStringList>{{"2", "u", "n"}};
    QTest::newRow("history long") << "history" << QList<QStringList>{{"o", "p", "u", "x"}};
}

void TestAudioFileModel::malformedSideTablesAreRefused()
{
    QFETCH(QString, table);
    QFETCH(QList<QStringList>, records);
    addRow("a");
    if (table == "tracks")
        m_model->setTrackInfo(0, records);
    else if (table == "sync")
        m_model->setSyncPointInfo(0, records);
    else if (table == "fileset")
        m_model->setFileSetInfo(0, records.value(0));
    else
        m_model->setHistoryInfo(0, records.value(0));
    checkRow(0, "a");
}

void TestAudioFileModel::sideTablesOfMissingRows()
{
    addRow("a");
    AudioFileModel& m = *m_model;
    // Rows that do not exist are ignored, never inserted out of place.
    for (int row : {-1, 1, 5}) {
        m.setTrackInfo(row, tracks("x"));
        m.setSyncPointInfo(row, syncPoints("x"));
        m.setFileSetInfo(row, {"1", "2", "3", "4"});
        m.setHistoryInfo(row, {"1", "2", "3"});
        m.setTrackName(row, 1, "x");
        m.setDamage(row, "x");
        QVERIFY(m.trackInfo(row).isEmpty());
        QVERIFY(m.fileSetInfo(row).isEmpty());
        QVERIFY(m.damage(row).isEmpty());
    }
    QCOMPARE(m.rowCount(), 1);
    checkRow(0, "a");
}

void TestAudioFileModel::duplicateRuleIgnoresCaseAndFollowsEdits()
{
    addRow("a", "T0012_X.WAV", "4(MONO)");
    addRow("b", "ÄBC.wav", "1(MONO)");
    addRow("c", "t0012_x.wav", "4(MONO)"); // an equal key twice (set by an edit, not an import)
    QVERIFY(!m_model->isValidToAdd("t0012_x.wav", "4(mono)"));
    QVERIFY(!m_model->isValidToAdd("äbc.WAV", "1(MONO)"));
    QVERIFY(m_model->isValidToAdd("T0012_X.WAV", "3(MONO)"));
    QVERIFY(m_model->isValidToAdd("T0013_X.WAV", "4(MONO)"));
    QVERIFY(m_model->setData(m_model->index(1, 0), "Renamed.wav"));
    QVERIFY(m_model->isValidToAdd("ÄBC.wav", "1(MONO)"));
    QVERIFY(!m_model->isValidToAdd("renamed.wav", "1(MONO)"));
    QVERIFY(m_model->setData(m_model->index(1, 2), "2(MONO)"));
    QVERIFY(!m_model->isValidToAdd("renamed.wav", "2(MONO)"));
    QVERIFY(m_model->removeRows(0, 1));
    QVERIFY(!m_model->isValidToAdd("T0012_X.WAV", "4(MONO)")); // row "c" still has it
    QVERIFY(m_model->removeRows(1, 1));
    QVERIFY(m_model->isValidToAdd("T0012_X.WAV", "4(MONO)"));
    QVERIFY(m_model->setData(m_model->index(0, 0), rowCells("q", "Q.wav", "8(POLY)")));
    QVERIFY(m_model->isValidToAdd("renamed.wav", "2(MONO)"));
    QVERIFY(!m_model->isValidToAdd("q.WAV", "8(poly)"));
}

void TestAudioFileModel::getTracksFollowsTheOrderAndSkipsMissingFiles()
{
    QTemporaryDir dir;
    const QStringList paths = TakeFileMaker::writeMonoTake(dir.path(), "G", 3);
    const QList<QStringList> tracks =
        AudioFileModel::getTracks({paths.at(2), dir.filePath("gone.wav"), paths.at(0)});
    QCOMPARE(tracks.size(), 2);
    QCOMPARE(tracks.at(0).at(2), QString("Track 3"));
    QCOMPARE(tracks.at(1).at(2), QString("Track 1"));
    QVERIFY(!QFile::exists(dir.filePath("gone.wav")));
}

QTEST_GUILESS_MAIN(TestAudioFileModel)
#include "tst_audiofilemodel.moc"
