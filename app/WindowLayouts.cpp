#include "WindowLayouts.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QSaveFile>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

namespace
{
QString tr(const char* text)
{
    return QCoreApplication::translate("WindowLayouts", text);
}

const char kGroup[] = "Preferences";

// The edit-mode tool windows: object name and settings key prefix.
struct Tool {
    const char* objectName;
    const char* key;
};
constexpr Tool kEditTools[] = {{"meters", "meter"},
                               {"reportmanager", "reportmanager"},
                               {"splitcombine", "splitcombine"},
                               {"transportcontrol", "transportcontrol"}};
const char kTransportView[] = "transportview";
const char kLiveTakeList[] = "livetakelist";

// How much of a window's title strip (in pixels) must lie on a screen for
// the user to reach it with the mouse.
constexpr int kGrip = 40;

// What the toolkit's saved geometry starts with.
constexpr quint32 kGeometryMagic = 0x1D9D0CB;

QString key(const char* prefix, const char* what)
{
    return QLatin1String(prefix) + QLatin1String(what);
}

bool readBlock(QFile& file, QByteArray* geometry)
{
    char length = 0;
    if (!file.getChar(&length))
        return false;
    const int size = quint8(length);
    *geometry = file.read(size);
    return geometry->size() == size;
}
} // namespace

WindowLayouts::WindowLayouts(QMainWindow* window, const QString& userFolder,
                             const QString& defaultFolder)
    : m_window(window), m_userFolder(userFolder), m_defaultFolder(defaultFolder)
{
    if (m_userFolder.isEmpty())
        m_userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (m_defaultFolder.isEmpty())
        m_defaultFolder = QStringLiteral(":/Velmora/Resources");
}

QString WindowLayouts::modeLayoutName(int mode)
{
    return QString::number(mode);
}

QString WindowLayouts::defaultLayoutName(int mode)
{
    return QStringLiteral("defaultdocked%1").arg(mode);
}

bool WindowLayouts::isEditLayout(const QString& name)
{
    return name.contains(QLatin1Char('0'));
}

QString WindowLayouts::fileName(const QString& name)
{
    return QStringLiteral("Layout%1.vlt").arg(name);
}

QString WindowLayouts::layoutPath(bool isDefault, const QString& name) const
{
    return (isDefault ? m_defaultFolder : m_userFolder) + QLatin1Char('/') + fileName(name);
}

QWidget* WindowLayouts::tool(const char* objectName) const
{
    return m_window->findChild<QWidget*>(QLatin1String(objectName));
}

bool WindowLayouts::writeLayoutFile(const QString& path, const QByteArray& geometry, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = tr("Failed to save %1\n%2").arg(path, file.errorString());
        return false;
    }
    // A longer block would get a wrong length byte and could never be read back.
    if (geometry.size() > kMaxGeometryBytes) {
        file.cancelWriting();
        *error = tr("Error writing to %1\n%2")
                     .arg(path, tr("The window geometry takes %1 bytes; a layout holds at most %2.")
                                    .arg(geometry.size())
                                    .arg(kMaxGeometryBytes));
        return false;
    }
    if (!file.putChar(char(quint8(geometry.size()))) || file.write(geometry) != geometry.size() ||
        !file.commit()) {
        *error = tr("Error writing to %1\n%2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool WindowLayouts::restoreMainGeometry(QWidget* window, const QByteArray& geometry)
{
    if (window->restoreGeometry(geometry))
        return true;
    // The toolkit also refuses a good block saved on a screen more than a
    // quarter narrower or wider than the one it would restore on (another
    // monitor, or the shipped layouts); the window is placed from it anyway.
    QDataStream in(geometry);
    in.setVersion(QDataStream::Qt_4_0);
    quint32 magic = 0;
    quint16 major = 0;
    quint16 minor = 0;
    QRect frame;
    QRect normal;
    qint32 screen = 0;
    quint8 maximized = 0;
    quint8 fullScreen = 0;
    in >> magic >> major >> minor >> frame >> normal >> screen >> maximized >> fullScreen;
    if (in.status() != QDataStream::Ok || magic != kGeometryMagic || major < 1 || major > 3 ||
        !normal.isValid())
        return false;
    window->setGeometry(normal);
    Qt::WindowStates state = window->windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen);
    if (maximized)
        state |= Qt::WindowMaximized;
    if (fullScreen)
        state |= Qt::WindowFullScreen;
    window->setWindowState(state);
    return true;
}

QRect WindowLayouts::placeOnScreens(const QRect& frame, const QList<QRect>& available,
                                    const QRect& primary)
{
    QRect placed = frame;
    const QRect strip(frame.topLeft(), QSize(frame.width(), kGrip));
    const bool reachable = std::any_of(available.begin(), available.end(), [&](const QRect& a) {
        const QRect seen = a & strip;
        return seen.width() >= kGrip && seen.height() >= kGrip / 2;
    });
    if (!reachable) {
        const QSize size = frame.size().boundedTo(primary.size());
        const QPoint offset = defaultPosition();
        placed =
            QRect(QPoint(primary.left() + std::min(offset.x(), primary.width() - size.width()),
                         primary.top() + std::min(offset.y(), primary.height() - size.height())),
                  size);
    }
    // The screen that shows most of the window holds all of it.
    QRect screen = primary;
    qint64 shown = 0;
    for (const QRect& area : available) {
        const QRect seen = area & placed;
        if (qint64(seen.width()) * seen.height() > shown) {
            shown = qint64(seen.width()) * seen.height();
            screen = area;
        }
    }
    return fitInside(placed, screen);
}

QRect WindowLayouts::fitInside(const QRect& frame, const QRect& available)
{
    const QSize size = frame.size().boundedTo(available.size());
    const int x = std::clamp(frame.x(), available.left(), available.right() + 1 - size.width());
    const int y = std::clamp(frame.y(), available.top(), available.bottom() + 1 - size.height());
    return QRect(QPoint(x, y), size);
}

void WindowLayouts::keepOnScreen() const
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary || (m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        return;
    QList<QRect> available;
    for (const QScreen* screen : QGuiApplication::screens())
        available << screen->availableGeometry();
    const QRect frame = m_window->frameGeometry();
    const QRect placed = placeOnScreens(frame, available, primary->availableGeometry());
    if (placed == frame)
        return;
    // The frame's decorations keep their size; the client area takes the rest.
    m_window->resize(m_window->size() - (frame.size() - placed.size()));
    m_window->move(placed.topLeft());
}

bool WindowLayouts::save(const QString& name, QString* error) const
{
    const QString path = layoutPath(false, name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!writeLayoutFile(path, m_window->saveGeometry(), error))
        return false;
    if (isEditLayout(name))
        saveEditKeys();
    else
        saveControlKeys();
    return true;
}

void WindowLayouts::saveEditKeys() const
{
    QSettings settings;
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("mainSizeDocked"), m_window->size());
    settings.setValue(QStringLiteral("mainPosDocked"), m_window->pos());
    for (const Tool& t : kEditTools) {
        if (QWidget* w = tool(t.objectName)) {
            settings.setValue(key(t.key, "Geometry"), w->saveGeometry());
            settings.setValue(key(t.key, "Visible"), !w->isHidden());
        }
    }
}

