#include "model/AnalyzerMap.h"
#include "ui/GridActions.h"
#include "ui/GridModel.h"
#include "ui/GridViewModel.h"
#include "ui/TForm1.h"

#include "widgets/TLabeledEdit.h"
#include "widgets/TiLedRectangle.h"
#include "widgets/TiSwitchLed.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace
{

constexpr int kClientWidth = 820;
constexpr int kClientHeight = 598;
constexpr int kPanel1Width = 236;
constexpr int kPanel2Width = 246;
constexpr int kTopRowHeight = 318;
constexpr int kGridRows = 2;
constexpr int kStatusWidths[] = {160, 110, 120, 150}; // by StatusPanel
constexpr int kDownloadRepaintMs = 300;

template <typename T> T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QFrame *panel(QWidget *parent, const char *name)
{
    auto *frame = named(new QFrame(parent), name);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);
    return frame;
}

QLabel *heading(QWidget *parent, const char *name)
{
    auto *label = named(new QLabel(parent), name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    label->setWordWrap(true);
    return label;
}

} // namespace

void TForm1::buildConnectionPanel()
{
    Panel1 = panel(this, "Panel1");
    Panel1->setFixedWidth(kPanel1Width);

    Bevel1 = named(new QFrame(Panel1), "Bevel1");
    Bevel1->setFrameShape(QFrame::StyledPanel);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setCursor(Qt::PointingHandCursor);
    RadioButton1 = named(new QRadioButton(Bevel1), "RadioButton1");
    RadioButton2 = named(new QRadioButton(Bevel1), "RadioButton2");
    RadioButton1->setChecked(true);
    auto *modes = new QHBoxLayout(Bevel1);
    modes->setContentsMargins(8, 4, 8, 4);
    modes->addWidget(RadioButton1);
    modes->addWidget(RadioButton2);

    GroupBox2 = named(new QGroupBox(Panel1), "GroupBox2");
    Com_Label = named(new QLabel(GroupBox2), "Com_Label");
    Com_Combo = named(new QComboBox(GroupBox2), "Com_Combo");
    // A device path not in the list (a pseudo-terminal, a by-id link) can be typed in.
    Com_Combo->setEditable(true);
    Com_Combo->setInsertPolicy(QComboBox::NoInsert);
    Baud_Label = named(new QLabel(GroupBox2), "Baud_Label");
    Baud_Combo = named(new QComboBox(GroupBox2), "Baud_Combo");
    for (const int baud : kAnalyzerBaudRates)
        Baud_Combo->addItem(QString::number(baud));
    Baud_Combo->setCurrentIndex(-1);
    Adres_Label = named(new QLabel(GroupBox2), "Adres_Label");
    Adres_edit = named(new QLineEdit(QStringLiteral("1"), GroupBox2), "Adres_edit");
    auto *serial = new QVBoxLayout(GroupBox2);
    serial->setSpacing(2);
    for (QWidget *w : {static_cast<QWidget *>(Com_Label), static_cast<QWidget *>(Com_Combo),
                       static_cast<QWidget *>(Baud_Label), static_cast<QWidget *>(Baud_Combo),
                       static_cast<QWidget *>(Adres_Label), static_cast<QWidget *>(Adres_edit)})
        serial->addWidget(w);
    serial->addStretch();

    GroupBox1 = named(new QGroupBox(Panel1), "GroupBox1");
    GroupBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    LabeledEdit1 = new TLabeledEdit(QStringLiteral("LabeledEdit1"), QStringLiteral("Host Ip "), GroupBox1);
    LabeledEdit1->edit()->setContextMenuPolicy(Qt::CustomContextMenu);
    LabeledEdit2 = new TLabeledEdit(QStringLiteral("LabeledEdit2"), QStringLiteral("Host Port"), GroupBox1);
    LabeledEdit2->setText(QStringLiteral("502"));
    LabeledEdit3 = new TLabeledEdit(QStringLiteral("LabeledEdit3"), QString(), GroupBox1);
    LabeledEdit3->setText(QStringLiteral("1"));
    iPop = named(new QMenu(this), "iPop");
    timingMenu = named(new QMenu(this), "timingMenu");
    N1 = named(timingMenu->addAction(QString()), "N1");
    communicationAction = named(timingMenu->addAction(QString()), "communicationAction");
    GroupBox2->setContextMenuPolicy(Qt::CustomContextMenu);
    serialMenu = named(new QMenu(this), "serialMenu");
    serialMenu->addAction(communicationAction);
    archiveAction = named(timingMenu->addAction(QString()), "archiveAction");
    serialMenu->addAction(archiveAction);
    auto *ethernet = new QVBoxLayout(GroupBox1);
    ethernet->setSpacing(4);
    ethernet->addWidget(LabeledEdit1);
    ethernet->addWidget(LabeledEdit2);
    ethernet->addWidget(LabeledEdit3);
    ethernet->addStretch();
    GroupBox1->hide();

    Label5 = heading(Panel1, "Label5");
    Memo1 = named(new QPlainTextEdit(Panel1), "Memo1");
    Memo1->setReadOnly(true);
    Memo1->setFixedHeight(78);
    QFont memoFont = Memo1->font();
    memoFont.setBold(true);
    Memo1->setFont(memoFont);
    // Navy reads well only on a light background; a dark desktop keeps its own text colour.
    QPalette memoPalette = Memo1->palette();
    if (memoPalette.color(QPalette::Base).lightness() >= 128)
        memoPalette.setColor(QPalette::Text, QColor(0, 0, 128));
    Memo1->setPalette(memoPalette);

    BitBtn1 = named(new QPushButton(Panel1), "BitBtn1");
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));
    BitBtn1->setCursor(Qt::PointingHandCursor);

    auto *layout = new QVBoxLayout(Panel1);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(Bevel1);
    layout->addWidget(GroupBox2, 1);
    layout->addWidget(GroupBox1, 1);
    layout->addWidget(Label5);
    layout->addWidget(Memo1);
    layout->addWidget(BitBtn1);
}

