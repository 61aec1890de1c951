#include "ui/TForm1.h"

#include "ui/ArchiveDialog.h"
#include "ui/GridModel.h"
#include "ui/RecordKeeper.h"
#include "ui/TrafficMonitor.h"

#include "model/InitialLabels.h"
#include "pullrec/Version.h"
#include "shell/Errors.h"
#include "shell/Startup.h"
#include "shell/TForm3.h"
#include "text/ArchiveMessages.h"
#include "widgets/TLabeledEdit.h"
#include "widgets/TiLedRectangle.h"
#include "widgets/TiSwitchLed.h"
#include "worker/AnalyzerSession.h"
#include "worker/comThread.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTableView>

namespace
{
const QString kVersion = QStringLiteral("v") + QLatin1String(kPullrecVersion);
} // namespace

TForm1::TForm1() : worker(std::make_unique<comThread>()), session(std::make_unique<AnalyzerSession>(*worker))
{
    setObjectName(QStringLiteral("Form1"));
    buildLayout();
    for (std::string_view label : kInitialParameterLabels) {
        auto *item = new QListWidgetItem(QString::fromLatin1(label.data(), qsizetype(label.size())), list1);
        item->setCheckState(Qt::Unchecked);
    }
    connectHandlers();
    setWindowState(WindowState::NotConnected);
    Form3 = new TForm3(*worker, this);
    worker->setView(this);
    // Said once a download in the status bar; keeping never stops the download.
    keeper = std::make_unique<RecordKeeper>([this](const RecordKeeper::Failure &failure) {
        post([this, failure] {
            // The count of records given up is the news; a failure without one is said once.
            if (!archiveTrouble.isEmpty() && failure.notKept == 0)
                return;
            const QString archive = QString::fromStdString(failure.archive);
            // An archive that refused to open is worded in the window's language, as elsewhere.
            const bool worded = archiveFaultWorded(failure.fault);
            const QString why = worded
                                    ? archiveOpenMessage(texts, failure.fault, failure.archive, failure.why)
                                    : QString::fromStdString(failure.why);
            archiveTrouble =
                failure.notKept > 0
                    ? texts.captions[Captions::RecordsNotKept].arg(failure.notKept).arg(archive, why)
                    : texts.captions[Captions::ArchiveFailed].arg(
                          worded ? why : archive + QStringLiteral(": ") + why);
            setStatus(StatusPanel::Message, archiveTrouble);
        });
    });
}

TForm1::~TForm1()
{
    // The worker may be waiting for a record job of this window: stop it while the window still exists.
    worker->stop();
    keeper.reset();             // writes what it holds; its failure report must not outlive the window
    gridModel->setLog(nullptr); // the log goes before the model, a child of this window
}

void TForm1::connectHandlers()
{
    connect(RadioButton1, &QRadioButton::toggled, this, guarded<bool>(this, [this](bool checked) {
                if (checked)
                    RadioButton1Click();
            }));
    connect(RadioButton2, &QRadioButton::toggled, this, guarded<bool>(this, [this](bool checked) {
                if (checked)
                    RadioButton2Click();
            }));
    connect(BitBtn1, &QPushButton::clicked, this, guarded(this, [this] { BitBtn1Click(); }));
    connect(N1, &QAction::triggered, this, guarded(this, [this] { N1Click(); }));
    connect(GroupBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { timingMenu->popup(GroupBox1->mapToGlobal(pos)); });
    connect(LabeledEdit1->edit(), &QWidget::customContextMenuRequested, this, &TForm1::iPopPopup);
    connect(GroupBox2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { serialMenu->popup(GroupBox2->mapToGlobal(pos)); });
    connect(communicationAction, &QAction::triggered, this, guarded(this, [this] { showTrafficMonitor(); }));
    connect(archiveAction, &QAction::triggered, this, [this] { showArchiveSettings(); });

    connect(list1, &QListWidget::itemChanged, this, guarded(this, [this] { list1ClickCheck(); }));
    connect(BitBtn3, &QPushButton::clicked, this, guarded(this, [this] { BitBtn3Click(); }));

    void (TForm1::*const sectorHandlers[kSectorBoxes])() = {
        &TForm1::chkSector1Click,  &TForm1::chkSector2Click,  &TForm1::chkSector3Click,
        &TForm1::chkSector4Click,  &TForm1::chkSector5Click,  &TForm1::chkSector6Click,
        &TForm1::chkSector7Click,  &TForm1::chkSector8Click,  &TForm1::chkSector9Click,
        &TForm1::chkSector10Click, &TForm1::chkSector11Click, &TForm1::chkSector12Click,
        &TForm1::chkSector13Click, &TForm1::chkSector14Click, &TForm1::chkSector15Click};
    for (int i = 0; i < kSectorBoxes; ++i) {
        auto handler = sectorHandlers[i];
        // Like the operator's click, a change made by the program runs the handler too.
        connect(chkSector[size_t(i)], &QCheckBox::toggled, this,
                guarded(this, [this, handler] { (this->*handler)(); }));
    }
    connect(chkEnergy, &QCheckBox::toggled, this, guarded(this, [this] { chkEnergyClick(); }));
    connect(d1, &QAction::triggered, this, guarded(this, [this] { d1Click(); }));
    connect(d2, &QAction::triggered, this, guarded(this, [this] { d2Click(); }));
    for (QWidget *w : {static_cast<QWidget *>(GroupBox3), static_cast<QWidget *>(list2),
                       static_cast<QWidget *>(chkEnergy)})
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &pos) { PopupMenu1->popup(w->mapToGlobal(pos)); });
    for (QCheckBox *box : chkSector)
        connect(box, &QWidget::customContextMenuRequested, this,
                [this, box](const QPoint &pos) { PopupMenu1->popup(box->mapToGlobal(pos)); });
    connect(iSwitchLed1, &TiSwitchLed::changed, this, guarded(this, [this] { iSwitchLed1Change(); }));

    connect(grid, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { PopupMenu2->popup(grid->viewport()->mapToGlobal(pos)); });
    connect(S1, &QAction::triggered, this, guarded(this, [this] { S1Click(); }));
    connect(Export1, &QAction::triggered, this, guarded(this, [this] { Export1Click(); }));
    connect(Chart1, &QAction::triggered, this, [this] { Chart1Click(); });
    connect(Report1, &QAction::triggered, this, [this] { Report1Click(); });
    connect(Archive1, &QAction::triggered, this, [this] { Archive1Click(); });
    connect(PopupMenu2, &QMenu::aboutToShow, this, [this] { offerReport(); });
}

