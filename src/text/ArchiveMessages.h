#pragma once

#include "archive/Archive.h"

#include <QString>

#include <string>

struct LANGUAGE;

// Why an archive could not be opened, in the operator's language: the location (its password masked)
// and what to do. error is Archive::open's text, shown where the fault has no words of its own.
QString archiveOpenMessage(const LANGUAGE &texts, ArchiveFault fault, const std::string &location,
                           const std::string &error);
// True when archiveOpenMessage has words of its own for fault; otherwise a caller may keep its own text
// around Archive::open's.
bool archiveFaultWorded(ArchiveFault fault);