void TForm1::buildConfigurationPanel()
{
    Panel2 = panel(this, "Panel2");
    Panel2->setFixedWidth(kPanel2Width);
    Label2 = heading(Panel2, "Label2");
    list1 = named(new QListWidget(Panel2), "list1");
    list1->setAutoFillBackground(true);
    LabeledEdit4 = new TLabeledEdit(QStringLiteral("LabeledEdit4"), QString(), Panel2);
    CheckBox1 = named(new QCheckBox(Panel2), "CheckBox1");
    BitBtn3 = named(new QPushButton(Panel2), "BitBtn3");
    BitBtn3->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    Label3 = named(new QLabel(Panel2), "Label3");
    Label4 = named(new QLabel(Panel2), "Label4");
    BitBtn4 = named(new QPushButton(Panel2), "BitBtn4");
    for (QWidget *hidden :
         {static_cast<QWidget *>(Label3), static_cast<QWidget *>(Label4), static_cast<QWidget *>(BitBtn4)})
        hidden->hide();

    auto *period = new QHBoxLayout;
    period->addWidget(LabeledEdit4, 1);
    period->addWidget(CheckBox1, 0, Qt::AlignBottom);
    auto *layout = new QVBoxLayout(Panel2);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(4);
    layout->addWidget(Label2);
    layout->addWidget(list1, 1);
    layout->addLayout(period);
    layout->addWidget(BitBtn3);
}

void TForm1::buildSectorPanel()
{
    GroupBox3 = named(new QGroupBox(this), "GroupBox3");
    Label1 = heading(GroupBox3, "Label1");
    PopupMenu1 = named(new QMenu(this), "PopupMenu1");
    d1 = named(PopupMenu1->addAction(QString()), "d1");
    d2 = named(PopupMenu1->addAction(QString()), "d2");

    auto *boxes = new QGridLayout;
    boxes->setHorizontalSpacing(12);
    boxes->setVerticalSpacing(3);
    for (int i = 0; i < kSectorBoxes; ++i) {
        chkSector[size_t(i)] = new QCheckBox(GroupBox3);
        chkSector[size_t(i)]->setObjectName(QStringLiteral("chkSector%1").arg(i + 1));
        boxes->addWidget(chkSector[size_t(i)], i % 8, i / 8);
    }
    chkEnergy = named(new QCheckBox(GroupBox3), "chkEnergy");
    boxes->addWidget(chkEnergy, 7, 1);
    list2 = named(new QListWidget(GroupBox3), "list2");
    list2->hide();
    for (QWidget *w : {static_cast<QWidget *>(GroupBox3), static_cast<QWidget *>(list2),
                       static_cast<QWidget *>(chkEnergy)})
        w->setContextMenuPolicy(Qt::CustomContextMenu);
    for (QCheckBox *box : chkSector)
        box->setContextMenuPolicy(Qt::CustomContextMenu);

    iSwitchLed1 = named(new TiSwitchLed(GroupBox3), "iSwitchLed1");
    BitBtn2 = named(new QPushButton(GroupBox3), "BitBtn2");
    BitBtn2->hide();

    auto *layout = new QVBoxLayout(GroupBox3);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(Label1);
    layout->addLayout(boxes);
    layout->addStretch();
    chkNewOnly = named(new QCheckBox(GroupBox3), "chkNewOnly");
    auto *switchRow = new QHBoxLayout;
    switchRow->addWidget(iSwitchLed1, 0, Qt::AlignLeft);
    switchRow->addWidget(chkNewOnly);
    switchRow->addStretch();
    layout->addLayout(switchRow);
}

