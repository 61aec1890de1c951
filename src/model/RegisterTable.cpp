#include "model/RegisterTable.h"

namespace
{

void define(PARAMETER_TABLE &table, int index, const char *name, const char *unit, double scale)
{
    // Moved in from a temporary: GCC 12 at -O3 reports a false -Wrestrict overlap in the char* assignment.
    table.name[index] = std::string(name);
    table.unit[index] = std::string(unit);
    table.scale[index] = scale;
}

// Three consecutive entries sharing unit and scale (the phases L1..L3).
void definePhases(PARAMETER_TABLE &table, int first, const char *const (&names)[3], const char *unit,
                  double scale)
{
    for (int k = 0; k < 3; ++k)
        define(table, first + k, names[k], unit, scale);
}

void buildParameters(PARAMETER_TABLE &t, double ct, double vt)
{
    const double volts = 0.1 * vt;
    const double amps = 0.001 * ct;
    const double power = ct * vt;
    const double extremeAmps = 0.1 * ct;

    definePhases(t, 0, {"VLN1", "VLN2", "VLN3"}, "V", volts);
    definePhases(t, 3, {"ILN1", "ILN2", "ILN3"}, "A", amps);
    define(t, 6, "T.ILN", "A", amps);
    definePhases(t, 7, {"WATTL1", "WATTL2", "WATTL3"}, "W", power);
    definePhases(t, 10, {"VArL1", "VArL2", "VArL3"}, "VAr", power);
    definePhases(t, 13, {"VA L1", "VA L2", "VA L3"}, "VA", power);
    definePhases(t, 16, {"PF L1", "PF L2", "PF L3"}, "", 0.001);
    definePhases(t, 19, {"COS L1", "COS L2", "COS L3"}, "", 0.001);
    definePhases(t, 22, {"VLL1", "VLL2", "VLL3"}, "V", volts);
    define(t, 25, "TVLN", "V", volts);
    define(t, 26, "TVLL", "V", volts);
    define(t, 27, "Hz.", "Hz", 0.01);
    define(t, 28, "TWATT", "W", power);
    define(t, 29, "TVAr", "VAr", power);
    define(t, 30, "TVA", "VA", power);
    definePhases(t, 31, {"THD V1", "THD V2", "THD V3"}, "%", 0.1);
    define(t, 34, "THDV3P", "%", 0.1);
    definePhases(t, 35, {"THD I1", "THD I2", "THD I3"}, "%", 0.1);
    define(t, 38, "THDI3P", "%", 0.1);
    definePhases(t, 39, {"V1 HI", "V2 HI", "V3 HI"}, "V", volts);
    definePhases(t, 42, {"V1 LO", "V2 LO", "V3 LO"}, "V", volts);
    // The analyzer labels its extreme and demand currents "I", not "A".
    definePhases(t, 45, {"I1 HI", "I2 HI", "I3 HI"}, "I", extremeAmps);
    definePhases(t, 48, {"I1 LO", "I2 LO", "I3 LO"}, "I", extremeAmps);
    definePhases(t, 51, {"I1 DEM.", "I2 DEM.", "I3 DEM."}, "I", extremeAmps);
    define(t, 54, "TI HI.", "I", extremeAmps);
    define(t, 55, "TI LO.", "I", extremeAmps);
    define(t, 56, "TI DEM.", "I", extremeAmps);
    define(t, 57, "TW DEM.", "W", power);
    define(t, 58, "TVAr DEM.", "VAr", power);
    define(t, 59, "TVA DEM.", "VA", power);
    define(t, 60, "kWh.Imp.", "kWh", 1);
    define(t, 61, "--", "-", 10000);
    define(t, 62, "kWh.Ex.", "kWh", 1);
    define(t, 63, "--", "-", 10000);
    define(t, 64, "kVArh(ind)", "kVArhL", 1);
    define(t, 65, "--", "-", 10000);
    define(t, 66, "kVArh(Cap)", "kVArhC", 1);
    define(t, 67, "--", "-", 10000);
    define(t, 68, "Hour", "h", 1);
    define(t, 69, "Minute.", "m", 1);
    define(t, 70, "Second", "s", 1);
    define(t, 71, "Day", "day", 1);
    define(t, 72, "Month", "month", 1);
    define(t, 73, "Year", "year", 1);
    define(t, 74, "CT", "", 1);
    define(t, 75, "VT", "", 0.1);
    define(t, 76, "IO Stat", "", 1);
    define(t, 77, "Total PF", "", 0.001);
    define(t, 78, "In", "A", amps);
}

void buildEnergy(PARAMETER_TABLE &t, double ct, double vt)
{
    const double extremeAmps = 0.1 * ct;
    const double power = ct * vt;

    define(t, 0, "kWh Lo.", "kWh", 1);
    define(t, 1, "kWh Hi.", "kWh", 10000);
    define(t, 2, "kWh_Ex Lo.", "kWh", 1);
    define(t, 3, "kWh_Ex Hi.", "kWh", 10000);
    define(t, 4, "kVArhL Lo.", "kVArhL", 1);
    define(t, 5, "kVArhL Hi.", "kVArhL", 10000);
    define(t, 6, "kVArhC Lo.", "kVArhC", 1);
    define(t, 7, "kVArhC Hi.", "kVArhC", 10000);
    definePhases(t, 8, {"V1 HI", "V2 HI", "V3 HI"}, "V", 0.1 * vt);
    definePhases(t, 11, {"I1 HI", "I2 HI", "I3 HI"}, "I", extremeAmps);
    define(t, 14, "TI HI.", "I", extremeAmps);
    define(t, 15, "TI LO.", "I", extremeAmps);
    define(t, 16, "TI DEM.", "I", extremeAmps);
    define(t, 17, "TW DEM.", "W", power);
    define(t, 18, "TVAr DEM.", "VAr", power);
    define(t, 19, "TVA DEM.", "VA", power);
    define(t, 20, "Hz.", "Hz", 0.01);
    define(t, 21, "Total PF", "", 0.001);
    define(t, 22, "CT", "", 1);
    define(t, 23, "VT", "", 0.1);
}

void numberEntries(PARAMETER_TABLE &table)
{
    for (int i = 0; i < kTableEntries; ++i)
        table.code[i] = static_cast<int16_t>(i);
}

} // namespace

DEVICE_REGISTER_TABLE::DEVICE_REGISTER_TABLE(double ctRatio, double vtRatio) : ct(ctRatio), vt(vtRatio)
{
    numberEntries(regTable);
    numberEntries(energyTable);
    buildParameters(regTable, ct, vt);
    buildEnergy(energyTable, ct, vt);
}
