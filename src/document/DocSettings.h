#pragma once

// The instrument's state as the section "KS-518" of "pel.ini" keeps it. The document
// binds its members here and calls these two functions.

#include "document/PELParam.h"

#include <array>
#include <cstdint>

class CIniFile;

inline constexpr int kSlotCount = 5;

struct DocumentSettings {
    std::array<CChannel, kSlotCount>& ch;
    std::uint8_t& viewMode; // difference switch, 1 off / 254 on
    std::uint8_t& bpMode;   // pair-mode switch, 1 off / 254 on
    CDOCSpeed& speed;
    CDOCAutoStop& autoStop;
    CDOCAdapter& adapter;
    CDOCFileName& fileName;
};

// Reads the keys in their fixed order and stops at the first missing one, leaving it
// and all later values as they were. True only when every key was found.
bool LoadSettings(const CIniFile& ini, const DocumentSettings& settings);

// Writes every key into the image (not to the disk); the result of the last write.
bool SaveSettings(CIniFile& ini, const DocumentSettings& settings);

extern const char* const kSettingsSection; // "KS-518"
