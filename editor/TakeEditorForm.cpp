#include "TakeEditorForm.h"

#include "TakeListView.h"
#include "ValueLabel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTreeView>
#include <QVBoxLayout>

namespace
{
// Spacing of the panel, in pixels.
constexpr int kGroupSpacing = 6;
constexpr int kRowSpacing = 4;
constexpr int kColumnSpacing = 8;

template <typename W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QPushButton* button(QWidget* parent, const char* name, const QString& text)
{
    auto* b = named(new QPushButton(text, parent), name);
    b->setAutoDefault(false);
    return b;
}

// A field caption such as "Scene :"; styled through its "role" property.
QLabel* caption(QWidget* parent, const QString& text)
{
    auto* l = new QLabel(text, parent);
    l->setProperty("role", QStringLiteral("caption"));
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

ValueLabel* value(QWidget* parent, const char* name)
{
    return named(new ValueLabel(parent), name);
}

QLineEdit* lineEdit(QWidget* parent, const char* name)
{
    auto* e = named(new QLineEdit(parent), name);
    e->setMinimumWidth(60);
    return e;
}

QCheckBox* checkBox(QWidget* parent, const char* name)
{
    auto* c = named(new QCheckBox(parent), name);
    c->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return c;
}

QGroupBox* group(QWidget* parent, const QString& title)
{
    auto* g = new QGroupBox(title, parent);
    return g;
}

QGridLayout* grid(QGroupBox* box)
{
    auto* g = new QGridLayout(box);
    g->setHorizontalSpacing(kColumnSpacing);
    g->setVerticalSpacing(kRowSpacing);
    g->setColumnStretch(1, 1);
    g->setColumnStretch(3, 1);
    return g;
}

// A page of the editor in a vertical scroll area: on a short screen the page
// scrolls instead of crushing its fields. The area is always as wide as the
// page needs, so nothing is cut off at the side.
class PageScroller : public QScrollArea
{
public:
    explicit PageScroller(QWidget* page, QWidget* parent) : QScrollArea(parent)
    {
        setObjectName(page->objectName() + QStringLiteral("_scroll"));
        setWidget(page);
        setWidgetResizable(true);
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFocusPolicy(Qt::NoFocus);
    }
    QSize minimumSizeHint() const override
    {
        // Height: a few rows of fields; the rest scrolls.
        return QSize(pageWidth(widget()->minimumSizeHint()), 160);
    }
    QSize sizeHint() const override
    {
        const QSize page = widget()->sizeHint();
        return QSize(pageWidth(page), page.height());
    }

private:
    int pageWidth(const QSize& page) const
    {
        return page.width() + verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
    }
};

QTreeView* detailTree(QWidget* parent, const char* name)
{
    auto* t = named(new QTreeView(parent), name);
    t->setRootIsDecorated(false);
    t->setUniformRowHeights(true);
    t->setAlternatingRowColors(true);
    t->setMinimumHeight(72);
    t->header()->setStretchLastSection(true);
    return t;
}

// Caption columns of every field grid of a page get the same width, so that
// values line up from group to group.
void alignCaptions(const QList<QGridLayout*>& grids, const QList<int>& columns)
{
    for (int column : columns) {
        int width = 0;
        for (QGridLayout* g : grids) {
            for (int row = 0; row < g->rowCount(); ++row) {
                QLayoutItem* item = g->itemAtPosition(row, column);
                if (item && item->widget() && qobject_cast<QLabel*>(item->widget()))
                    width = qMax(width, item->widget()->sizeHint().width());
            }
        }
        for (QGridLayout* g : grids)
            g->setColumnMinimumWidth(column, width);
    }
}
} // namespace

void TakeEditorForm::setupUi(QWidget* owner)
{
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(8, 8, 8, 4);
    splitter = named(new QSplitter(Qt::Horizontal, owner), "splitter");
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(buildTakeList(splitter));
    splitter->addWidget(buildEditor(splitter));
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setCollapsible(1, false);
    layout->addWidget(splitter);
    setTabOrder();
}

void TakeEditorForm::setTabOrder()
{
    // As the screen reads: the buttons above the list from left to right,
    // the list, the fields of the current take line by line, then the
    // bottom line from left to right.
    const QList<QWidget*> order = {pushButton_Import,
                                   pushButton_Rename,
                                   pushButton_CopyTo,
                                   pushButton_Clear,
                                   pushButton_Delete,
                                   treeView,
                                   Scene,
                                   Take,
                                   Project,
                                   Tape,
                                   checkBox_Circled,
                                   checkBox_WildTrack,
                                   comboBox_SampleRate,
                                   comboBox_FrameRate,
                                   UBits,
                                   checkBox_PreserveStartTC,
                                   pushButton_EditTC,
                                   TreeViewTracks,
                                   Notes,
                                   UserInfo,
                                   TreeViewSyncPoints,
                                   pushButton_Play,
                                   pushButton_Stop,
                                   pushButton_SpltCombine,
                                   pushButton_Reports,
                                   Save,
                                   MoreInfo};
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}

QWidget* TakeEditorForm::buildTakeList(QWidget* parent)
{
    auto* panel = named(new QFrame(parent), "takeListPanel");
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 4, 0);
    v->setSpacing(kGroupSpacing);

