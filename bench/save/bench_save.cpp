// Times the editor's save of one edit (the project) into many selected takes
// of 8 mono files each in one folder. Arguments: [TAKES=300] [SECONDS=0.5].
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "AudioFile.h"
#include "AudioFileModel.h"
#include "DemoTakeWriter.h"
#include "FileListManagement.h"
#include "TakeSession.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quorlan"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    const QStringList args = app.arguments();
    const int takes = args.size() > 1 ? args.at(1).toInt() : 300;
    const double seconds = args.size() > 2 ? args.at(2).toDouble() : 0.5;

    QTemporaryDir dir;
    DemoTakeWriter writer;
    DemoTakeWriter::Options o;
    o.takes = takes;
    o.seconds = seconds;
    o.channels = 8;
    o.layout = DemoTakeWriter::Layout::Mono;
    if (!dir.isValid() || !writer.write(dir.path(), o)) {
        std::fprintf(stderr, "cannot write the takes: %s\n", qPrintable(writer.errorText()));
        return 1;
    }

    TakeSession session;
    AudioFileModel& model = *session.model();
    FileListManagement editor(nullptr, &session);
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QObject::connect(&editor, &FileListManagement::importFinished, &loop, &QEventLoop::quit);
    editor.importPaths({dir.path()}, FileListManagement::ImportOrigin::Drop);
    loop.exec();
    if (model.rowCount() != takes) {
        std::fprintf(stderr, "import failed (%d takes listed)\n", int(model.rowCount()));
        return 1;
    }
    const qint64 importMs = t.elapsed();

    auto* view = editor.findChild<QTreeView*>(QStringLiteral("treeView"));
    view->selectAll();
    auto* project = editor.findChild<QLineEdit*>(QStringLiteral("Project"));
    project->setText(QStringLiteral("Bench"));
    emit project->textEdited(project->text());

    bool ok = false;
    bool ended = false;
    QObject::connect(&editor, &FileListManagement::actionFinished, [&](int, bool done) {
        ok = done;
        ended = true;
        loop.quit();
    });
    t.restart();
    editor.startSave();
    if (!ended)
        loop.exec();
    const qint64 saveMs = t.elapsed();
    AudioFile check;
    const bool written = check.Open(model.data(model.index(0, 30)).toString()) &&
                         check.GetProjectName() == QLatin1String("Bench");
    std::printf("takes,files,import_ms,save_ms,ok\n%d,%d,%lld,%lld,%s\n", takes, takes * 8,
                importMs, saveMs, ok && written ? "yes" : "no");
    return ok && written ? 0 : 1;
}
