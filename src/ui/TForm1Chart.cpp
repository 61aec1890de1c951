#include "ui/ChartWindow.h"
#include "ui/GridActions.h"
#include "ui/GridModel.h"
#include "ui/TForm1.h"

void TForm1::Chart1Click()
{
    if (!chartWindow) {
        chartWindow = new ChartWindow(*gridModel, texts, this);
        chartWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    showInFront(chartWindow);
}