    auto* top = new QHBoxLayout;
    top->setSpacing(kColumnSpacing);
    pushButton_Import = button(panel, "pushButton_Import", QObject::tr("Import"));
    pushButton_Clear = button(panel, "pushButton_Clear", QObject::tr("Clear"));
    pushButton_Delete = button(panel, "pushButton_Delete", QObject::tr("Delete File(s)"));
    pushButton_Rename = button(panel, "pushButton_Rename", QObject::tr("Rename"));
    pushButton_CopyTo = button(panel, "pushButton_CopyTo", QObject::tr("Copy To"));
    pushButton_Import->setProperty("accent", true);
    pushButton_Delete->setProperty("danger", true);
    top->addWidget(pushButton_Import);
    top->addSpacing(kColumnSpacing);
    top->addWidget(pushButton_Rename);
    top->addWidget(pushButton_CopyTo);
    top->addStretch(1);
    top->addWidget(pushButton_Clear);
    top->addWidget(pushButton_Delete);
    v->addLayout(top);

    treeView = named(new TakeListView(panel), "treeView");
    treeView->setContextMenuPolicy(Qt::CustomContextMenu);
    treeView->setDragDropMode(QAbstractItemView::DropOnly);
    treeView->setAcceptDrops(true);
    treeView->setAlternatingRowColors(true);
    treeView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    treeView->setSelectionBehavior(QAbstractItemView::SelectRows);
    treeView->setRootIsDecorated(false);
    treeView->setUniformRowHeights(true);
    treeView->setSortingEnabled(true);
    treeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    treeView->setAllColumnsShowFocus(true);
    treeView->header()->setStretchLastSection(true);
    treeView->header()->setSectionsMovable(false);
    treeView->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Resizing to contents looks at this many rows at most, so that resizing
    // after a large import stays quick.
    treeView->header()->setResizeContentsPrecision(400);
    v->addWidget(treeView, 1);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(kColumnSpacing);
    pushButton_Play = button(panel, "pushButton_Play", QObject::tr("Play"));
    pushButton_Stop = button(panel, "pushButton_Stop", QObject::tr("Stop"));
    pushButton_SpltCombine = button(panel, "pushButton_SpltCombine", QObject::tr("Split/Combine"));
    pushButton_Reports = button(panel, "pushButton_Reports", QObject::tr("Create Report"));
    bottom->addWidget(pushButton_Play);
    bottom->addWidget(pushButton_Stop);
    bottom->addStretch(1);
    bottom->addWidget(pushButton_SpltCombine);
    bottom->addWidget(pushButton_Reports);
    v->addLayout(bottom);
    return panel;
}