void WindowLayouts::saveControlKeys() const
{
    QSettings settings;
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("controlModeMainSizeDocked"), m_window->size());
    settings.setValue(QStringLiteral("controlModeMainPosDocked"), m_window->pos());
    if (auto* view = qobject_cast<QDockWidget*>(tool(kTransportView))) {
        settings.setValue(QStringLiteral("transportviewGeometry"), view->saveGeometry());
        settings.setValue(QStringLiteral("transportviewVisible"), !view->isHidden());
        settings.setValue(QStringLiteral("transportviewFloating"), view->isFloating());
    }
    if (QWidget* list = tool(kLiveTakeList)) {
        settings.setValue(QStringLiteral("livetakeListGeometry"), list->saveGeometry());
        settings.setValue(QStringLiteral("livetakeListVisible"), !list->isHidden());
    }
}

bool WindowLayouts::load(const QString& name, int mode, QString* error) const
{
    QString used = name;
    QString path = layoutPath(false, used);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        used = defaultLayoutName(mode);
        path = layoutPath(true, used);
        file.setFileName(path);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = tr("Failed to open %1\n%2").arg(path, file.errorString());
            return false;
        }
    }
    QByteArray geometry;
    if (!readBlock(file, &geometry) || !restoreMainGeometry(m_window, geometry)) {
        *error = tr("Error reading %1").arg(path);
        return false;
    }
    if (used.contains(QLatin1String("default"))) {
        // Tool windows keep their state.
        m_window->move(defaultPosition());
    } else if (isEditLayout(used)) {
        loadEditKeys();
    } else {
        loadControlKeys();
    }
    keepOnScreen();
    return true;
}

void WindowLayouts::placeMainWindow(const QPoint& pos, const QSize& size) const
{
    // A maximized or full-screen window keeps what its geometry block gave it.
    if (m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    m_window->move(pos);
    m_window->resize(size);
}

void WindowLayouts::loadEditKeys() const
{
    QSettings settings;
    settings.beginGroup(QLatin1String(kGroup));
    const QSize size = settings.value(QStringLiteral("mainSizeDocked"), defaultSize()).toSize();
    const QPoint pos = settings.value(QStringLiteral("mainPosDocked"), defaultPosition()).toPoint();
    // Visibility comes from the mode switch, not from here.
    for (const Tool& t : kEditTools) {
        QWidget* w = tool(t.objectName);
        const QString geometry = key(t.key, "Geometry");
        if (w && settings.contains(geometry))
            w->restoreGeometry(settings.value(geometry).toByteArray());
    }
    placeMainWindow(pos, size);
}

void WindowLayouts::loadControlKeys() const
{
    QSettings settings;
    settings.beginGroup(QLatin1String(kGroup));
    const QSize size =
        settings.value(QStringLiteral("controlModeMainSizeDocked"), defaultSize()).toSize();
    const QPoint pos =
        settings.value(QStringLiteral("controlModeMainPosDocked"), defaultPosition()).toPoint();
    if (auto* view = qobject_cast<QDockWidget*>(tool(kTransportView))) {
        if (settings.contains(QStringLiteral("transportviewVisible")))
            view->setVisible(settings.value(QStringLiteral("transportviewVisible")).toBool());
        if (settings.value(QStringLiteral("transportviewFloating")).toBool()) {
            view->setFloating(true);
        } else {
            m_window->addDockWidget(Qt::BottomDockWidgetArea, view);
            view->setFloating(false);
        }
        if (settings.contains(QStringLiteral("transportviewGeometry")))
            view->restoreGeometry(
                settings.value(QStringLiteral("transportviewGeometry")).toByteArray());
    }
    if (QWidget* list = tool(kLiveTakeList)) {
        if (settings.contains(QStringLiteral("livetakeListVisible")))
            list->setVisible(settings.value(QStringLiteral("livetakeListVisible")).toBool());
        if (settings.contains(QStringLiteral("livetakeListGeometry")))
            list->restoreGeometry(
                settings.value(QStringLiteral("livetakeListGeometry")).toByteArray());
    }
    placeMainWindow(pos, size);
}
