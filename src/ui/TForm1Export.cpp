#include "ui/GridActions.h"
#include "ui/TForm1.h"

void TForm1::S1Click()
{
    if (saveGridToFile(this, sDialog, *gridModel))
        recordsUnsaved = false;
}

void TForm1::Export1Click()
{
    // The columns of the configuration the records were read with, whatever was applied since.
    if (exportGrid(this, sDialog, *gridModel, records.source()))
        recordsUnsaved = false;
}
