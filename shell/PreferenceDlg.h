#pragma once

#include <QDialog>

class QCheckBox;
class QSettings;

// The modal Preferences dialog: three check boxes over the preferences kept in
// the settings group "Preferences" (see Preferences). Apply writes them and
// accepts; Cancel closes without writing. GUI thread only.
class PreferenceDlg : public QDialog
{
    Q_OBJECT

public:
    // settings: the store to read and write; null means the application's.
    explicit PreferenceDlg(QWidget* parent = nullptr, QSettings* settings = nullptr);

private slots:
    void on_pushButton_Apply_clicked();
    void on_pushButton_Cancel_clicked();

private:
    QSettings* m_settings;
    QCheckBox* m_showTransport = nullptr;
    QCheckBox* m_showMixer = nullptr;
    QCheckBox* m_showAllTakes = nullptr;
};
