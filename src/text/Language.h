#pragma once

#include <QString>

#include <array>

// Indices of LANGUAGE::messages; the numbers are the tables' own and never change.
namespace Messages
{
enum Id : int {
    NotEnoughInput = 0,
    NoSector = 1,
    ConnectionFailed = 2,
    TooManyParameters = 3,
    ConfirmApply = 4,
    Applied = 5,
    LogPeriodRange = 6,
    CloseUnsaved = 7,
};
} // namespace Messages

// Indices of LANGUAGE::captions; gaps are captions no window shows.
namespace Captions
{
enum Id : int {
    SerialPort = 0,
    Ethernet = 1,
    HostIp = 2,
    HostPort = 3,
    ModbusAddress = 4,
    ChooseParameters = 8,
    LogPeriod = 9,
    Apply = 10,
    SaveToFileLabel = 11,
    Save = 12,
    Title = 13,
    Connect = 14,
    SelectSectors = 15,
    PullRecords = 16,
    FileName = 17,
    ComPort = 18,
    BaudRate = 19,
    SerialAddress = 20,
    Vendor = 21,
    Model = 22,
    SerialNumber = 23,
    Version = 24,
    EventLog = 25,
    Sector = 26,
    SelectAll = 27,
    UnselectAll = 28,
    ReadOk = 29,
    WriteOk = 30,
    ReadFailed = 31,
    WriteFailed = 32,
    RecordNo = 33,
    Date = 34,
    Time = 35,
    ReadingLog = 36,
    Pause = 37,
    SaveToFile = 38,
    ReadCompleted = 40,
    GridHint = 41,
    Timings = 42,
    TimeOut = 43,
    PollDelay = 44,
    ModeHint = 45,
    TimingsHint = 46,
    DeviceInformation = 47,
    ParametersHint = 48,
    SectorsHint = 49,
    Energy = 50,
    Connecting = 51,
    ReadingIdentity = 52,
    ReadingConfiguration = 53,
    ReadingCounts = 54,
    WritingConfiguration = 55,
    Cancel = 56,
    Paused = 57,
    ChartMenu = 60,
    ExportMenu = 61,
    ChartTitle = 62,
    SavePicture = 63,
    Minimum = 64,
    Maximum = 65,
    Average = 66,
    Parameter = 67,
    ChartHint = 68,
    ReportMenu = 69,
    ReportTitle = 70,
    ReportDay = 71,
    ReportWeek = 72,
    ReportMonth = 73,
    ReportBilling = 74,
    ReportRange = 75,
    ReportLimits = 76,
    ReportBands = 77,
    ReportSave = 78,
    ReportBillingDay = 79,
    NegativeCount = 84, // "%1": the area, "%2": the count
    ArchiveFailed = 85, // "%1": why
    ArchiveSettings = 86,
    ArchiveLocation = 87,
    KeepDownloads = 88,
    ArchiveDefault = 89, // "%1": the location used when none is given
    NewOnly = 90,
    NewOnlyNoArchive = 91, // "%1": why
    NewOnlyArchived = 92,  // "%1": how many
    NewOnlyCleared = 93,   // "%1": the area
    NewOnlyUnchecked = 94, // "%1": the area, "%2": why
    ArchiveMenu = 95,
    ArchiveTitle = 96,
    ArchiveLastDownload = 97,
    ArchiveArea = 98,
    ArchiveFrom = 99,
    ArchiveTo = 100,
    ArchiveShow = 101,
    ArchiveReading = 102,    // "%1": records read so far
    ArchiveShown = 103,      // "%1": the count, "%2" and "%3": the first and last time
    ArchiveUnreadable = 104, // "%1": why
    ArchiveEmpty = 105,
    ArchiveNoRecords = 106,
    ArchiveOpened = 107, // "%1": where
    ArchiveListing = 109,
    ArchiveNotKept = 110,
    RecordsNotKept = 111,    // "%1": how many, "%2": the archive, "%3": why
    NewOnlyGapsUnread = 112, // "%1": the area, "%2": why
    ArchiveUnclocked = 120,  // check box: records whose date and time are no valid clock
    ArchiveStop = 121,
    ArchiveStopped = 122,
    ArchiveRevealPassword = 135,
    ArchiveBadLocation = 136,  // "%1": the location
    ArchiveCannotOpen = 137,   // "%1": the location, "%2": why
    ArchiveNotAnArchive = 138, // "%1": the location
    ArchiveNewerSchema = 139,  // "%1": the location
    ArchiveNoSerial = 150,     // "%1": the name the archive keeps the analyzer under
};
} // namespace Captions

// The main window's texts: message box texts and all other captions, hints and labels.
// All empty until filled.
inline constexpr std::size_t kMessageSlots = 128;
inline constexpr std::size_t kCaptionSlots = 160;

struct LANGUAGE {
    std::array<QString, kMessageSlots> messages;
    std::array<QString, kCaptionSlots> captions;
};

// Fills the tables for lang 0 (Turkish) or 1 (English); any other value fills nothing.
// Entries no language uses stay as they are.
void fillLanguageTexts(LANGUAGE &texts, int lang);
