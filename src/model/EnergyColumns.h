#pragma once

#include "model/RegisterTable.h"

#include <string>
#include <vector>

// The energy log's header cells after "Record #", "Date" and "Time": the four counters, then the names
// of `names` quantities from the table's energy entries (empty without a table or past its entries).
std::vector<std::string> energyColumnNames(const DEVICE_REGISTER_TABLE *table, int names);
