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
        QTest::newRow("take: five digits") << 0 << 2 << "12a/\\34567"
                                           << "12345";
        // No slash, backslash or asterisk: scene names become parts of file names.
        QTest::newRow("scene: upper case") << 1 << 4 << "12/a\\-b,c.d*"
                                           << "12A-B,C.D";
        QTest::newRow("notes: anything") << 2 << 3 << "any text / at all"
                                         << "any text / at all";
        QTest::newRow("row 1") << 1 << 1 << "x"
                               << "";
        QTest::newRow("row 5") << 2 << 5 << "x"
                               << "";
        QTest::newRow("mode -1") << -1 << 3 << "x"
                                 << "";
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

    void onlyAcceptableTextIsStored_data()
    {
        QTest::addColumn<QString>("pattern"); // of the editor's validator; empty: none
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("acceptable") << "[A-Z0-9]+"
                                    << "12"
                                    << "12";
        // A validator that needs at least one character finds "" intermediate.
        QTest::newRow("intermediate") << "[A-Z]+"
                                      << ""
                                      << "before";
    }

    void onlyAcceptableTextIsStored()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, text);
        QFETCH(QString, stored);
        m_model.setData(m_model.index(3, 0), "before");
        SceneDelegate delegate(nullptr, 2);
        LiveTakeListItemEdit editor(&m_parent, 2);
        delegate.setEditorData(&editor, m_model.index(3, 0));
        QCOMPARE(editor.text(), QStringLiteral("before"));
        if (!pattern.isEmpty())
            editor.setValidator(
                new QRegularExpressionValidator(QRegularExpression(pattern), &editor));
        editor.setText(text);
        delegate.setModelData(&editor, &m_model, m_model.index(3, 0));
        QCOMPARE(m_model.index(3, 0).data().toString(), stored);
    }
};

QTEST_MAIN(TestSceneDelegate)
#include "tst_scenedelegate.moc"
