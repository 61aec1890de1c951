#pragma once

#include "archive/Archive.h"
#include "model/RecordLog.h"

// The analyzer's identity for the archive: texts in UTF-8, the transformer ratios of its table set, and
// as serial the key its records are kept under in archive (analyzerKey), which the window and the
// command line share.
AnalyzerIdentity archiveIdentity(const RecordLog::Source &analyzer, Archive &archive);
// The same before any archive is asked: the serial, or the link when the identity gives none.
AnalyzerIdentity plainIdentity(const RecordLog::Source &analyzer);
