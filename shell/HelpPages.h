#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class QWidget;

// The installed user guide (HTML pages under share/velmora/guide) and how the
// Help menu opens its pages in the desktop's browser. GUI thread only.
namespace HelpPages
{
enum class Page { UserGuide, Support };

// The page's file name inside the guide folder ("index.html", "support.html").
QString fileName(Page page);

// Where the guide is looked for, in order: share/velmora/guide beside the
// program's own prefix (an installed program, or a build tree, which stages
// the guide there), then velmora/guide under each of the platform's data
// folders (XDG_DATA_DIRS on Linux).
QStringList searchDirs();

// The first of dirs holding the page, as a file:// URL; empty when none does.
QUrl locate(Page page, const QStringList& dirs);

// Opens the page in the desktop's browser. When the page is not installed or
// the desktop cannot open it, says so in a warning over parent and returns
// false.
bool open(Page page, QWidget* parent);
} // namespace HelpPages
