// velmora-screenshots OUTDIR FOLDER [WIDTHxHEIGHT [RECORDER_PORT]] [--scale WIDTH]
//
// Shows the real main window on the current display (run it under xvfb-run),
// imports the takes of FOLDER as the command line does, and saves pictures of
// the screen: the first editor page with a mono take selected, the second
// page, the column menu open over the take list, the Split/Combine window
// (batch and manual), the Report Manager, the Preferences dialog and the
// About box, the window as it opens on this screen (velmora-opened.png) and
// a short window (1018 x 620, both pages);
// with a RECORDER_PORT (r9k-sim's terminal) also control mode with the
// recorder's transport view and take list.
// --scale makes pictures wider than WIDTH pixels that wide (the user guide's
// pictures, see scripts/guide-screenshots). For people to look at, not for
// tests.
#include "AboutVelmora.h"
#include "FileListManagement.h"
#include "LiveTakeList.h"
#include "PreferenceDlg.h"
#include "Velmora.h"
#include "VelmoraLook.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QEventLoop>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

namespace
{
// Lets the event loop run for ms, so that layouts settle and windows paint.
void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Pictures wider than this are scaled down to it; 0 keeps them as taken.
int gScaleWidth = 0;

bool shoot(const QWidget& window, const QString& dir, const QString& name, const QRect& extra = {})
{
    QRect area = window.frameGeometry();
    if (!extra.isNull())
        area = area.united(extra);
    const QPixmap screen = window.screen()->grabWindow(0);
    const QString path = QDir(dir).filePath(name);
    QPixmap picture = screen.copy(area);
    if (gScaleWidth > 0 && picture.width() > gScaleWidth)
        picture = picture.scaledToWidth(gScaleWidth, Qt::SmoothTransformation);
    const bool ok = picture.save(path, "PNG");
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}
} // namespace

