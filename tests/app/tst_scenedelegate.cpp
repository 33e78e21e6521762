#include "GuiTestUtil.h"
#include "LiveTakeListItemEdit.h"
#include "SceneDelegate.h"

#include <QRegularExpressionValidator>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QtTest>

#include <memory>

// The one-line cell delegate of the recorder's take list and its editor.
class TestSceneDelegate : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QStandardItemModel> m_model;
    QWidget m_parent;

private slots:
    void initTestCase() { GuiTestUtil::initApplication(); }
    void init();
    void onlyRowsTwoToFourGetAnEditor();
    void modeMinusOneHasNoEditor();
    void editorShowsTheCell();
    void acceptableTextIsStored();
    void intermediateTextLeavesTheCell();
    void editorModes();
    void sceneIsUpperCasedAndChangesMarkModified();
    void editingFinishedCommits();
};

void TestSceneDelegate::init()
{
    m_model = std::make_unique<QStandardItemModel>(6, 2);
    for (int r = 0; r < 6; ++r)
        m_model->setItem(r, 1, new QStandardItem(QString("cell %1").arg(r)));
}

void TestSceneDelegate::onlyRowsTwoToFourGetAnEditor()
{
    SceneDelegate delegate(nullptr, 1);
    QStyleOptionViewItem option;
    for (int r = 0; r < 6; ++r) {
        std::unique_ptr<QWidget> editor(
            delegate.createEditor(&m_parent, option, m_model->index(r, 1)));
        QCOMPARE(editor != nullptr, r >= 2 && r <= 4);
        if (editor)
            QVERIFY(qobject_cast<LiveTakeListItemEdit*>(editor.get()));
    }
}

void TestSceneDelegate::modeMinusOneHasNoEditor()
{
    SceneDelegate delegate(nullptr, -1);
    QStyleOptionViewItem option;
    for (int r = 0; r < 6; ++r)
        QVERIFY(!delegate.createEditor(&m_parent, option, m_model->index(r, 1)));

    // In a view, a double click then opens nothing.
    QTableView view;
    view.setModel(m_model.get());
    view.setItemDelegate(&delegate);
    view.setEditTriggers(QAbstractItemView::DoubleClicked);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QModelIndex cell = m_model->index(3, 1);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(cell).center());
    QVERIFY(!view.findChild<QLineEdit*>());
    view.setItemDelegate(nullptr);
}

void TestSceneDelegate::editorShowsTheCell()
{
    SceneDelegate delegate(nullptr, 2);
    LiveTakeListItemEdit editor(&m_parent, 2);
    delegate.setEditorData(&editor, m_model->index(3, 1));
    QCOMPARE(editor.text(), QStringLiteral("cell 3"));
}

void TestSceneDelegate::acceptableTextIsStored()
{
    SceneDelegate delegate(nullptr, 0);
    LiveTakeListItemEdit editor(&m_parent, 0);
    editor.setText("12");
    delegate.setModelData(&editor, m_model.get(), m_model->index(2, 1));
    QCOMPARE(m_model->index(2, 1).data().toString(), QStringLiteral("12"));
}

void TestSceneDelegate::intermediateTextLeavesTheCell()
{
    SceneDelegate delegate(nullptr, 1);
    LiveTakeListItemEdit editor(&m_parent, 1);
    // A validator that needs at least one character finds "" intermediate.
    editor.setValidator(new QRegularExpressionValidator(QRegularExpression("[A-Z]+"), &editor));
    editor.setText("");
    delegate.setModelData(&editor, m_model.get(), m_model->index(3, 1));
    QCOMPARE(m_model->index(3, 1).data().toString(), QStringLiteral("cell 3"));
}

void TestSceneDelegate::editorModes()
{
    LiveTakeListItemEdit take(&m_parent, LiveTakeListItemEdit::TakeMode);
    QCOMPARE(take.maxLength(), 5);
    QTest::keyClicks(&take, "12a/\\34567");
    QCOMPARE(take.text(), QStringLiteral("12345"));
    QVERIFY(!take.hasFrame());

    LiveTakeListItemEdit scene(&m_parent, LiveTakeListItemEdit::SceneMode);
    QCOMPARE(scene.maxLength(), 9);
    QTest::keyClicks(&scene, "12/a\\-b,c.d*");
    // No slash, backslash or asterisk: scene names become parts of file names.
    QCOMPARE(scene.text(), QStringLiteral("12A-B,C.D"));

    LiveTakeListItemEdit notes(&m_parent, LiveTakeListItemEdit::NotesMode);
    QCOMPARE(notes.maxLength(), 200);
    QVERIFY(!notes.validator());
    QTest::keyClicks(&notes, "any text / at all");
    QCOMPARE(notes.text(), QStringLiteral("any text / at all"));
}

void TestSceneDelegate::sceneIsUpperCasedAndChangesMarkModified()
{
    LiveTakeListItemEdit scene(&m_parent, LiveTakeListItemEdit::SceneMode);
    QVERIFY(!scene.isModified());
    scene.setText("abc");
    QCOMPARE(scene.text(), QStringLiteral("ABC"));
    QVERIFY(scene.isModified());
}

void TestSceneDelegate::editingFinishedCommits()
{
    SceneDelegate delegate(nullptr, 2);
    QStyleOptionViewItem option;
    std::unique_ptr<QWidget> editor(delegate.createEditor(&m_parent, option, m_model->index(4, 1)));
    QVERIFY(editor);
    QSignalSpy commit(&delegate, &QAbstractItemDelegate::commitData);
    emit static_cast<QLineEdit*>(editor.get())->editingFinished();
    QCOMPARE(commit.count(), 1);
    QCOMPARE(commit.first().at(0).value<QWidget*>(), editor.get());
}

QTEST_MAIN(TestSceneDelegate)
#include "tst_scenedelegate.moc"