void TForm1::buildGrid()
{
    Panel3 = panel(this, "Panel3");
    gridModel = new GridModel(kGridRows, kSectorGridColumns, this);
    gridModel->setLog(&records);
    grid = named(new QTableView(Panel3), "grid");
    gridView = new GridViewModel(gridModel, this);
    grid->setModel(gridView);
    setUpRecordGrid(grid);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    PopupMenu2 = named(new QMenu(this), "PopupMenu2");
    S1 = named(PopupMenu2->addAction(QString()), "S1");
    Export1 = named(PopupMenu2->addAction(QString()), "Export1");
    PopupMenu2->addSeparator();
    Chart1 = named(PopupMenu2->addAction(QString()), "Chart1");
    Report1 = named(PopupMenu2->addAction(QString()), "Report1");
    PopupMenu2->addSeparator();
    Archive1 = named(PopupMenu2->addAction(QString()), "Archive1");
    downloadRepaint = new QTimer(this);
    downloadRepaint->setInterval(kDownloadRepaintMs);
    connect(downloadRepaint, &QTimer::timeout, this, &TForm1::repaintDownloadView);

    auto *layout = new QVBoxLayout(Panel3);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(grid);
}

void TForm1::buildStatusBar()
{
    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    static_assert(std::size(kStatusWidths) == size_t(StatusPanel::Count));
    for (int i = 0; i < int(StatusPanel::Count); ++i) {
        auto *label = new QLabel(StatusBar1);
        label->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        // A fixed size: a new text then needs no new layout of the bar.
        label->setFixedSize(kStatusWidths[i], label->fontMetrics().height() + 6);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        statusPanel[size_t(i)] = label;
        StatusBar1->addWidget(label);
    }
    iLedRectangle1 = named(new TiLedRectangle(QStringLiteral("RX"), StatusBar1), "iLedRectangle1");
    iLedRectangle2 = named(new TiLedRectangle(QStringLiteral("TX"), StatusBar1), "iLedRectangle2");
    StatusBar1->addPermanentWidget(iLedRectangle1);
    StatusBar1->addPermanentWidget(iLedRectangle2);
}

void TForm1::buildLayout()
{
    setMinimumSize(kClientWidth, kClientHeight);
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    buildConnectionPanel();
    buildConfigurationPanel();
    buildSectorPanel();
    buildGrid();
    buildStatusBar();

    topRow = new QWidget(this);
    topRow->setFixedHeight(kTopRowHeight);
    auto *top = new QHBoxLayout(topRow);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(4);
    top->addWidget(Panel1);
    top->addWidget(Panel2);
    top->addWidget(GroupBox3, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->setSpacing(4);
    layout->addWidget(topRow);
    layout->addWidget(Panel3, 1);
    layout->addWidget(StatusBar1);
    resize(kClientWidth, kClientHeight);
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Beyond the design size the grid takes two thirds of the extra height and the panels above it
    // (the parameter list with them) one third; status panel 0 takes the extra width.
    topRow->setFixedHeight(kTopRowHeight + std::max(height() - kClientHeight, 0) / 3);
    statusPanel[size_t(StatusPanel::Message)]->setFixedWidth(kStatusWidths[0] +
                                                             std::max(width() - kClientWidth, 0));
}
