#pragma once

#include <QDialog>

// The modal About box: the logo, the program's name, version and maker, and
// an OK button ("pushButton") that closes it. GUI thread only.
class AboutVelmora : public QDialog
{
    Q_OBJECT

public:
    explicit AboutVelmora(QWidget* parent = nullptr);

    // The program's version, as installed ("0.1.0").
    static QString version();

private slots:
    void on_pushButton_clicked();
};
