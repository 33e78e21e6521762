#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <memory>

class AudioFileModel;
class LiveTakeList;
class MixerView;
class QMessageBox;
class QTimer;
class TransportView;
class cLinkDevice;
class cLinkLiveTakeSink;
class cPortEnumerator;
class cPortWatcher;
class controlModeR9K;
struct cPortEntry;
class FileListManagement;
class QAction;
class QActionGroup;
class QDockWidget;
class QLabel;
class Mixer;
class QMenu;
class QStackedWidget;
class TakeSession;
class TransportCtrl;
class WindowLayouts;

// The main window. Owns the one take list model and the editor
// (FileListManagement, page 0 of the central stack in edit mode), the actions
// and menus, and keeps the menu commands in step with what the editor reports
// as possible. GUI thread only; lives until the event loop ends.
//
// Commands whose windows are not part of the application yet are created in
// their place in the menus and stay disabled (see m_unavailable), so that no
// menu entry pretends to work.
class Velmora : public QMainWindow
{
    Q_OBJECT

public:
    enum Mode { EditMode = 0, ControlMode = 1 };

    explicit Velmora(QWidget* parent = nullptr);
    ~Velmora() override;

    AudioFileModel* model() const;
    TakeSession* session() const { return m_session.get(); }
    FileListManagement* editor() const { return m_editor; }
    int mode() const { return m_mode; }

    // Imports take files and folders as a drop onto the take list would
    // (the command line and file managers open takes this way).
    void openPaths(const QStringList& paths);

    // Rebuilds the "Controls" and "Window" menus and the File commands'
    // enabling for the current mode.
    void adjustMenuActions();

    // Control mode and the recorder (VelmoraControl.cpp). Before the event
    // loop runs (the start-up scan is queued): the ports listed, and a port
    // used as a plugged-in recorder whatever the list says.
    void setPortEnumerator(std::unique_ptr<cPortEnumerator> enumerator);
    void setRecorderPort(const QString& path);
    // Control mode with the transport view and the take list shown, when a
    // recorder is present.
    void startInControlMode();
    bool recorderPresent() const { return m_device != nullptr; }
    cPortWatcher* portWatcher() const { return m_portWatcher; }
    controlModeR9K* worker() const { return m_worker; }
    TransportView* transportView() const { return m_transportView; }
    QDockWidget* transportViewDock() const { return m_transportViewDock; }
    LiveTakeList* liveTakeList() const { return m_liveTakeList; }
    MixerView* mixerView() const { return m_mixerView; }

    // The resource and settings names.
    static QString styleSheetPath();
    static QString logoPath();

    // Writes the two shipped layouts ("defaultdocked0", "defaultdocked1")
    // from the window's default arrangement into folder (the developer
    // option --write-default-layouts). False with error set when one could
    // not be written.
    bool writeDefaultLayouts(const QString& folder, QString* error);
signals:
    void deviceDiscoveredR9K();
    void deviceRemovedR9K();

public slots:
    void ControlModeActionHandler();
    void EditModeActionHandler();
    void RecordActionHandler();
    void LiveTakeListActionHandler();
    void ConnectR9KActionHandler();
    void DisconnectR9KActionHandler();
    void onDeviceDiscovered(const cPortEntry& port);
    void onDeviceRemoved(const cPortEntry& port);
    void on_renameEnabled(bool enabled);
    void on_copyToEnabled(bool enabled);
    void on_spltCombineEnabled(bool enabled);
    void on_reportsEnabled(bool enabled);
    void on_playEnabled(bool enabled);
    void on_stopEnabled(bool enabled);
    void ReportsActionHandler();
    void SplitCombineActionHandler();

signals:
    // The preferences dialog was applied: readers of Preferences read again.
    void preferencesUpdated();

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void RestoreDefaultLayoutHandler();
    void OpenActionHandler();
    void RenameActionHandler();
    void CopyActionHandler();
    void on_importFinished(int takesAdded, int filesRejected);
    void updateTakeCount();
    void PlayActionHandler();
    void StopActionHandler();
    void TransportActionHandler();
    void MetersActionHandler();
    void on_playStoped();
    void on_playPaused(bool playing);
    void PreferencesActionHandler();
    void AboutActionHandler();
    void UserGuideActionHandler();
    void SupportActionHandler();
    void on_allowControlModeTimer();
    void on_msgBoxAccepted();
    void on_cLinkError();

private:
    // Control mode (VelmoraControl.cpp).
    void createControlMode();
    void destroyControlMode();
    void scanForR9K();
    void enterControlMode();
    void enterEditMode(bool save);
    void recorderGone();
    void showTransportView();
    void deleteRetiredDevices();
    void createActions();
    void createMenus();
    void loadStyleSheet();
    QAction* makeAction(const char* objectName, const QString& text);
    // Enables action unless its command is not available yet.
    void enableAction(QAction* action, bool enabled);
    void cleanUp();
    // The transport window and the playback mixer, as floating docks
    // "transportcontrol" and "meters", wired to the editor.
    void createPlaybackWindows();
    QString pathOfRow(const QModelIndex& index) const;

