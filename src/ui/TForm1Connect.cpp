#include "text/DeviceText.h"
#include "ui/GridModel.h"
#include "ui/TForm1.h"

#include "shell/Errors.h"
#include "shell/TForm3.h"
#include "widgets/TLabeledEdit.h"
#include "worker/AnalyzerSession.h"
#include "worker/comThread.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPortInfo>

namespace
{
constexpr int kNoSlot = 11;
constexpr int kEnergyLogNumber = kEnergyArea + 1;
} // namespace

bool TForm1::sameLink(const COMSETT &a, const COMSETT &b)
{
    if (a.mode != b.mode || a.slaveAddress != b.slaveAddress)
        return false;
    return a.mode == LinkMode::Tcp ? a.host == b.host && a.tcpPort == b.tcpPort
                                   : a.comPort == b.comPort && a.baudRate == b.baudRate;
}

void TForm1::fillSerialPortList()
{
    Com_Combo->clear();
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts())
        Com_Combo->addItem(port.systemLocation());
    // The first entry may be the machine's console: only the settings or the operator choose a port.
    Com_Combo->setCurrentIndex(-1);
}

void TForm1::RadioButton1Click()
{
    GroupBox2->show();
    GroupBox1->hide();
    if (worker->isConnected())
        worker->closeLink(LinkMode::Tcp);
    commMode = LinkMode::Rtu;
    leaveClosedLink();
}

void TForm1::RadioButton2Click()
{
    GroupBox2->hide();
    GroupBox1->show();
    commMode = LinkMode::Tcp;
    if (worker->isConnected())
        worker->closeLink(LinkMode::Rtu);
    leaveClosedLink();
}

void TForm1::leaveClosedLink()
{
    if (state != WindowState::NotConnected && !worker->isConnected())
        setWindowState(WindowState::NotConnected);
}

void TForm1::N1Click()
{
    Form3->show();
    Form3->raise();
}

void TForm1::iPopPopup(const QPoint &pos)
{
    iPop->clear();
    for (const QString &host : ipList) {
        if (!host.isEmpty())
            connect(iPop->addAction(host), &QAction::triggered, this,
                    [this, host] { LabeledEdit1->setText(host); });
    }
    if (!iPop->isEmpty())
        iPop->popup(LabeledEdit1->edit()->mapToGlobal(pos));
}

int TForm1::FindIpSlot(const QString &host) const
{
    for (int i = 0; i < kHistorySize; ++i) {
        if (ipList[i] == host)
            return kNoSlot;
        if (ipList[i].isEmpty())
            return i;
    }
    return kHistorySize - 1;
}

void TForm1::BitBtn1Click()
{
    endPausedDownloadFor(Captions::Connecting);
    clearRecords();
    recordsUnsaved = false;
    COMSETT settings = worker->settings();

    if (commMode == LinkMode::Rtu) {
        if (Com_Combo->currentText().isEmpty() || Adres_edit->text().isEmpty()) {
            showMessage(texts.messages[Messages::NotEnoughInput]);
            return;
        }
        settings.slaveAddress = StrToInt(Adres_edit->text());
        settings.baudRate = StrToInt(Baud_Combo->currentText());
        settings.comPort = QFile::encodeName(Com_Combo->currentText()).toStdString();
        settings.mode = commMode;
    } else {
        if (LabeledEdit1->text().isEmpty() || LabeledEdit3->text().isEmpty()) {
            showMessage(texts.messages[Messages::NotEnoughInput]);
            return;
        }
        settings.slaveAddress = StrToInt(LabeledEdit3->text());
        settings.host = LabeledEdit1->text().toStdString();
        settings.tcpPort = StrToInt(LabeledEdit2->text());
        settings.mode = commMode;
    }
    worker->setSettings(settings);

    const bool linked = transact(Captions::Connecting, [this] {
        // A link opened with other settings leads to another analyzer, or to none.
        if (worker->isConnected() && !sameLink(worker->settings(), linkOpenedWith)) {
            worker->closeLink(LinkMode::Tcp);
            worker->closeLink(LinkMode::Rtu);
        }
        return session->link();
    });
    if (!linked) {
        // Whatever was open before is closed now: no download may start on it.
        setWindowState(WindowState::NotConnected);
        Memo1->appendPlainText(QStringLiteral("!!!"));
        // The reason goes beside the message, not in the Error panel of record requests.
        setStatus(StatusPanel::Message, QString::fromStdString(worker->lastError()));
        showMessage(texts.messages[Messages::ConnectionFailed]);
        return;
    }
    linkOpenedWith = settings;

    if (transact(Captions::ReadingIdentity, [this] { return session->identify(); })) {
        setStatus(StatusPanel::Message, texts.captions[Captions::ReadOk]);
        Memo1->clear();
        const DEVICE_ID &id = session->facts().identity;
        for (const std::string *line : {&id.vendor, &id.serial, &id.model, &id.version})
            Memo1->appendPlainText(QLatin1Char(' ') + fromDevice(*line));
        // A model text that ends in no number is reported, and Connect stops there.
        modelCode = qint16(StrToInt(fromDevice(id.model).right(3)));
        // Only an Ethernet connection has a host of its own to remember.
        const QString host = QString::fromStdString(settings.host);
        if (commMode == LinkMode::Tcp && !host.isEmpty()) {
            const int slot = FindIpSlot(host);
            if (slot != kNoSlot)
                ipList[slot] = host;
        }
    } else {
        setStatus(StatusPanel::Message, texts.captions[Captions::ReadFailed]);
    }

    if (!transact(Captions::ReadingConfiguration, [this] { return session->configure(); })) {
        setStatus(StatusPanel::Message, texts.captions[Captions::ReadFailed]);
        return;
    }
    setStatus(StatusPanel::Message, texts.captions[Captions::ReadOk]);
    RebuildParameterView();

    const bool counted = transact(Captions::ReadingCounts, [this] { return session->count(); });
    setStatus(StatusPanel::Message, texts.captions[counted ? Captions::ReadOk : Captions::ReadFailed]);
    showSectorCaptions();
    setWindowState(WindowState::Connected);
}

void TForm1::showSectorCaptions()
{
    const QString sector = texts.captions[Captions::Sector];
    const QString arrow = QStringLiteral("  ->");
    list2->clear();
    for (int n = 1; n <= kSectorBoxes; ++n) {
        const QString count = QString::number(worker->recordCount(n - 1));
        chkSector[size_t(n - 1)]->setText(sector + ':' + QString::number(n) + arrow + count);
        // A blank before the colon of sectors 1 to 9 keeps the items aligned.
        const QString item = sector + (n < 10 ? QStringLiteral(" :") : QStringLiteral(":")) +
                             QString::number(n) + arrow + count;
        (new QListWidgetItem(item, list2))->setCheckState(Qt::Unchecked);
    }
    const QString energy = texts.captions[Captions::Energy] + ':' + QString::number(kEnergyLogNumber) +
                           arrow + QString::number(worker->recordCount(kEnergyArea));
    chkEnergy->setText(energy);
    (new QListWidgetItem(energy, list2))->setCheckState(Qt::Unchecked);
}
