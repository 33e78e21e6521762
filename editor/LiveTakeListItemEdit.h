#pragma once

#include <QLineEdit>

// The one-line cell editor of the recorder's take list: a frameless line edit
// whose mode sets what may be typed. Mode 0 (take): at most 5 digits. Mode 1
// (scene): at most 9 letters, digits, "_", ",", "-" and ".", turned to upper
// case as typed. Mode 2 (notes): at most 200 characters of any kind. No mode
// accepts a slash or a backslash in a scene or take name: those names become
// parts of file names. Every change of the text marks the editor as modified.
class LiveTakeListItemEdit : public QLineEdit
{
    Q_OBJECT

public:
    enum Mode { TakeMode = 0, SceneMode = 1, NotesMode = 2 };

    LiveTakeListItemEdit(QWidget* parent, int mode);

    int mode() const { return m_mode; }

private slots:
    void on_textChanged(const QString& text);

private:
    int m_mode;
};