int main(int argc, char* argv[])
{
    Q_INIT_RESOURCE(Velmora);
    QApplication app(argc, argv);
    VelmoraLook::apply(app);
    QStringList args = app.arguments().mid(1);
    const int scaleAt = args.indexOf(QStringLiteral("--scale"));
    if (scaleAt >= 0 && scaleAt + 1 < args.size()) {
        gScaleWidth = args.at(scaleAt + 1).toInt();
        args.remove(scaleAt, 2);
    }
    if (args.size() < 2) {
        std::fputs("usage: velmora-screenshots OUTDIR FOLDER [WIDTHxHEIGHT [RECORDER_PORT]] "
                   "[--scale WIDTH]\n",
                   stderr);
        return 2;
    }
    const QString out = args.at(0);
    const QString folder = args.at(1);
    QSize size(1280, 780);
    if (args.size() > 2) {
        const QStringList wh = args.at(2).split(QLatin1Char('x'));
        if (wh.size() == 2)
            size = QSize(wh.at(0).toInt(), wh.at(1).toInt());
    }
    QDir().mkpath(out);

    Velmora window;
    const QString recorderPort = args.value(3);
    if (!recorderPort.isEmpty())
        window.setRecorderPort(recorderPort);
    window.show();
    QEventLoop imported;
    QObject::connect(window.editor(), &FileListManagement::importFinished, &imported,
                     &QEventLoop::quit);
    window.openPaths({folder});
    // A slow import (a large folder, a slow disk) shows its progress dialog.
    QTimer poll;
    bool progressShot = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* progress = window.findChild<QProgressDialog*>(QStringLiteral("importProgress"));
        if (progress && progress->isVisible() && !progressShot) {
            progressShot = true;
            settle(150);
            shoot(window, out, QStringLiteral("velmora-import-progress.png"));
        }
    });
    poll.start(100);
    imported.exec();
    poll.stop();
    settle(300);
    // As it opens: placed and sized by its layout and the screen.
    bool ok = shoot(window, out, QStringLiteral("velmora-opened.png"));
    const QRect available = window.screen()->availableGeometry();
    window.move(available.topLeft());
    window.resize(size.boundedTo(available.size()));
    settle(300);

    auto* view = window.editor()->findChild<QTreeView*>(QStringLiteral("treeView"));
    if (view && view->model()->rowCount() > 1) {
        view->selectionModel()->setCurrentIndex(view->model()->index(1, 0),
                                                QItemSelectionModel::ClearAndSelect |
                                                    QItemSelectionModel::Rows);
    }
    settle(300);
    ok = shoot(window, out, QStringLiteral("velmora-page1.png")) && ok;

    auto* more = window.editor()->findChild<QPushButton*>(QStringLiteral("MoreInfo"));
    more->click();
    settle(300);
    ok = shoot(window, out, QStringLiteral("velmora-page2.png")) && ok;
    more->click();

    auto* menu = window.editor()->findChild<QMenu*>(QStringLiteral("columnMenu"));
    const QPoint at = view->viewport()->mapToGlobal(QPoint(160, 60));
    menu->popup(at);
    settle(400);
    ok = shoot(window, out, QStringLiteral("velmora-column-menu.png"), menu->frameGeometry()) && ok;
    menu->hide();

    auto* splitAction = window.findChild<QAction*>(QStringLiteral("actionSplitCombine"));
    auto* dock = window.findChild<QDockWidget*>(QStringLiteral("splitcombine"));
    if (splitAction && dock) {
        splitAction->trigger();
        dock->move(window.pos() + QPoint(window.width() / 4, window.height() / 4));
        settle(400);
        ok = shoot(*dock, out, QStringLiteral("velmora-splitcombine.png")) && ok;
        dock->findChild<QRadioButton*>(QStringLiteral("radioButton_Manual"))->click();
        settle(300);
        ok = shoot(*dock, out, QStringLiteral("velmora-splitcombine-manual.png")) && ok;
        dock->findChild<QTabWidget*>(QStringLiteral("tabWidget"))->setCurrentIndex(0);
        settle(300);
        ok = shoot(*dock, out, QStringLiteral("velmora-splitcombine-split.png")) && ok;
        splitAction->trigger();
    }
    if (auto* reports = window.findChild<QDockWidget*>(QStringLiteral("reportmanager"))) {
        window.ReportsActionHandler();
        reports->move(window.frameGeometry().topLeft() + QPoint(120, 120));
        settle(400);
        ok = shoot(*reports, out, QStringLiteral("velmora-reports.png")) && ok;
        window.ReportsActionHandler();
    }
    // The Import and Copy To dialogs, closed once pictured.
    const auto shootDialog = [&](const QString& name, void (FileListManagement::*open)()) {
        QTimer::singleShot(600, [&, name] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                ok = shoot(*dialog, out, name) && ok;
                dialog->close();
            }
        });
        (window.editor()->*open)();
    };
    shootDialog(QStringLiteral("velmora-import-dialog.png"),
                &FileListManagement::startImportAction);
    shootDialog(QStringLiteral("velmora-copyto-dialog.png"), &FileListManagement::startCopyAction);
    {
        PreferenceDlg prefs(&window);
        prefs.show();
        settle(300);
        ok = shoot(prefs, out, QStringLiteral("velmora-preferences.png")) && ok;
    }
    {
        AboutVelmora about(&window);
        about.show();
        settle(300);
        ok = shoot(about, out, QStringLiteral("velmora-about.png")) && ok;
    }

    window.resize(1018, 620);
    settle(400);
    ok = shoot(window, out, QStringLiteral("velmora-short.png")) && ok;
    more->click();
    settle(300);
    ok = shoot(window, out, QStringLiteral("velmora-short-page2.png")) && ok;
    more->click();

    if (!recorderPort.isEmpty()) {
        window.resize(size);
        window.startInControlMode();
        LiveTakeList* list = window.liveTakeList();
        list->move(window.pos() + QPoint(window.width() / 3, 60));
        settle(2500);
        const bool shown = window.mode() == Velmora::ControlMode;
        ok = shown &&
             shoot(window, out, QStringLiteral("velmora-controlmode.png"), list->frameGeometry()) &&
             ok;
        if (!shown)
            std::puts("FAILED control mode: no recorder on the given port");
    }
    return ok ? 0 : 1;
}