QWidget* TakeEditorForm::buildEditor(QWidget* parent)
{
    auto* panel = named(new QFrame(parent), "editorPanel");
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(4, 0, 0, 0);
    v->setSpacing(kGroupSpacing);

    stackedWidget = named(new QStackedWidget(panel), "stackedWidget");
    stackedWidget->addWidget(new PageScroller(buildPage0(nullptr), stackedWidget));
    stackedWidget->addWidget(new PageScroller(buildPage1(nullptr), stackedWidget));
    v->addWidget(stackedWidget, 1);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(kColumnSpacing);
    Save = button(panel, "Save", QObject::tr("Save"));
    Save->setProperty("accent", true);
    MoreInfo = button(panel, "MoreInfo", QObject::tr("More Info"));
    PageNumber = named(new QLabel(panel), "PageNumber");
    PageNumber->setProperty("role", QStringLiteral("caption"));
    bottom->addWidget(Save);
    bottom->addStretch(1);
    bottom->addWidget(PageNumber);
    bottom->addWidget(MoreInfo);
    v->addLayout(bottom);
    return panel;
}

QWidget* TakeEditorForm::buildPage0(QWidget* parent)
{
    auto* page = named(new QWidget(parent), "page0");
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(kGroupSpacing);

    QGroupBox* general = group(page, QObject::tr("GENERAL INFO"));
    general->setObjectName(QStringLiteral("groupBox_General"));
    QGridLayout* g = grid(general);
    FileName = value(general, "FileName");
    Channels = value(general, "Channels");
    Scene = lineEdit(general, "Scene");
    Take = lineEdit(general, "Take");
    Project = lineEdit(general, "Project");
    Tape = lineEdit(general, "Tape");
    checkBox_Circled = checkBox(general, "checkBox_Circled");
    checkBox_WildTrack = checkBox(general, "checkBox_WildTrack");
    g->addWidget(caption(general, QObject::tr("Current Name :")), 0, 0);
    g->addWidget(FileName, 0, 1);
    g->addWidget(caption(general, QObject::tr("Channels :")), 0, 2);
    g->addWidget(Channels, 0, 3);
    g->addWidget(caption(general, QObject::tr("Scene :")), 1, 0);
    g->addWidget(Scene, 1, 1);
    g->addWidget(caption(general, QObject::tr("Take :")), 1, 2);
    g->addWidget(Take, 1, 3);
    // Project names are long: the field takes the whole line.
    g->addWidget(caption(general, QObject::tr("Project :")), 2, 0);
    g->addWidget(Project, 2, 1, 1, 3);
    g->addWidget(caption(general, QObject::tr("Tape :")), 3, 0);
    g->addWidget(Tape, 3, 1);
    g->addWidget(caption(general, QObject::tr("Circled :")), 4, 0);
    g->addWidget(checkBox_Circled, 4, 1);
    g->addWidget(caption(general, QObject::tr("Wild Track :")), 4, 2);
    g->addWidget(checkBox_WildTrack, 4, 3);

    // Recording values are short and some captions long: each caption sits
    // above its value, three fields to a row.
    QGroupBox* recording = group(page, QObject::tr("RECORDING INFO"));
    recording->setObjectName(QStringLiteral("groupBox_Recording"));
    auto* r = new QGridLayout(recording);
    r->setHorizontalSpacing(2 * kColumnSpacing);
    r->setVerticalSpacing(1);
    comboBox_SampleRate = named(new QComboBox(recording), "comboBox_SampleRate");
    comboBox_FrameRate = named(new QComboBox(recording), "comboBox_FrameRate");
    comboBox_SampleRate->setMinimumContentsLength(6);
    comboBox_FrameRate->setMinimumContentsLength(8);
    StartTC = value(recording, "StartTC");
    StartTC->setProperty("role", QStringLiteral("timecode"));
    pushButton_EditTC = button(recording, "pushButton_EditTC", QObject::tr("Edit"));
    checkBox_PreserveStartTC = checkBox(recording, "checkBox_PreserveStartTC");
    Duration = value(recording, "Duration");
    Duration->setProperty("role", QStringLiteral("timecode"));
    BitDepth = value(recording, "BitDepth");
    UBits = lineEdit(recording, "UBits");
    TimeCodeSampleRate = value(recording, "TimeCodeSampleRate");
    DigitizerSampleRate = value(recording, "DigitizerSampleRate");
    label_SampleStamp = value(recording, "label_SampleStamp");
    auto stacked = [r, recording](int row, int column, const QString& text, QWidget* field) {
        QLabel* c = caption(recording, text);
        c->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        r->addWidget(c, 2 * row, column);
        r->addWidget(field, 2 * row + 1, column);
        if (row > 0)
            r->setRowMinimumHeight(2 * row, c->sizeHint().height() + kRowSpacing);
    };
    stacked(0, 0, QObject::tr("Sample Rate :"), comboBox_SampleRate);
    stacked(0, 1, QObject::tr("Frame Rate :"), comboBox_FrameRate);
    stacked(0, 2, QObject::tr("TC Sample Rate :"), TimeCodeSampleRate);
    stacked(1, 0, QObject::tr("Start TC :"), StartTC);
    stacked(1, 1, QObject::tr("Length :"), Duration);
    stacked(1, 2, QObject::tr("Digitizer Rate :"), DigitizerSampleRate);
    stacked(2, 0, QObject::tr("Bit Depth :"), BitDepth);
    stacked(2, 1, QObject::tr("UBits :"), UBits);
    stacked(2, 2, QObject::tr("Samples Since Midnight :"), label_SampleStamp);
    auto* preserve = new QHBoxLayout;
    preserve->setSpacing(kColumnSpacing);
    preserve->addWidget(caption(recording, QObject::tr("Preserve Start TC :")));
    preserve->addWidget(checkBox_PreserveStartTC);
    preserve->addStretch(1);
    preserve->addWidget(pushButton_EditTC);
    r->setRowMinimumHeight(6, kGroupSpacing);
    r->addLayout(preserve, 7, 0, 1, 3);
    for (int c = 0; c < 3; ++c)
        r->setColumnStretch(c, 1);

    alignCaptions({g}, {0, 2});

    auto* fields = new QWidget(page);
    auto* fv = new QVBoxLayout(fields);
    fv->setContentsMargins(0, 0, 0, 0);
    fv->setSpacing(kGroupSpacing);
    fv->addWidget(general);
    fv->addWidget(recording);
    fields->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    QGroupBox* tracks = group(page, QObject::tr("TRACK INFO"));
    tracks->setObjectName(QStringLiteral("groupBox_Tracks"));
    auto* tv = new QVBoxLayout(tracks);
    TreeViewTracks = detailTree(tracks, "TreeViewTracks");
    // Room for a header and four tracks before notes get more height.
    TreeViewTracks->setMinimumHeight(6 * (TreeViewTracks->fontMetrics().height() + 8));
    TreeViewTracks->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TreeViewTracks->header()->setStretchLastSection(true);
    tv->addWidget(TreeViewTracks);

    QGroupBox* notes = group(page, QObject::tr("NOTES"));
    notes->setObjectName(QStringLiteral("groupBox_Notes"));
    auto* nv = new QVBoxLayout(notes);
    Notes = named(new QPlainTextEdit(notes), "Notes");
    Notes->setMinimumHeight(48);
    Notes->setTabChangesFocus(true);
    nv->addWidget(Notes);

    // Fields, tracks and notes share the height 2 : 1 : 2; the fields never
    // grow beyond what they need, so extra height goes to tracks and notes.
    auto* split = named(new QSplitter(Qt::Vertical, page), "splitter_Page0");
    split->setChildrenCollapsible(false);
    split->addWidget(fields);
    split->addWidget(tracks);
    split->addWidget(notes);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 1);
    split->setStretchFactor(2, 2);
    v->addWidget(split, 1);
    return page;
}

