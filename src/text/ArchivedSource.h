#pragma once

#include "archive/Archive.h"
#include "model/RecordLog.h"

// The analyzer as the archive keeps it, for records of the configuration codes; texts back in the
// device's code page. The model code is the caller's to set (the worker reads it from the model text).
RecordLog::Source archivedSource(const AnalyzerIdentity &analyzer,
                                 const std::array<int16_t, kLogSlots> &codes);
