#pragma once

#include <array>
#include <cstdint>

// What the analyzer is on the wire: its registers, replies, log areas and line
// settings. The worker, the window, the command line and the simulator take
// them from here.

// Holding registers as 1-based references (the protocol address is one less).
inline constexpr int kRatioRef = 75; // CT ratio, then VT ratio in tenths
inline constexpr int kRatioWords = 2;
inline constexpr int kConfigRef = 306; // period, event flag, a word passed through, the codes
inline constexpr int kConfigWords = 31;
inline constexpr int kCountsRef = 1025; // the last sector holding records, then one count per area
inline constexpr int kCountsWords = 17;

// Reply data of Read Device Identification: later firmware answers 17 bytes more.
inline constexpr int kShortIdReply = 117;
inline constexpr int kLongIdReply = 134;

// The log: areas are the files of Read File Record.
inline constexpr int kSectorCount = 15;
inline constexpr int kAreaCount = kSectorCount + 1; // sectors 1..15 are areas 0..14
inline constexpr int kEnergyArea = kSectorCount;    // the energy log
inline constexpr int kRecordReplyLength = 67;
inline constexpr int kRecordWords = 28; // after the lengths, reference type, number, date and time
static_assert(11 + 2 * kRecordWords == kRecordReplyLength);

inline constexpr int kLogSlots = 28;          // parameter codes per log record
inline constexpr int16_t kEmptySlot = 255;    // parameter code of an unused log slot
inline constexpr int kSectorGridColumns = 31; // record number, date, time and the logged values
inline constexpr int kEnergyGridColumns = 19; // record number, date, time and the energy fields

// Serial line. The analyzer offers the first six rates; the faster two serve
// adapters and the simulator.
inline constexpr std::array<int, 6> kAnalyzerBaudRates = {1200, 2400, 4800, 9600, 19200, 38400};
inline constexpr std::array<int, 8> kLineBaudRates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
inline constexpr int kDefaultBaudRate = 9600;
inline constexpr int kFirstUnit = 1; // Modbus address
inline constexpr int kLastUnit = 247;

// Text language as the settings file's LANG keeps it.
namespace TextLanguage
{
inline constexpr int Turkish = 0;
inline constexpr int English = 1;
} // namespace TextLanguage
