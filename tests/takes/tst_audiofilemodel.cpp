#include "AudioFileModel.h"
#include "TakeColumns.h"

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

QList<QStringList> tracks(const QString& tag, int count = 2)
{
    QList<QStringList> t;
    for (int i = 1; i <= count; ++i)
        t << QStringList{QString::number(i), QString::number(i), tag + QString::number(i), ""};
    return t;
}

QList<QStringList> syncPoints(const QString& tag)
{
    return {QStringList{"RELATIVE", "SLATE", tag, "01:00:00:00", "00:00:01"}};
}

} // namespace

class TestAudioFileModel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AudioFileModel> m_model;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    // Appends a complete row with side tables tagged tag.
    void addRow(const QString& tag, const QString& name = QString(),
                const QString& label = "1(MONO)");

private slots:
    void init();
    void cleanup();
    void sharedTables();
    void readSide();
    void setDataCell();
    void setDataRow_data();
    void setDataRow();
    void setDataRefusals();
    void insertRowsKeepsSideTablesAligned();
    void insertRowsRefusesOutOfRange_data();
    void insertRowsRefusesOutOfRange();
    void insertRowPadsShortLists();
    void removeRowsWithSideTables_data();
    void removeRowsWithSideTables();
    void removeRowsRefusesOutOfRange_data();
    void removeRowsRefusesOutOfRange();
    void sideTableShapes_data();
    void sideTableShapes();
    void sideTablesOfMissingRows();
    void trackNameAndFunction();
    void isValidToAddIgnoresCase();
    void isValidToAddFollowsEditsAndRemovals();
    void getTracksSkipsMissingFiles();
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
}

void TestAudioFileModel::sharedTables()
{
    QCOMPARE(&AudioFileModel::headersList, &TakeColumns::headersList());
    QCOMPARE(&AudioFileModel::defaultList, &TakeColumns::defaultList());
    QCOMPARE(AudioFileModel::headersList.size(), 31);
    QCOMPARE(AudioFileModel::defaultList.size(), 31);
    QCOMPARE(AudioFileModel::headersList.at(8), QString("Length"));
    QCOMPARE(AudioFileModel::defaultList.at(8), QString("8Duration"));
    QCOMPARE(AudioFileModel::defaultList.at(30), QString("30Path"));
    QCOMPARE(AudioFileModel::trackHeadersList,
             (QStringList{"Channel", "Interleave", "Name", "Function"}));
    QCOMPARE(AudioFileModel::syncPointsHeadersList.size(), 5);
    QCOMPARE(AudioFileModel::historyHeadersList.size(), 3);
    QCOMPARE(AudioFileModel::fileSetHeadersList.size(), 4);
}

void TestAudioFileModel::readSide()
{
    addRow("a");
    AudioFileModel& m = *m_model;
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.columnCount(), 31);
    QCOMPARE(m.rowCount(m.index(0, 0)), 0);
    QCOMPARE(m.columnCount(m.index(0, 0)), 0);
    QCOMPARE(m.data(m.index(0, 5)).toString(), QString("ra c5"));
    // The tool tip is the take's path whatever the column.
    for (int c : {0, 7, 30})
        QCOMPARE(m.data(m.index(0, c), Qt::ToolTipRole).toString(), QString("/takes/a.wav"));
    QVERIFY(!m.data(m.index(0, 5), Qt::EditRole).isValid());
    QVERIFY(!m.data(m.index(0, 5), Qt::DecorationRole).isValid());
    QVERIFY(!m.data(QModelIndex()).isValid());
    QCOMPARE(m.headerData(8, Qt::Horizontal).toString(), QString("Length"));
    QVERIFY(!m.headerData(0, Qt::Vertical).isValid());
    QVERIFY(!m.headerData(31, Qt::Horizontal).isValid());
    QVERIFY(!m.headerData(-1, Qt::Horizontal).isValid());
    QVERIFY(!m.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
    QVERIFY(m.flags(m.index(0, 3)).testFlag(Qt::ItemIsEditable));
    QVERIFY(m.flags(m.index(0, 3)).testFlag(Qt::ItemIsEnabled));
    QCOMPARE(m.flags(QModelIndex()), Qt::ItemFlags(Qt::ItemIsDropEnabled));
}

