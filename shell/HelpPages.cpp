#include "HelpPages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

namespace
{
const char kGuideFolder[] = "velmora/guide";

QString title(HelpPages::Page page)
{
    return page == HelpPages::Page::UserGuide
               ? QCoreApplication::translate("HelpPages", "Unable to open the User Guide.")
               : QCoreApplication::translate("HelpPages", "Unable to open the Support page.");
}
} // namespace

QString HelpPages::fileName(Page page)
{
    return page == Page::UserGuide ? QStringLiteral("index.html") : QStringLiteral("support.html");
}

QStringList HelpPages::searchDirs()
{
    QStringList dirs;
    const QString prefix = QCoreApplication::applicationDirPath();
    if (!prefix.isEmpty())
        dirs << QDir::cleanPath(prefix + QStringLiteral("/../share/") +
                                QLatin1String(kGuideFolder));
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        dirs << QDir(data).filePath(QLatin1String(kGuideFolder));
    dirs.removeDuplicates();
    return dirs;
}

QUrl HelpPages::locate(Page page, const QStringList& dirs)
{
    for (const QString& dir : dirs) {
        const QFileInfo file(QDir(dir).filePath(fileName(page)));
        if (file.isFile())
            return QUrl::fromLocalFile(file.absoluteFilePath());
    }
    return {};
}

bool HelpPages::open(Page page, QWidget* parent)
{
    const QUrl url = locate(page, searchDirs());
    QString reason;
    if (url.isEmpty())
        reason = QCoreApplication::translate("HelpPages", "Its pages are not installed.");
    else if (!QDesktopServices::openUrl(url))
        reason = QCoreApplication::translate("HelpPages", "Please install a web browser.");
    else
        return true;
    QMessageBox::warning(parent, QCoreApplication::applicationName(),
                         title(page) + QStringLiteral("\n ") + reason);
    return false;
}
