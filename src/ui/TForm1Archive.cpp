#include "ui/ArchiveWindow.h"
#include "ui/GridActions.h"
#include "ui/TForm1.h"

#include "shell/Startup.h"

void TForm1::Archive1Click()
{
    // Where the downloads are kept, also while keeping is off: what was kept before is still there.
    const QString location = archiveLocation(gsettings->values.archive);
    if (archiveWindow && archiveWindow->archive() != location) {
        // Deleted later, so the pointer would still hold it: a window on the new location now.
        archiveWindow->close();
        archiveWindow = nullptr;
    }
    if (archiveWindow) {
        archiveWindow->reload(); // what was kept since it was opened
    } else {
        archiveWindow =
            new ArchiveWindow(location, texts, gsettings->values.lang == TextLanguage::Turkish, this);
        archiveWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    showInFront(archiveWindow);
}
