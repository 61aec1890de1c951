#pragma once

#include "model/RegisterTable.h"

#include <array>
#include <string_view>

// Texts of the parameter checklist before any analyzer has been read,
// "0.VLN1" to "78.In".
extern const std::array<std::string_view, kParameterCount> kInitialParameterLabels;
