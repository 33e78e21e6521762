#include "TakeDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QScreen>
#include <QSettings>
#include <QSize>
#include <QTreeView>

namespace
{
const char kLastImportDirKey[] = "LastImportDir";
const char kCopyDirKey[] = "CopyFileList";

// What the detail view needs to show its four columns and a few folders.
constexpr int kDialogWidth = 900;
constexpr int kDialogHeight = 560;

QString existingOrHome(const QString& folder)
{
    if (folder.isEmpty() || !QDir(folder).exists())
        return QDir::toNativeSeparators(QDir::homePath());
    return folder;
}

// Wide enough for the detail view's name, size, type and date columns,
// never larger than most of the screen.
QSize dialogSize(const QSize& available)
{
    return QSize(kDialogWidth, kDialogHeight).boundedTo(available * 9 / 10);
}

void prepare(QFileDialog& dialog, QWidget* parent)
{
    QFileDialog::Options options = dialog.options();
#ifdef Q_OS_LINUX
    // Recorders often write upper-case .WAV names; the toolkit's own dialog
    // matches the filter without regard to case, a desktop dialog may not.
    options |= QFileDialog::DontUseNativeDialog;
#endif
    dialog.setOptions(options);
    dialog.setViewMode(QFileDialog::Detail);
    // The toolkit's own dialog: name, size, type and date shown whole, the
    // name taking what is left.
    if (auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = details->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    const QScreen* screen = parent ? parent->screen() : nullptr;
    if (screen)
        dialog.resize(dialogSize(screen->availableGeometry().size()));
}
} // namespace

QString TakeDialogs::importFolder()
{
    return existingOrHome(QSettings().value(QLatin1String(kLastImportDirKey)).toString());
}

void TakeDialogs::rememberImportFolder(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    const QFileInfo first(paths.first());
    const QString folder = first.isDir() ? first.absoluteFilePath() : first.absolutePath();
    QSettings().setValue(QLatin1String(kLastImportDirKey), folder);
}

QStringList TakeDialogs::chooseImportFiles(QWidget* parent)
{
    QFileDialog dialog(parent, QObject::tr("Import Files"), importFolder(),
                       QStringLiteral("Audio (*.wav *.bwf)"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    prepare(dialog, parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList chosen = dialog.selectedFiles();
    rememberImportFolder(chosen);
    return chosen;
}

QString TakeDialogs::chooseCopyFolder(QWidget* parent)
{
    const QString last = existingOrHome(QSettings().value(QLatin1String(kCopyDirKey)).toString());
    QFileDialog dialog(parent, QObject::tr("Open Destination"), last);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    prepare(dialog, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString folder = dialog.selectedFiles().first();
    QSettings().setValue(QLatin1String(kCopyDirKey), folder);
    return folder;
}
