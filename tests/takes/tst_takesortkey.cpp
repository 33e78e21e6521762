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
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("order"); // sign of compare(a, b)
    QTest::newRow("2 before 10") << "2"
                                 << "10" << -1;
    QTest::newRow("12A before 12B") << "12A"
                                    << "12B" << -1;
    QTest::newRow("12B before 13") << "12B"
                                   << "13" << -1;
    QTest::newRow("12 before 12A") << "12"
                                   << "12A" << -1;
    QTest::newRow("case ignored") << "sc9b"
                                  << "SC9B" << 0;
    QTest::newRow("case ignored, numbers kept") << "sc9"
                                                << "SC10" << -1;
    QTest::newRow("number inside a name") << "T2_3"
                                          << "T10_1" << -1;
    QTest::newRow("leading zeros are the same number") << "007"
                                                       << "7x" << -1;
    QTest::newRow("zeros only break ties") << "7"
                                           << "07" << -1;
    QTest::newRow("longer than 64 bits") << "99999999999999999999"
                                         << "100000000000000000000" << -1;
    QTest::newRow("empty first") << ""
                                 << "1" << -1;
    QTest::newRow("prefix first") << "Scene"
                                  << "Scene 1" << -1;
}

void TestTakeSortKey::naturalOrder()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, order);
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    QCOMPARE(sign(TakeSortKey::compareNatural(a, b)), order);
    QCOMPARE(sign(TakeSortKey::compareNatural(b, a)), -order);
}

void TestTakeSortKey::timeOrder_data()
{
    QTest::addColumn<QString>("earlier");
    QTest::addColumn<QString>("later");
    QTest::newRow("frames") << "01:00:00:05"
                            << "01:00:00:12";
    QTest::newRow("drop frame beside non-drop") << "01:00:00;29"
                                                << "01:00:01:00";
    QTest::newRow("non-drop beside drop frame") << "01:00:00:03"
                                                << "01:00:00;05";
    QTest::newRow("duration") << "00:00:09"
                              << "00:01:00";
    QTest::newRow("hours past 99") << "99:59:59"
                                   << "100:00:00";
    QTest::newRow("empty before any time") << ""
                                           << "00:00:00:00";
    QTest::newRow("unreadable before any time") << "n/a"
                                                << "00:00:00:00";
}

void TestTakeSortKey::timeOrder()
{
    QFETCH(QString, earlier);
    QFETCH(QString, later);
    QVERIFY(TakeSortKey::timeKey(earlier) < TakeSortKey::timeKey(later));
}

QTEST_APPLESS_MAIN(TestTakeSortKey)
#include "tst_takesortkey.moc"
