#pragma once

#include <string>

// "0A-0001": the area in two upper-case hex digits, the record in four, as the status bar and the
// command line name a record.
std::string recordPosition(int area, int index);