QWidget* TakeEditorForm::buildPage1(QWidget* parent)
{
    auto* page = named(new QWidget(parent), "page1");
    auto* v = new QVBoxLayout(page);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(kGroupSpacing);

    auto form = [](QGroupBox* box) {
        auto* g = new QGridLayout(box);
        g->setHorizontalSpacing(kColumnSpacing);
        g->setVerticalSpacing(kRowSpacing);
        g->setColumnStretch(1, 1);
        return g;
    };
    auto addRow = [](QGridLayout* g, QWidget* box, const QString& text, QWidget* field) {
        const int row = g->rowCount() == 1 && !g->itemAtPosition(0, 0) ? 0 : g->rowCount();
        g->addWidget(caption(box, text), row, 0);
        g->addWidget(field, row, 1);
    };

    QGroupBox* history = group(page, QObject::tr("HISTORY"));
    history->setObjectName(QStringLiteral("groupBox_History"));
    QGridLayout* h = form(history);
    OriginalName = value(history, "OriginalName");
    ParentName = value(history, "ParentName");
    ParentUID = value(history, "ParentUID");
    // Identifiers are 30 characters long: a narrower face keeps them whole.
    ParentUID->setProperty("role", QStringLiteral("uid"));
    addRow(h, history, QObject::tr("Original Name :"), OriginalName);
    addRow(h, history, QObject::tr("Parent Name :"), ParentName);
    addRow(h, history, QObject::tr("Parent UID :"), ParentUID);

    QGroupBox* fileSet = group(page, QObject::tr("FILE SET INFO"));
    fileSet->setObjectName(QStringLiteral("groupBox_FileSet"));
    QGridLayout* f = form(fileSet);
    FamilyUID = value(fileSet, "FamilyUID");
    FamilyName = value(fileSet, "FamilyName");
    TotalFiles = value(fileSet, "TotalFiles");
    FileSetIndex = value(fileSet, "FileSetIndex");
    FamilyUID->setProperty("role", QStringLiteral("uid"));
    addRow(f, fileSet, QObject::tr("Family UID :"), FamilyUID);
    addRow(f, fileSet, QObject::tr("Family Name :"), FamilyName);
    addRow(f, fileSet, QObject::tr("Total Files :"), TotalFiles);
    addRow(f, fileSet, QObject::tr("File Set Index :"), FileSetIndex);

    QGroupBox* user = group(page, QObject::tr("USER INFO"));
    user->setObjectName(QStringLiteral("groupBox_User"));
    auto* uv = new QVBoxLayout(user);
    UserInfo = named(new QTextEdit(user), "UserInfo");
    UserInfo->setAcceptRichText(false);
    UserInfo->setTabChangesFocus(true);
    UserInfo->setMinimumHeight(44);
    uv->addWidget(UserInfo);

    QGroupBox* originator = group(page, QObject::tr("ORIGINATOR INFO"));
    originator->setObjectName(QStringLiteral("groupBox_Originator"));
    QGridLayout* o = form(originator);
    Originator = value(originator, "Originator");
    OriginatorDate = value(originator, "OriginatorDate");
    OriginatorTime = value(originator, "OriginatorTime");
    OriginatorReference = value(originator, "OriginatorReference");
    SoftwareVersion = value(originator, "SoftwareVersion");
    addRow(o, originator, QObject::tr("Originator :"), Originator);
    addRow(o, originator, QObject::tr("Originator Date :"), OriginatorDate);
    addRow(o, originator, QObject::tr("Originator Time :"), OriginatorTime);
    addRow(o, originator, QObject::tr("Originator Reference :"), OriginatorReference);
    addRow(o, originator, QObject::tr("Software Version :"), SoftwareVersion);

    QGroupBox* sync = group(page, QObject::tr("SYNC POINTS"));
    sync->setObjectName(QStringLiteral("groupBox_SyncPoints"));
    auto* sv = new QVBoxLayout(sync);
    TreeViewSyncPoints = detailTree(sync, "TreeViewSyncPoints");
    TreeViewSyncPoints->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeViewSyncPoints->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TreeViewSyncPoints->header()->setStretchLastSection(true);
    sv->addWidget(TreeViewSyncPoints);

    alignCaptions({h, f, o}, {0});

    v->addWidget(history);
    v->addWidget(fileSet);
    v->addWidget(user, 1);
    v->addWidget(originator);
    v->addWidget(sync, 2);
    return page;
}
