#include "text/DeviceText.h"
#include "ui/GridModel.h"
#include "ui/TForm1.h"

#include "shell/Errors.h"
#include "shell/TForm3.h"
#include "shell/TLabeledEdit.h"
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
constexpr int kEnergyLogNumber = 16;
} // namespace

void TForm1::fillSerialPortList()
{
    Com_Combo->clear();
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts())
        Com_Combo->addItem(port.systemLocation());
}

void TForm1::RadioButton1Click()
{
    GroupBox2->show();
    GroupBox1->hide();
    if (worker->isConnected())
        worker->closeLink(0);
    commMode = 1;
}

void TForm1::RadioButton2Click()
{
    GroupBox2->hide();
    GroupBox1->show();
    commMode = 0;
    if (worker->isConnected())
        worker->closeLink(1);
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
    gridModel->clearCells();
    std::vector<std::string> names(kParameterCount);
    COMSETT &settings = worker->settings;

    if (commMode == 1) {
        if (Com_Combo->currentText().isEmpty() || Adres_edit->text().isEmpty()) {
            showMessage(texts.messages[0]);
            return;
        }
        settings.slaveAddress = StrToInt(Adres_edit->text());
        settings.baudRate = StrToInt(Baud_Combo->currentText());
        settings.comPort = QFile::encodeName(Com_Combo->currentText()).toStdString();
        settings.mode = commMode;
    } else {
        if (LabeledEdit1->text().isEmpty() || LabeledEdit3->text().isEmpty()) {
            showMessage(texts.messages[0]);
            return;
        }
        settings.slaveAddress = StrToInt(LabeledEdit3->text());
        settings.host = LabeledEdit1->text().toStdString();
        settings.tcpPort = StrToInt(LabeledEdit2->text());
        settings.mode = commMode;
    }

    if (!worker->isConnected() && !worker->connect()) {
        Memo1->appendPlainText(QStringLiteral("!!!"));
        showMessage(texts.messages[2]);
        return;
    }

    if (worker->readDeviceId()) {
        setStatus(0, texts.captions[29]);
        Memo1->clear();
        const DEVICE_ID &id = worker->deviceId;
        for (const std::string *line : {&id.vendor, &id.serial, &id.model, &id.version})
            Memo1->appendPlainText(QLatin1Char(' ') + fromDevice(*line));
        modelCode = qint16(StrToInt(fromDevice(id.model).right(3)));
        // Only an Ethernet connection has a host of its own to remember.
        const QString host = QString::fromStdString(settings.host);
        if (commMode == 0 && !host.isEmpty()) {
            const int slot = FindIpSlot(host);
            if (slot != kNoSlot)
                ipList[slot] = host;
        }
    } else {
        setStatus(0, texts.captions[31]);
    }

    if (!worker->readConfiguration(modelCode, names)) {
        setStatus(0, texts.captions[31]);
        return;
    }
    setStatus(0, texts.captions[29]);
    RebuildParameterView();

    setStatus(0, texts.captions[worker->readAreaCounts() ? 29 : 31]);
    showSectorCaptions();
    unlockAfterConnect();
}

void TForm1::showSectorCaptions()
{
    const QString sector = texts.captions[26];
    const QString arrow = QStringLiteral("  ->");
    list2->clear();
    for (int n = 1; n <= kSectorBoxes; ++n) {
        const QString count = QString::number(worker->sectorCount[size_t(n - 1)]);
        chkSector[size_t(n - 1)]->setText(sector + ':' + QString::number(n) + arrow + count);
        // A blank before the colon of sectors 1 to 9 keeps the items aligned.
        const QString item = sector + (n < 10 ? QStringLiteral(" :") : QStringLiteral(":")) +
                             QString::number(n) + arrow + count;
        (new QListWidgetItem(item, list2))->setCheckState(Qt::Unchecked);
    }
    const QString energy = texts.captions[50] + ':' + QString::number(kEnergyLogNumber) + arrow +
                           QString::number(worker->sectorCount[kEnergyArea]);
    chkEnergy->setText(energy);
    (new QListWidgetItem(energy, list2))->setCheckState(Qt::Unchecked);
}

void TForm1::unlockAfterConnect()
{
    for (QCheckBox *box : chkSector)
        box->show();
    chkEnergy->show();
    d1->setEnabled(true);
    d2->setEnabled(true);
    BitBtn3->setEnabled(true);
    BitBtn2->setEnabled(true);
    BitBtn4->setEnabled(true);
}
