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
#include <QStatusBar>
#include <QTableView>
#include <QTimer>

namespace
{
constexpr int kEnergyColumns = 19;
constexpr int kPausedCaption = 57;
} // namespace

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

void TForm1::setSectorBoxesEnabled(bool enabled)
{
    for (QCheckBox *box : chkSector)
        box->setEnabled(enabled);
    chkEnergy->setEnabled(enabled);
}

// While a download runs nothing may use the link but the worker: no Connect, no Apply, no change of
// mode (which would close the link under it). Paused, Connect and Apply end the download first; the
// mode stays until then, as a request in flight may still hold the link.
void TForm1::setDownloadLocks(bool locked)
{
    setSectorBoxesEnabled(!locked);
    BitBtn1->setEnabled(!locked);
    BitBtn3->setEnabled(!locked);
    RadioButton1->setEnabled(!locked);
    RadioButton2->setEnabled(!locked);
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
    if (!anySelected) {
        iSwitchLed1->setActive(false);
        // Switched off to pause after "Unselect All": the pause must still hold.
        worker->suspend();
        setLivePainting(true);
        return;
    }

    if (iSwitchLed1->isActive()) {
        // The same selection goes on with the paused pass; another one is a new download.
        if (downloadPaused && selected != downloadSelection)
            endPausedDownload();
        downloadPaused = false;
        setDownloadLocks(true);
        if (worker->readDone) {
            gridModel->clearCells();
            worker->recordCounter = 0;
        }
        S1->setEnabled(true);
        worker->selectAreas(selected);
        if (worker->totalToRead == 0) {
            iSwitchLed1->setActive(false);
            setDownloadLocks(false);
            return;
        }
        downloadSelection = selected;
        worker->readDone = false;
        list2->setEnabled(false);
        if (selected[kEnergyArea]) {
            worker->setEnergyHeaders();
            gridModel->setColumnCount(kEnergyColumns);
        } else {
            setStatus(0, texts.captions[29]);
            RebuildParameterView();
        }
        setLivePainting(false);
        worker->resume();
    } else {
        worker->suspend();
        setLivePainting(true);
        if (worker->recordCounter == worker->totalToRead)
            worker->readDone = true;
        if (!worker->readDone) {
            // The way out of a download that cannot finish: a new selection, Connect or Apply.
            downloadPaused = true;
            setSectorBoxesEnabled(true);
            BitBtn1->setEnabled(true);
            BitBtn3->setEnabled(true);
            setStatus(0, texts.captions[kPausedCaption]);
        }
    }
}

void TForm1::endPausedDownload()
{
    if (!downloadPaused)
        return;
    downloadPaused = false;
    worker->restartPass();
    worker->readDone = true;
    enableDownloadControls();
}
