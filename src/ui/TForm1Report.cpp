#include "ui/GridActions.h"
#include "ui/GridModel.h"
#include "ui/ReportWindow.h"
#include "ui/TForm1.h"

#include <QMenu>
#include <QTimeZone>

void TForm1::Report1Click()
{
    // The window's analyzer clocks are taken to keep the host's zone, as its CSV and charts take them.
    openReport(reportWindow, *gridModel, records.source().identity.serial, QTimeZone::systemTimeZone(), texts,
               gsettings && gsettings->values.lang == TextLanguage::Turkish, this);
}

void TForm1::offerReport()
{
    Report1->setVisible(holdsEnergy(*gridModel));
}
