#pragma once

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTextEdit;
class QTreeView;
class QWidget;
class TakeListView;
class ValueLabel;

// The widgets of the editor panel, built in code. Every widget carries its
// member name as object name, so tests, style sheets and saved layouts find
// it by that name. setupUi() creates them as children of the owner and lays
// them out: the take list with its buttons on the left, the two pages of the
// current take on the right, each scrolling when the window is too short for
// it. Tab moves through them as the screen reads. Pointers are owned by the
// owner widget.
class TakeEditorForm
{
public:
    void setupUi(QWidget* owner);

    // Take list and its buttons.
    QSplitter* splitter = nullptr; // take list | editor
    TakeListView* treeView = nullptr;
    QPushButton* pushButton_Import = nullptr;
    QPushButton* pushButton_Clear = nullptr;
    QPushButton* pushButton_Rename = nullptr;
    QPushButton* pushButton_CopyTo = nullptr;
    QPushButton* pushButton_Delete = nullptr;
    QPushButton* pushButton_SpltCombine = nullptr;
    QPushButton* pushButton_Reports = nullptr;
    QPushButton* pushButton_Play = nullptr;
    QPushButton* pushButton_Stop = nullptr;

    // Editor pages and the bottom row.
    QStackedWidget* stackedWidget = nullptr;
    QPushButton* Save = nullptr;
    QPushButton* MoreInfo = nullptr;
    QLabel* PageNumber = nullptr;

    // Page 0: GENERAL INFO.
    ValueLabel* FileName = nullptr;
    ValueLabel* Channels = nullptr;
    QLineEdit* Scene = nullptr;
    QLineEdit* Take = nullptr;
    QCheckBox* checkBox_Circled = nullptr;
    QCheckBox* checkBox_WildTrack = nullptr;
    QLineEdit* Project = nullptr;
    QLineEdit* Tape = nullptr;
    // Page 0: RECORDING INFO.
    QComboBox* comboBox_SampleRate = nullptr;
    QComboBox* comboBox_FrameRate = nullptr;
    QCheckBox* checkBox_PreserveStartTC = nullptr;
    ValueLabel* StartTC = nullptr;
    QPushButton* pushButton_EditTC = nullptr;
    ValueLabel* Duration = nullptr;
    ValueLabel* label_SampleStamp = nullptr;
    ValueLabel* TimeCodeSampleRate = nullptr;
    QLineEdit* UBits = nullptr;
    ValueLabel* DigitizerSampleRate = nullptr;
    ValueLabel* BitDepth = nullptr;
    // Page 0: TRACK INFO and NOTES.
    QTreeView* TreeViewTracks = nullptr;
    QPlainTextEdit* Notes = nullptr;

    // Page 1.
    ValueLabel* OriginalName = nullptr;
    ValueLabel* ParentName = nullptr;
    ValueLabel* ParentUID = nullptr;
    ValueLabel* FamilyUID = nullptr;
    ValueLabel* FamilyName = nullptr;
    ValueLabel* TotalFiles = nullptr;
    ValueLabel* FileSetIndex = nullptr;
    QTextEdit* UserInfo = nullptr;
    ValueLabel* Originator = nullptr;
    ValueLabel* OriginatorDate = nullptr;
    ValueLabel* OriginatorTime = nullptr;
    ValueLabel* OriginatorReference = nullptr;
    ValueLabel* SoftwareVersion = nullptr;
    QTreeView* TreeViewSyncPoints = nullptr;

private:
    QWidget* buildTakeList(QWidget* parent);
    QWidget* buildEditor(QWidget* parent);
    QWidget* buildPage0(QWidget* parent);
    QWidget* buildPage1(QWidget* parent);
    void setTabOrder();
};
