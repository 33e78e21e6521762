#include "GuiTestUtil.h"
#include "LiveTakeListItemEdit.h"
#include "SceneDelegate.h"

#include <QRegularExpressionValidator>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QtTest>

#include <memory>

// The one-line cell delegate of the recorder's take list and its editor.
class TestSceneDelegate : public QObject
{
    Q_OBJECT

private:
    QStandardItemModel m_model{6, 1};
    QWidget m_parent;

private slots:
    void initTestCase() { GuiTestUtil::initApplication(); }
    void editorsOfTheRows_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown"); // empty: the cell has no editor
        const auto row = [](const char* name, int mode, int r, QString typed, QString shown) {
            QTest::newRow(name) << mode << r << typed << shown;
        };
        row("take: five digits", 0, 2, "12a/\\34567", "12345");
        // No slash, backslash or asterisk: scene names become parts of file names.
        row("scene: upper case", 1, 4, "12/a\\-b,c.d*", "12A-B,C.D");
        row("notes: anything", 2, 3, "any text / at all", "any text / at all");
        row("row 1", 1, 1, "x", "");
        row("row 5", 2, 5, "x", "");
        row("mode -1", -1, 3, "x", "");
    }

    void editorsOfTheRows()
    {
        QFETCH(int, mode);
        QFETCH(int, row);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        SceneDelegate delegate(nullptr, mode);
        std::unique_ptr<QWidget> made(
            delegate.createEditor(&m_parent, QStyleOptionViewItem(), m_model.index(row, 0)));
        auto* editor = qobject_cast<LiveTakeListItemEdit*>(made.get());
        QCOMPARE(editor != nullptr, !shown.isEmpty());
        if (!editor)
            return;
        QTest::keyClicks(editor, typed);
        QCOMPARE(editor->text(), shown);
        QVERIFY(editor->isModified());
        // Finishing the edit stores the text at once.
        QSignalSpy commit(&delegate, &QAbstractItemDelegate::commitData);
        emit editor->editingFinished();
        QCOMPARE(commit.count(), 1);
    }

    // Text the editor's validator finds only intermediate (a pattern that
    // needs a character, and none given) never reaches the model.
    void intermediateTextIsNotStored()
    {
        m_model.setData(m_model.index(3, 0), "before");
        SceneDelegate delegate(nullptr, 2);
        LiveTakeListItemEdit editor(&m_parent, 2);
        delegate.setEditorData(&editor, m_model.index(3, 0));
        QCOMPARE(editor.text(), QStringLiteral("before"));
        editor.setValidator(new QRegularExpressionValidator(QRegularExpression("[A-Z]+"), &editor));
        editor.setText("");
        delegate.setModelData(&editor, &m_model, m_model.index(3, 0));
        QCOMPARE(m_model.index(3, 0).data().toString(), QStringLiteral("before"));
    }
};

QTEST_MAIN(TestSceneDelegate)
#include "tst_scenedelegate.moc"
