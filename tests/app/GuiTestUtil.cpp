#include "GuiTestUtil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initVelmoraResources()
{
    Q_INIT_RESOURCE(Velmora);
}

void GuiTestUtil::initApplication()
{
    initVelmoraResources();
    QCoreApplication::setOrganizationName(QStringLiteral("Quorlan"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
}

bool GuiTestUtil::importAndWait(FileListManagement& editor, const QStringList& paths)
{
    QSignalSpy done(&editor, &FileListManagement::importFinished);
    editor.importPaths(paths, FileListManagement::ImportOrigin::Drop);
    // A generous bound that only stops a hung test; the time is not asserted.
    return done.count() > 0 || done.wait(60000);
}

GuiTestUtil::MessageBoxAnswerer::MessageBoxAnswerer(Qt::Key k)
    : MessageBoxAnswerer(QMessageBox::NoButton)
{
    key = k;
}

GuiTestUtil::MessageBoxAnswerer::MessageBoxAnswerer(QMessageBox::StandardButton b) : button(b)
{
    auto* timer = new QTimer(this);
    timer->setInterval(10);
    connect(timer, &QTimer::timeout, this, &MessageBoxAnswerer::poll);
    timer->start();
}

void GuiTestUtil::MessageBoxAnswerer::poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->property("answered").toBool())
        return;
    box->setProperty("answered", true);
    texts << box->text();
    defaults << box->standardButton(box->defaultButton());
    if (key != Qt::Key_unknown)
        QTest::keyClick(box, key);
    else if (QAbstractButton* b = box->button(button))
        b->click();
    else
        box->reject();
}