void TForm1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shown && !event->spontaneous()) {
        shown = true;
        runGuarded(this, [this] { FormShow(); });
    }
}

bool TForm1::closeConfirmed()
{
    if (!recordsUnsaved && !iSwitchLed1->isActive() && !downloadPaused)
        return true;
    QMessageBox box(QMessageBox::Question, applicationTitle(), texts.messages[Messages::CloseUnsaved],
                    QMessageBox::Yes | QMessageBox::No, this);
    return box.exec() == QMessageBox::Yes;
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (!closeConfirmed()) {
        event->ignore();
        return;
    }
    const bool writeFailedBefore = settingsWriteFailed;
    if (runGuarded(this, [this] { FormClose(); })) {
        event->accept();
    } else if (settingsWriteFailed && writeFailedBefore) {
        // The operator has been told twice that the settings cannot be kept;
        // refusing again would leave no way out but killing the program.
        event->accept();
        QCoreApplication::quit();
    } else {
        event->ignore();
    }
}

void TForm1::FormShow()
{
    gsettings = std::make_unique<GSETTINGS>();
    fillSerialPortList();
    QDir().mkpath(fileLocations().dataDirectory);
    gsettings->load();
    gsettings->loadIpList(ipList, kHistorySize);

    const GSETTINGS::fields &values = gsettings->values;
    // Whatever the mode: a serial start must not leave 0 and 0 for a later Ethernet close to save.
    worker->setTimeout(values.timeout);
    worker->setPollDelay(values.pollDelay);
    if (values.mode == LinkMode::Tcp) {
        commMode = LinkMode::Tcp;
        LabeledEdit3->setText(QString::number(values.modbusId));
        LabeledEdit1->setText(values.ip);
        LabeledEdit2->setText(QString::number(values.tcpPort));
        RadioButton2->setChecked(true);
    } else {
        // Serial, also for a MODE that names no mode (a hand-edited file): the panel shows serial.
        commMode = LinkMode::Rtu;
        Adres_edit->setText(QString::number(values.modbusId));
        Com_Combo->setCurrentIndex(values.com >= 0 && values.com < Com_Combo->count() ? values.com : -1);
        RadioButton1->setChecked(true);
    }
    ApplyLanguage(qint16(values.lang));
    keepIn(values.archive, values.keepArchive);
}

void TForm1::keepIn(const QString &location, bool keep)
{
    gsettings->values.archive = location;
    gsettings->values.keepArchive = keep;
    keeper->setLocation(keep ? archiveLocation(location).toStdString() : "");
}

