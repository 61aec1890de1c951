#pragma once

#include <QString>

#include <array>

// The main window's texts: message box texts and all other captions, hints and labels.
// All empty until filled.
struct LANGUAGE {
    std::array<QString, 128> messages;
    std::array<QString, 128> captions;
};

// Fills the tables for lang 0 (Turkish) or 1 (English); any other value fills nothing.
// Entries no language uses stay as they are.
void fillLanguageTexts(LANGUAGE &texts, int lang);
