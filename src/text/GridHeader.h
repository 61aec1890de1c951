#pragma once

#include "model/RecordLog.h"

#include <QString>

#include <array>
#include <vector>

// The header row the window's grid shows over records of analyzer: recordHeaders ("Record #", "Date",
// "Time" in the chosen language), then each slot's label over its value's column for the sector logs (a
// slot the model does not offer stays empty), or the energy log's column names.
std::vector<QString> gridHeader(const RecordLog::Source &analyzer,
                                const std::array<QString, 3> &recordHeaders, bool energy);