    // Window layouts: the layout of a mode is saved when the mode is left
    // and on close, and loaded when a mode is entered and at start. Failures
    // are shown in a warning titled "Error" and leave the arrangement as is.
    void saveModeLayout(int mode);
    void loadModeLayout(int mode);
    void saveLayout(const QString& name);
    void loadLayout(const QString& name, int mode);
    // Hides the edit-mode tool windows, remembering which were shown, and
    // shows those again.
    void hideEditToolWindows();
    void showEditToolWindows();
    // Ends playback and the background work before the window closes.
    void stopWorkers();

    std::unique_ptr<TakeSession> m_session;
    QStackedWidget* m_stack = nullptr;
    FileListManagement* m_editor = nullptr;
    TransportCtrl* m_transport = nullptr;
    Mixer* m_mixer = nullptr;
    QDockWidget* m_transportDock = nullptr;
    QDockWidget* m_metersDock = nullptr;
    int m_mode = EditMode;

    // What the editor last reported as possible.
    bool m_renameEnabled = false;
    bool m_copyToEnabled = false;
    bool m_spltCombineEnabled = false;
    bool m_reportsEnabled = false;
    bool m_playEnabled = false;
    bool m_stopEnabled = false;

    QAction* m_importAction = nullptr;
    QAction* m_copyToAction = nullptr;
    QAction* m_renameAction = nullptr;
    QAction* m_preferencesAction = nullptr;
    QAction* m_exitAction = nullptr;
    QAction* m_playAction = nullptr;
    QAction* m_stopAction = nullptr;
    QAction* m_recordAction = nullptr;
    QAction* m_transportAction = nullptr;
    QAction* m_liveTakeListAction = nullptr;
    QAction* m_metersAction = nullptr;
    QAction* m_reportsAction = nullptr;
    QAction* m_splitCombineAction = nullptr;
    QAction* m_restoreLayoutAction = nullptr;
    QAction* m_controlModeAction = nullptr;
    QAction* m_editModeAction = nullptr;
    QAction* m_userGuideAction = nullptr;
    QAction* m_supportAction = nullptr;
    QAction* m_aboutAction = nullptr;
    QActionGroup* m_modeGroup = nullptr;

    QMenu* m_fileMenu = nullptr;
    QMenu* m_controlsMenu = nullptr;
    QMenu* m_windowMenu = nullptr;
    QMenu* m_modeMenu = nullptr;
    QMenu* m_helpMenu = nullptr;

    // Actions whose command is not part of the application yet: never enabled.
    QSet<QAction*> m_unavailable;
    QDockWidget* m_reportDock = nullptr;       // "reportmanager"
    QDockWidget* m_splitCombineDock = nullptr; // "splitcombine"
    QLabel* m_takeCount = nullptr;
    std::unique_ptr<WindowLayouts> m_layouts;
    // Which edit-mode tool windows (by object name) were shown when they
    // were last hidden together.
    QHash<QString, bool> m_editToolVisible;

    // Control mode. The worker and the sink are deleted by
    // destroyControlMode(); a device goes only once no thread uses it.
    MixerView* m_mixerView = nullptr;
    TransportView* m_transportView = nullptr;
    QDockWidget* m_transportViewDock = nullptr; // "transportview"
    LiveTakeList* m_liveTakeList = nullptr;
    controlModeR9K* m_worker = nullptr;
    cLinkLiveTakeSink* m_sink = nullptr;
    cLinkDevice* m_device = nullptr;
    // Devices released while the worker thread still ran: deleted when it ends.
    QList<cLinkDevice*> m_retiredDevices;
    cPortWatcher* m_portWatcher = nullptr;
    QTimer* m_allowControlModeTimer = nullptr;
    QPointer<QMessageBox> m_unpluggedBox;
};
