#pragma once

#include <QByteArray>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QMainWindow;
class QWidget;

// The window arrangement of each mode: the main window's geometry in a small
// layout file, the main window's size and position and the tool windows'
// geometry, visibility and docking in the settings group "Preferences".
//
// A layout is named after its mode ("0" edit mode, "1" control mode); the two
// shipped ones are "defaultdocked0" and "defaultdocked1". A name with a "0" in
// it is an edit-mode layout, any other a control-mode layout, and each kind
// reads and writes only its own settings keys.
//
// Layout file: one byte N, then the N bytes of the main window's saved
// geometry. Tool windows are found among the main window's children by object
// name when a layout is saved or loaded; a missing one is skipped.
//
// Failures come back as the text the user is shown (under the title "Error");
// the arrangement is then left as it was. GUI thread only.
class WindowLayouts
{
public:
    // The largest geometry block a layout file can hold (its length byte).
    static constexpr int kMaxGeometryBytes = 255;

    // window: not owned, outlives this object. userFolder: where user layouts
    // are written (empty: the application's data location). defaultFolder:
    // where the shipped layouts are (empty: the compiled-in resources).
    explicit WindowLayouts(QMainWindow* window, const QString& userFolder = QString(),
                           const QString& defaultFolder = QString());

    static QString modeLayoutName(int mode);
    static QString defaultLayoutName(int mode);
    static bool isEditLayout(const QString& name);
    // "Layout<name>.vlt"
    static QString fileName(const QString& name);
    QString layoutPath(bool isDefault, const QString& name) const;

    // Where the main window goes when a shipped layout is loaded, and the
    // size and position a user layout falls back to when its keys are missing.
    static QPoint defaultPosition() { return QPoint(10, 25); }
    static QSize defaultSize() { return QSize(1018, 690); }

    // Writes the user layout name of the current arrangement. The layout
    // file is replaced only once it is written whole.
    bool save(const QString& name, QString* error) const;

    // Restores the user layout name; without one, the shipped layout of mode.
    bool load(const QString& name, int mode, QString* error) const;

    // The file format. writeLayoutFile refuses a block the length byte cannot
    // describe (more than kMaxGeometryBytes) and leaves an existing file as
    // it was; error gets the message.
    static bool writeLayoutFile(const QString& path, const QByteArray& geometry, QString* error);

    // Puts geometry (a main window's saved geometry) on window. A block the
    // toolkit refuses only because it was saved on a screen of another width
    // is applied from its normal geometry and window state. False when the
    // block is not a saved geometry.
    static bool restoreMainGeometry(QWidget* window, const QByteArray& geometry);

    // Where a window frame goes so that the user sees all of it: moved back
    // onto the primary screen's available area when its title strip is on
    // none of the available areas (a monitor unplugged since the layout was
    // saved), then made no larger than the available area of the screen
    // that shows most of it and moved, as little as it takes, to lie wholly
    // inside that area (a laptop screen smaller than the layout).
    static QRect placeOnScreens(const QRect& frame, const QList<QRect>& available,
                                const QRect& primary);

    // Puts the main window where placeOnScreens() says. A maximized or
    // full-screen window is left alone.
    void keepOnScreen() const;

private:
    static QRect fitInside(const QRect& frame, const QRect& available);
    void saveEditKeys() const;
    void saveControlKeys() const;
    void loadEditKeys() const;
    void loadControlKeys() const;
    void placeMainWindow(const QPoint& pos, const QSize& size) const;
    QWidget* tool(const char* objectName) const;

    QMainWindow* m_window;
    QString m_userFolder;
    QString m_defaultFolder;
};
