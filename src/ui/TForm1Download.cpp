#include "shell/Errors.h"
#include "shell/GSETTINGS.h"
#include "ui/GridModel.h"
#include "ui/GridViewModel.h"
#include "ui/TForm1.h"

#include "widgets/TiSwitchLed.h"
#include "worker/comThread.h"

#include <QAction>
#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStringList>
#include <QTableView>
#include <QTimer>

void TForm1::sectorClicked(int box)
{
    if (chkSector[size_t(box)]->isChecked())
        chkEnergy->setChecked(false);
}

void TForm1::chkSector1Click()
{
    sectorClicked(0);
}
void TForm1::chkSector2Click()
{
    sectorClicked(1);
}
void TForm1::chkSector3Click()
{
    sectorClicked(2);
}
void TForm1::chkSector4Click()
{
    sectorClicked(3);
}
void TForm1::chkSector5Click()
{
    sectorClicked(4);
}
void TForm1::chkSector6Click()
{
    sectorClicked(5);
}
void TForm1::chkSector7Click()
{
    sectorClicked(6);
}
void TForm1::chkSector8Click()
{
    sectorClicked(7);
}
void TForm1::chkSector9Click()
{
    sectorClicked(8);
}
void TForm1::chkSector10Click()
{
    sectorClicked(9);
}
void TForm1::chkSector11Click()
{
    sectorClicked(10);
}
void TForm1::chkSector12Click()
{
    sectorClicked(11);
}
void TForm1::chkSector13Click()
{
    sectorClicked(12);
}
void TForm1::chkSector14Click()
{
    sectorClicked(13);
}
void TForm1::chkSector15Click()
{
    sectorClicked(14);
}

void TForm1::chkEnergyClick()
{
    if (!chkEnergy->isChecked())
        return;
    for (QCheckBox *box : chkSector)
        box->setChecked(false);
}

void TForm1::d1Click()
{
    if (list2->count() == 0)
        return;
    for (QCheckBox *box : chkSector)
        box->setChecked(true);
}

void TForm1::d2Click()
{
    if (list2->count() == 0)
        return;
    for (QCheckBox *box : chkSector)
        box->setChecked(false);
}

// While a download runs nothing may use the link but the worker: no Connect, no Apply, no change of
// mode (which would close the link under it). Paused, Connect and Apply end the download first; the
// mode stays until then, as a request in flight may still hold the link.
void TForm1::setWindowState(WindowState next)
{
    state = next;
    const bool connected = next != WindowState::NotConnected;
    const bool downloading = next == WindowState::Downloading;
    const bool paused = next == WindowState::Paused;
    BitBtn1->setEnabled(!downloading);
    RadioButton1->setEnabled(!downloading && !paused);
    RadioButton2->setEnabled(!downloading && !paused);
    BitBtn3->setEnabled(connected && !downloading);
    BitBtn4->setEnabled(connected);
    for (QCheckBox *box : chkSector) {
        box->setEnabled(!downloading);
        box->setVisible(connected);
    }
    chkEnergy->setEnabled(!downloading);
    chkEnergy->setVisible(connected);
    chkNewOnly->setEnabled(!downloading);
    chkNewOnly->setVisible(connected);
    list2->setEnabled(!downloading && !paused);
    d1->setEnabled(connected);
    d2->setEnabled(connected);
    BitBtn2->setEnabled(connected);
    // The grid's other uses are there when saving is.
    for (QAction *action : {S1, Export1, Chart1, Report1})
        action->setEnabled(saveOffered);
}

void TForm1::setLivePainting(bool live)
{
    if (live == !downloadRepaint->isActive())
        return;
    gridView->setBatching(!live);
    StatusBar1->setUpdatesEnabled(live);
    if (live) {
        downloadRepaint->stop();
        showCurrentRow();
    } else {
        downloadRepaint->start();
    }
}

void TForm1::repaintDownloadView()
{
    gridView->flush();
    showCurrentRow();
    StatusBar1->setUpdatesEnabled(true);
    StatusBar1->repaint();
    StatusBar1->setUpdatesEnabled(false);
}

