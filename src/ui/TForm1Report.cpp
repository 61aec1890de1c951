#include "ui/GridModel.h"
#include "ui/ReportWindow.h"
#include "ui/TForm1.h"
#include "worker/comThread.h"

#include <QMenu>
#include <QTimeZone>

void TForm1::Report1Click()
{
    std::vector<EnergyReading> readings = energyReadingsOf(*gridModel);
    if (readings.empty())
        return;
    if (reportWindow)
        reportWindow->close();
    // The window's analyzer clocks are taken to keep the host's zone, as its CSV and charts take them.
    reportWindow =
        new ReportWindow(std::move(readings), worker->identity().serial, QTimeZone::systemTimeZone(), texts,
                         gsettings && gsettings->values.lang == 0, this);
    reportWindow->setAttribute(Qt::WA_DeleteOnClose);
    reportWindow->show();
    reportWindow->raise();
    reportWindow->activateWindow();
}

void TForm1::offerReport()
{
    bool energy = false;
    for (int row = 1; row < gridModel->rowCount() && !energy; ++row)
        energy = gridModel->rowArea(row) == 15;
    Report1->setVisible(energy);
}
