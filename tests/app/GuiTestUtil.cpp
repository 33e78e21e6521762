#include "GuiTestUtil.h"

#include "FileListManagement.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
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

bool GuiTestUtil::importAndWait(FileListManagement& editor, const QStringList& paths,
                                bool fromDialog)
{
    QSignalSpy done(&editor, &FileListManagement::importFinished);
    editor.importPaths(paths, fromDialog ? FileListManagement::ImportOrigin::Dialog
                                         : FileListManagement::ImportOrigin::Drop);
    // A generous bound that only stops a hung test; the time is not asserted.
    return done.count() > 0 || done.wait(60000);
}

void GuiTestUtil::answerNextMessageBox(QMessageBox::StandardButton button, QString* seen)
{
    // Polls until the box is up: it is opened by the code under test.
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, button, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        if (seen)
            *seen = box->text();
        if (QAbstractButton* b = box->button(button))
            b->click();
        else
            box->reject();
    });
    timer->start();
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