void TForm1::iSwitchLed1Change()
{
    std::array<bool, kAreaCount> selected{};
    bool anySelected = false;
    for (int k = 0; k < list2->count(); ++k) {
        const bool checked = k < kSectorBoxes ? chkSector[size_t(k)]->isChecked() : chkEnergy->isChecked();
        list2->item(k)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
        if (k < kAreaCount)
            selected[size_t(k)] = checked;
        anySelected = anySelected || checked;
    }
    if (!anySelected && iSwitchLed1->isActive()) {
        // Nothing to download: the switch springs back, and this handler runs again for the switch-off.
        iSwitchLed1->setActive(false);
        return;
    }

    if (iSwitchLed1->isActive()) {
        // The same selection goes on with the paused pass; another one is a new download.
        if (downloadPaused && selected != downloadSelection)
            endPausedDownload();
        const bool resumed = downloadPaused;
        downloadPaused = false;
        if (worker->completed()) {
            clearRecords();
            archiveTrouble.clear();
        }
        const DEVICE_REGISTER_TABLE *table = worker->registerTable();
        records.setSource({worker->identity(), worker->configuration(), modelCode,
                           table ? table->ctRatio() : 1.0, table ? table->vtRatio() : 1.0,
                           linkName(worker->settings())});
        saveOffered = true;
        if (!resumed) { // a resumed pass goes on with the selection it has, and its note stays
            worker->selectAreas(selected);
            unreadAreas = negativeCountText(selected);
            // The archive tells such an analyzer by its link: the operator should know.
            const RecordLog::Source &source = records.source();
            if (source.identity.serial.empty() && (gsettings->values.keepArchive || chkNewOnly->isChecked()))
                unreadAreas +=
                    QString(unreadAreas.isEmpty() ? "" : " ") +
                    texts.captions[Captions::ArchiveNoSerial].arg(QString::fromStdString(source.link));
        }
        if (!resumed && chkNewOnly->isChecked()) {
            QString note;
            try {
                note = narrowToNewRecords();
            } catch (const EPullrecAbort &) {
                // Cancelled with the link closed: nothing starts, and no switch-off handling runs.
                const QSignalBlocker quiet(iSwitchLed1);
                iSwitchLed1->setActive(false);
                throw;
            }
            unreadAreas += QString(unreadAreas.isEmpty() || note.isEmpty() ? "" : " ") + note;
        }
        if (worker->recordsToRead() == 0) {
            iSwitchLed1->setActive(false);
            setWindowState(state == WindowState::Paused ? WindowState::Completed : state);
            if (!unreadAreas.isEmpty())
                setStatus(StatusPanel::Message, unreadAreas);
            return;
        }
        downloadSelection = selected;
        setWindowState(WindowState::Downloading);
        if (selected[kEnergyArea]) {
            worker->setEnergyHeaders();
            gridModel->setColumnCount(kEnergyGridColumns);
        } else {
            setStatus(StatusPanel::Message, texts.captions[Captions::ReadOk]);
            RebuildParameterView();
        }
        if (!unreadAreas.isEmpty())
            setStatus(StatusPanel::Message, unreadAreas);
        setLivePainting(false);
        worker->startDownload();
    } else {
        const bool complete = worker->pauseDownload();
        setLivePainting(true);
        if (!complete) {
            // The way out of a download that cannot finish: a new selection, Connect or Apply.
            downloadPaused = true;
            setWindowState(WindowState::Paused);
            setStatus(StatusPanel::Message, texts.captions[Captions::Paused]);
        }
    }
}

// A negative count reads nothing: the count register is signed, and the analyzer's is out of range.
QString TForm1::negativeCountText(const std::array<bool, 16> &selected) const
{
    QStringList parts;
    for (int area = 0; area < kAreaCount; ++area) {
        const int count = worker->recordCount(area);
        if (!selected[size_t(area)] || count >= 0)
            continue;
        parts << texts.captions[Captions::NegativeCount].arg(areaText(area)).arg(count);
    }
    return parts.join(' ');
}

QString TForm1::areaText(int area) const
{
    return area == kEnergyArea ? texts.captions[Captions::Energy].trimmed()
                               : texts.captions[Captions::Sector] + ' ' + QString::number(area + 1);
}

void TForm1::endPausedDownload()
{
    if (!downloadPaused)
        return;
    downloadPaused = false;
    worker->endDownload();
    setWindowState(WindowState::Completed);
}

void TForm1::endPausedDownloadFor(Captions::Id step)
{
    endPausedDownload();
    if (worker->requestInFlight())
        transact(step, [this] {
            worker->waitForNoRequest();
            return true;
        });
}