void TForm1::showArchiveSettings()
{
    // Made afresh, in the language of the moment.
    auto *dialog = new ArchiveDialog(texts, archiveLocation(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setValues(gsettings->values.archive, gsettings->values.keepArchive);
    connect(dialog, &QDialog::accepted, this, [this, dialog] { keepIn(dialog->location(), dialog->keep()); });
    dialog->open();
}

void TForm1::FormClose()
{
    // Only a refused write may let a later close through (closeEvent); a bad address never does.
    settingsWriteFailed = false;
    GSETTINGS::fields &values = gsettings->values;
    values.mode = commMode;
    if (commMode == LinkMode::Tcp) {
        values.modbusId = qint16(StrToInt(LabeledEdit3->text()));
        values.ip = LabeledEdit1->text();
        // Not the operator's address: a port box that does not convert keeps the port loaded.
        values.tcpPort = StrToIntDef(LabeledEdit2->text(), values.tcpPort);
        values.pollDelay = worker->settings().pollDelay;
        values.timeout = worker->settings().timeout;
    } else {
        values.modbusId = qint16(StrToInt(Adres_edit->text()));
        // A typed device path is no entry of the list: no index to keep.
        const int index = Com_Combo->currentIndex();
        values.com = qint16(index >= 0 && Com_Combo->itemText(index) == Com_Combo->currentText()
                                ? index
                                : Com_Combo->findText(Com_Combo->currentText(), Qt::MatchExactly));
    }
    settingsWriteFailed = true; // cleared below once every write went through
    gsettings->save();
    gsettings->saveIpList(ipList, kHistorySize);
    settingsWriteFailed = false;
    QCoreApplication::quit();
}

void TForm1::ApplyLanguage(qint16 lang)
{
    fillLanguageTexts(texts, lang);
    const auto &c = texts.captions;
    Bevel1->setToolTip(c[Captions::ModeHint]);
    GroupBox1->setToolTip(c[Captions::TimingsHint]);
    Label5->setText(c[Captions::DeviceInformation]);
    Panel2->setToolTip(c[Captions::ParametersHint]);
    GroupBox3->setToolTip(c[Captions::SectorsHint]);
    RadioButton1->setText(c[Captions::SerialPort]);
    RadioButton2->setText(c[Captions::Ethernet]);
    grid->setToolTip(c[Captions::GridHint]);
    CheckBox1->setText(c[Captions::EventLog]);
    LabeledEdit3->label()->setText(c[Captions::ModbusAddress]);
    BitBtn1->setText(c[Captions::Connect]);
    Label1->setText(c[Captions::SelectSectors]);
    BitBtn2->setText(c[Captions::PullRecords]);
    iSwitchLed1->setCaption(c[Captions::PullRecords]);
    chkNewOnly->setText(c[Captions::NewOnly]);
    Label2->setText(c[Captions::ChooseParameters]);
    LabeledEdit4->label()->setText(c[Captions::LogPeriod]);
    BitBtn3->setText(c[Captions::Apply]);
    Label3->setText(c[Captions::SaveToFileLabel]);
    Label4->setText(c[Captions::FileName]);
    BitBtn4->setText(c[Captions::Save]);
    setWindowTitle(c[Captions::Title] + kVersion);
    Adres_Label->setText(c[Captions::SerialAddress]);
    Baud_Label->setText(c[Captions::BaudRate]);
    Com_Label->setText(c[Captions::ComPort]);
    d1->setText(c[Captions::SelectAll]);
    d2->setText(c[Captions::UnselectAll]);
    S1->setText(c[Captions::SaveToFile]);
    Export1->setText(c[Captions::ExportMenu]);
    Chart1->setText(c[Captions::ChartMenu]);
    Report1->setText(c[Captions::ReportMenu]);
    Archive1->setText(c[Captions::ArchiveMenu]);
    N1->setText(c[Captions::Timings]);
    communicationAction->setText(TrafficMonitor::menuText(lang));
    archiveAction->setText(c[Captions::ArchiveSettings]);
    communicationAction->setData(lang); // for a monitor made later
    if (trafficMonitor)
        trafficMonitor->setLanguage(lang);
}

void TForm1::showTrafficMonitor()
{
    if (!trafficMonitor) {
        trafficMonitor = new TrafficMonitor(worker->traffic(), this);
        trafficMonitor->setLanguage(communicationAction->data().toInt());
    }
    trafficMonitor->show();
    trafficMonitor->raise();
    trafficMonitor->activateWindow();
}

void TForm1::showMessage(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, this);
    box.exec();
}

void TForm1::setStatus(StatusPanel panel, const QString &text)
{
    // Most texts repeat from record to record; an unchanged label costs nothing.
    QLabel *label = statusPanel[size_t(panel)];
    if (label->text() != text) {
        label->setText(text);
        // A panel is narrower than many of its texts.
        label->setToolTip(text);
    }
}