void TestAudioFileModel::setDataCell()
{
    addRow("a");
    addRow("b");
    QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
    const QModelIndex i = m_model->index(1, 6);
    QVERIFY(m_model->setData(i, "07"));
    QCOMPARE(m_model->data(i).toString(), QString("07"));
    QCOMPARE(m_model->data(m_model->index(0, 6)).toString(), QString("ra c6"));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), i);
    QCOMPARE(changed.at(0).at(1).toModelIndex(), i);
    // Numbers are stored as text.
    QVERIFY(m_model->setData(m_model->index(1, 16), 48000));
    QCOMPARE(m_model->data(m_model->index(1, 16)).toString(), QString("48000"));
}

void TestAudioFileModel::setDataRow_data()
{
    QTest::addColumn<int>("column"); // the index the row list is set through
    QTest::newRow("through column 0") << 0;
    QTest::newRow("through column 17") << 17;
}

void TestAudioFileModel::setDataRow()
{
    QFETCH(int, column);
    addRow("a");
    QSignalSpy changed(m_model.get(), &QAbstractItemModel::dataChanged);
    const QStringList cells = rowCells("z");
    QVERIFY(m_model->setData(m_model->index(0, column), cells));
    for (int c = 0; c < 31; ++c)
        QCOMPARE(m_model->data(m_model->index(0, c)).toString(), cells.at(c));
    // Views are told that the whole row changed.
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), m_model->index(0, 0));
    QCOMPARE(changed.at(0).at(1).toModelIndex(), m_model->index(0, 30));
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
    QCOMPARE(changed.size(), 0);
    QCOMPARE(m_model->data(i).toString(), QString("ra c4"));
    QCOMPARE(m_model->data(m_model->index(0, 30), Qt::ToolTipRole).toString(),
             QString("/takes/a.wav"));
}

void TestAudioFileModel::insertRowsKeepsSideTablesAligned()
{
    addRow("a");
    addRow("b");
    QVERIFY(m_model->insertRows(1, 2));
    QCOMPARE(m_model->rowCount(), 4);
    for (int r : {1, 2}) {
        for (int c = 0; c < 31; ++c)
            QCOMPARE(m_model->data(m_model->index(r, c)).toString(),
                     AudioFileModel::defaultList.at(c));
        QVERIFY(m_model->trackInfo(r).isEmpty());
        QVERIFY(m_model->syncPointInfo(r).isEmpty());
        QVERIFY(m_model->fileSetInfo(r).isEmpty());
        QVERIFY(m_model->historyInfo(r).isEmpty());
    }
    // The side tables moved with their rows.
    QCOMPARE(m_model->data(m_model->index(3, 0)).toString(), QString("b"));
    QCOMPARE(m_model->trackInfo(3), tracks("b"));
    QCOMPARE(m_model->syncPointInfo(3), syncPoints("b"));
    QCOMPARE(m_model->historyInfo(3), (QStringList{"ob", "pb", "ub"}));
    QCOMPARE(m_model->fileSetInfo(0), (QStringList{"2", "Fa", "fam", "A"}));
    // Filling a placeholder row fills its own entry.
    m_model->setTrackInfo(2, tracks("new"));
    QCOMPARE(m_model->trackInfo(2), tracks("new"));
    QCOMPARE(m_model->trackInfo(3), tracks("b"));
}

void TestAudioFileModel::insertRowsRefusesOutOfRange_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::newRow("negative row") << -1 << 1;
    QTest::newRow("beyond the end") << 3 << 1;
    QTest::newRow("no rows") << 0 << 0;
    QTest::newRow("negative count") << 0 << -2;
}

void TestAudioFileModel::insertRowsRefusesOutOfRange()
{
    QFETCH(int, row);
    QFETCH(int, count);
    addRow("a");
    addRow("b");
    QVERIFY(!m_model->insertRows(row, count));
    QVERIFY(!m_model->insertRows(0, 1, m_model->index(0, 0)));
    QCOMPARE(m_model->rowCount(), 2);
}

void TestAudioFileModel::insertRowPadsShortLists()
{
    QVERIFY(!m_model->insertRow(0, QModelIndex(), rowCells("x") << "extra"));
    QCOMPARE(m_model->rowCount(), 0);
    QVERIFY(m_model->insertRow(0, QModelIndex(), QStringList{"T1.wav", "cur", "1(MONO)"}));
    QCOMPARE(m_model->rowCount(), 1);
    QCOMPARE(m_model->data(m_model->index(0, 2)).toString(), QString("1(MONO)"));
    QCOMPARE(m_model->data(m_model->index(0, 3)).toString(), QString("3Project"));
    QCOMPARE(m_model->data(m_model->index(0, 30), Qt::ToolTipRole).toString(), QString("30Path"));
    QVERIFY(!m_model->isValidToAdd("t1.WAV", "1(mono)"));
}

