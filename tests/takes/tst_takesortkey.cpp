#include "TakeSortKey.h"

#include <QtTest>

// The order of the take list's cells: names as people number takes, times
// by time.
class TestTakeSortKey : public QObject
{
    Q_OBJECT

private slots:
    void naturalOrder_data();
    void naturalOrder();
    void timeOrder_data();
    void timeOrder();
};

void TestTakeSortKey::naturalOrder_data()
{
    QTest::addColumn<QStringList>("ascending"); // each before the next
    QTest::newRow("numbers by value") << QStringList{"2", "10", "100000000000000000000"};
    QTest::newRow("letters after the number") << QStringList{"12", "12A", "12B", "13"};
    QTest::newRow("numbers inside names") << QStringList{"T2_3", "T10_1", "T10_2"};
    QTest::newRow("case ignored, numbers kept") << QStringList{"sc9", "SC10", "sc11"};
    QTest::newRow("leading zeros only break ties") << QStringList{"7", "07", "007", "7x"};
    QTest::newRow("shorter first") << QStringList{"", "1", "Scene", "Scene 1"};
}

void TestTakeSortKey::naturalOrder()
{
    QFETCH(QStringList, ascending);
    for (int i = 1; i < ascending.size(); ++i) {
        QVERIFY2(TakeSortKey::compareNatural(ascending[i - 1], ascending[i]) < 0,
                 qPrintable(ascending[i]));
        QVERIFY(TakeSortKey::compareNatural(ascending[i], ascending[i - 1]) > 0);
    }
    QCOMPARE(TakeSortKey::compareNatural("sc9b", "SC9B"), 0);
}

void TestTakeSortKey::timeOrder_data()
{
    QTest::addColumn<QStringList>("ascending");
    QTest::newRow("frames") << QStringList{"01:00:00:05", "01:00:00:12", "01:00:01:00"};
    QTest::newRow("drop frame among non-drop")
        << QStringList{"01:00:00:03", "01:00:00;05", "01:00:00:07", "01:00:00;29", "01:00:01:00"};
    QTest::newRow("durations") << QStringList{"00:00:09", "00:01:00", "99:59:59", "100:00:00"};
    QTest::newRow("empty and unreadable first") << QStringList{"n/a", "00:00:00:00"};
}

void TestTakeSortKey::timeOrder()
{
    QFETCH(QStringList, ascending);
    for (int i = 1; i < ascending.size(); ++i)
        QVERIFY2(TakeSortKey::timeKey(ascending[i - 1]) < TakeSortKey::timeKey(ascending[i]),
                 qPrintable(ascending[i]));
    QCOMPARE(TakeSortKey::timeKey(""), TakeSortKey::timeKey("n/a"));
}

QTEST_APPLESS_MAIN(TestTakeSortKey)
#include "tst_takesortkey.moc"
