#pragma once

#include "archive/Archive.h"
#include "model/RecordLog.h"

// The analyzer's identity for the archive: texts in UTF-8, the transformer ratios of its table set.
AnalyzerIdentity archiveIdentity(const RecordLog::Source &analyzer);