void TestAudioFileModel::removeRowsWithSideTables_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("left"); // tags of the rows that stay
    QTest::newRow("three in the middle") << 1 << 3 << "ae";
    QTest::newRow("first two") << 0 << 2 << "cde";
    QTest::newRow("last two") << 3 << 2 << "abc";
    QTest::newRow("one") << 2 << 1 << "abde";
    QTest::newRow("all") << 0 << 5 << "";
}

void TestAudioFileModel::removeRowsWithSideTables()
{
    QFETCH(int, row);
    QFETCH(int, count);
    QFETCH(QString, left);
    for (const char* tag : {"a", "b", "c", "d", "e"}) {
        addRow(tag);
        m_model->setDamage(m_model->rowCount() - 1, QStringLiteral("d") + tag);
    }
    QSignalSpy removed(m_model.get(), &QAbstractItemModel::rowsRemoved);
    QVERIFY(m_model->removeRows(row, count));
    QCOMPARE(removed.size(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), row);
    QCOMPARE(removed.at(0).at(2).toInt(), row + count - 1);
    QCOMPARE(m_model->rowCount(), left.size());
    for (int r = 0; r < left.size(); ++r) {
        const QString tag = left.at(r);
        QCOMPARE(m_model->data(m_model->index(r, 0)).toString(), tag);
        QCOMPARE(m_model->trackInfo(r), tracks(tag));
        QCOMPARE(m_model->syncPointInfo(r), syncPoints(tag));
        QCOMPARE(m_model->fileSetInfo(r).value(1), "F" + tag);
        QCOMPARE(m_model->historyInfo(r).value(0), "o" + tag);
        QCOMPARE(m_model->damage(r), "d" + tag);
        QCOMPARE(m_model->data(m_model->index(r, 5), AudioFileModel::DamageRole).toString(),
                 "d" + tag);
    }
    QVERIFY(m_model->trackInfo(left.size()).isEmpty());
}

void TestAudioFileModel::removeRowsRefusesOutOfRange_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::newRow("past the end") << 1 << 2;
    QTest::newRow("negative row") << -1 << 1;
    QTest::newRow("row beyond") << 2 << 1;
    QTest::newRow("no rows") << 0 << 0;
}

void TestAudioFileModel::removeRowsRefusesOutOfRange()
{
    QFETCH(int, row);
    QFETCH(int, count);
    addRow("a");
    addRow("b");
    QVERIFY(!m_model->removeRows(row, count));
    QCOMPARE(m_model->rowCount(), 2);
    QCOMPARE(m_model->trackInfo(1), tracks("b"));
}

void TestAudioFileModel::sideTableShapes_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QList<QStringList>>("records");
    QTest::addColumn<bool>("taken");
    const QStringList four{"1", "1", "n", "f"};
    const QStringList five{"t", "f", "c", "tc", "len"};
    QTest::newRow("tracks ok") << "tracks" << QList<QStringList>{four, four} << true;
    QTest::newRow("tracks empty") << "tracks" << QList<QStringList>{} << false;
    QTest::newRow("tracks first short") << "tracks" << QList<QStringList>{{"1", "1", "n"}} << false;
    QTest::newRow("tracks later short")
        << "tracks" << QList<QStringList>{four, {"2", "2", "n"}} << false;
    QTest::newRow("sync ok") << "sync" << QList<QStringList>{five} << true;
    QTest::newRow("sync as tracks") << "sync" << QList<QStringList>{four} << false;
    QTest::newRow("fileset ok") << "fileset" << QList<QStringList>{{"2", "u", "n", "A"}} << true;
    QTest::newRow("fileset short") << "fileset" << QList<QStringList>{{"2", "u", "n"}} << false;
    QTest::newRow("fileset empty") << "fileset" << QList<QStringList>{{}} << false;
    QTest::newRow("history ok") << "history" << QList<QStringList>{{"o", "p", "u"}} << true;
    QTest::newRow("history long") << "history" << QList<QStringList>{{"o", "p", "u", "x"}} << false;
}

