#include "PreferenceDlg.h"

#include "Preferences.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

PreferenceDlg::PreferenceDlg(QWidget* parent, QSettings* settings)
    : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("PreferenceDlg"));
    setWindowTitle(tr("Preferences"));
    setWindowIcon(QIcon(QStringLiteral(":/Velmora/Resources/logo.png")));

    auto* windowBox = new QGroupBox(tr("Window"), this);
    m_showTransport = new QCheckBox(tr("Show Transport window on Playback"), windowBox);
    m_showTransport->setObjectName(QStringLiteral("checkBox_showTransport"));
    m_showMixer = new QCheckBox(tr("Show Mixer window on Playback"), windowBox);
    m_showMixer->setObjectName(QStringLiteral("checkBox_showMixer"));
    auto* windowLayout = new QVBoxLayout(windowBox);
    windowLayout->addWidget(m_showTransport);
    windowLayout->addWidget(m_showMixer);

    auto* takeListBox = new QGroupBox(tr("Control Mode Take List"), this);
    m_showAllTakes = new QCheckBox(tr("Show Last 10 Takes"), takeListBox);
    m_showAllTakes->setObjectName(QStringLiteral("checkBox_showAllTakes"));
    auto* takeListLayout = new QVBoxLayout(takeListBox);
    takeListLayout->addWidget(m_showAllTakes);

    auto* apply = new QPushButton(tr("Apply"), this);
    apply->setObjectName(QStringLiteral("pushButton_Apply"));
    apply->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("pushButton_Cancel"));
    connect(apply, &QPushButton::clicked, this, &PreferenceDlg::on_pushButton_Apply_clicked);
    connect(cancel, &QPushButton::clicked, this, &PreferenceDlg::on_pushButton_Cancel_clicked);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(apply);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(windowBox);
    layout->addWidget(takeListBox);
    layout->addLayout(buttons);

    QSettings own;
    const Preferences prefs = Preferences::load(m_settings ? *m_settings : own);
    m_showTransport->setChecked(prefs.showTransportOnPlay);
    m_showMixer->setChecked(prefs.showMixerOnPlay);
    m_showAllTakes->setChecked(prefs.showControlModeAllTakes);
}

void PreferenceDlg::on_pushButton_Apply_clicked()
{
    Preferences prefs;
    prefs.showTransportOnPlay = m_showTransport->isChecked();
    prefs.showMixerOnPlay = m_showMixer->isChecked();
    prefs.showControlModeAllTakes = m_showAllTakes->isChecked();
    QSettings own;
    if (!prefs.save(m_settings ? *m_settings : own)) {
        // Not accepted: nobody is told of preferences that were not kept.
        QMessageBox::warning(this, QCoreApplication::applicationName(),
                             tr("Unable to save the preferences."));
        return;
    }
    accept();
}

void PreferenceDlg::on_pushButton_Cancel_clicked()
{
    reject();
}
