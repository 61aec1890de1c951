#include "model/EnergyColumns.h"

namespace
{

constexpr int kEnergyNamesFrom = 8; // energy words 8.. follow the counters
constexpr const char *kEnergyCounterHeaders[] = {"kW/h.", "kW/h.Ex.", "kVAr/h. (L)", "kVAr/h. (C)"};

} // namespace

std::vector<std::string> energyColumnNames(const DEVICE_REGISTER_TABLE *table, int names)
{
    std::vector<std::string> cells(std::begin(kEnergyCounterHeaders), std::end(kEnergyCounterHeaders));
    for (int i = 0; i < names; ++i) {
        const int entry = kEnergyNamesFrom + i;
        cells.push_back(table && entry < kTableEntries ? table->energyTable.name[entry] : std::string());
    }
    return cells;
}