void TestAudioFileModel::sideTableShapes()
{
    QFETCH(QString, table);
    QFETCH(QList<QStringList>, records);
    QFETCH(bool, taken);
    addRow("a");
    AudioFileModel& m = *m_model;
    if (table == "tracks") {
        m.setTrackInfo(0, records);
        QCOMPARE(m.trackInfo(0), taken ? records : tracks("a"));
    } else if (table == "sync") {
        m.setSyncPointInfo(0, records);
        QCOMPARE(m.syncPointInfo(0), taken ? records : syncPoints("a"));
    } else if (table == "fileset") {
        m.setFileSetInfo(0, records.value(0));
        const QStringList old{"2", "Fa", "fam", "A"};
        QCOMPARE(m.fileSetInfo(0), taken ? records.value(0) : old);
    } else {
        m.setHistoryInfo(0, records.value(0));
        const QStringList old{"oa", "pa", "ua"};
        QCOMPARE(m.historyInfo(0), taken ? records.value(0) : old);
    }
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
        QVERIFY(m.trackInfo(row).isEmpty());
        QVERIFY(m.syncPointInfo(row).isEmpty());
        QVERIFY(m.fileSetInfo(row).isEmpty());
        QVERIFY(m.historyInfo(row).isEmpty());
    }
    QCOMPARE(m.rowCount(), 1);
    QCOMPARE(m.trackInfo(0), tracks("a"));
}

void TestAudioFileModel::trackNameAndFunction()
{
    addRow("a");
    AudioFileModel& m = *m_model;
    m.setTrackInfo(0, {{"1", "1", "Boom", ""}, {"2", "2", "Lav", ""}, {"x", "3", "Odd", ""}});
    m.setTrackName(0, 2, "Lav 2");
    m.setTrackFunction(0, 1, "MS");
    // A "Channel" that is not a number is not channel 0.
    m.setTrackName(0, 0, "Zero");
    m.setTrackName(0, 9, "Nine");
    QCOMPARE(m.trackInfo(0),
             (QList<QStringList>{
                 {"1", "1", "Boom", "MS"}, {"2", "2", "Lav 2", ""}, {"x", "3", "Odd", ""}}));
}

void TestAudioFileModel::isValidToAddIgnoresCase()
{
    addRow("a", "T0012_X.WAV", "4(MONO)");
    QVERIFY(!m_model->isValidToAdd("T0012_X.WAV", "4(MONO)"));
    QVERIFY(!m_model->isValidToAdd("t0012_x.wav", "4(mono)"));
    QVERIFY(m_model->isValidToAdd("T0012_X.WAV", "3(MONO)"));
    QVERIFY(m_model->isValidToAdd("T0013_X.WAV", "4(MONO)"));
    QVERIFY(m_model->isValidToAdd("ÄBC.wav", "1(MONO)"));
    addRow("b", "ÄBC.wav", "1(MONO)");
    QVERIFY(!m_model->isValidToAdd("äbc.WAV", "1(MONO)"));
}

void TestAudioFileModel::isValidToAddFollowsEditsAndRemovals()
{
    addRow("a", "A.wav");
    addRow("b", "B.wav");
    addRow("c", "A.WAV"); // an equal key twice (set by an edit, not an import)
    QVERIFY(m_model->setData(m_model->index(1, 0), "Renamed.wav"));
    QVERIFY(m_model->isValidToAdd("B.wav", "1(MONO)"));
    QVERIFY(!m_model->isValidToAdd("renamed.wav", "1(MONO)"));
    QVERIFY(m_model->setData(m_model->index(1, 2), "2(MONO)"));
    QVERIFY(m_model->isValidToAdd("renamed.wav", "1(MONO)"));
    QVERIFY(!m_model->isValidToAdd("renamed.wav", "2(MONO)"));
    QVERIFY(m_model->removeRows(0, 1));
    QVERIFY(!m_model->isValidToAdd("a.wav", "1(MONO)")); // row "c" still has it
    QVERIFY(m_model->removeRows(1, 1));
    QVERIFY(m_model->isValidToAdd("a.wav", "1(MONO)"));
    QVERIFY(m_model->setData(m_model->index(0, 0), rowCells("q", "Q.wav", "8(POLY)")));
    QVERIFY(m_model->isValidToAdd("renamed.wav", "2(MONO)"));
    QVERIFY(!m_model->isValidToAdd("q.WAV", "8(poly)"));
}

void TestAudioFileModel::getTracksSkipsMissingFiles()
{
    QTemporaryDir dir;
    const QString missing = dir.filePath("missing.wav");
    QVERIFY(AudioFileModel::getTracks({missing}).isEmpty());
    QVERIFY(!QFile::exists(missing));
}

QTEST_GUILESS_MAIN(TestAudioFileModel)
#include "tst_audiofilemodel.moc"
