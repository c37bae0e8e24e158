#pragma once

// The value tables of the measurement parameters, as the instrument shows and sends
// them. Everything that the parameter classes step through lives here, once.

#include <array>
#include <cstdint>

namespace tables {

inline constexpr int kColumns = 500;  // chart window width in columns
inline constexpr int kSamples = 8000; // length of a full stored trace
inline constexpr int kBoardStartOffset = 38;

struct Range {
    const char* name;
    double metres;
    int minZoom;
    int maxZoom;
    int defaultPulse;
};

// Base samples of range r = 500 * 2^r; storage factor = 2^minZoom.
inline constexpr std::array<Range, 11> kRanges{{
    {"62.5 м", 62.5, 0, 0, 0},
    {"125 м", 125, 0, 1, 0},
    {"250 м", 250, 0, 2, 1},
    {"500 м", 500, 0, 3, 2},
    {"1000 м", 1000, 0, 4, 3},
    {"2000 м", 2000, 1, 5, 4},
    {"4000 м", 4000, 2, 6, 5},
    {"8000 м", 8000, 3, 7, 6},
    {"16000 м", 16000, 4, 8, 7},
    {"32000 м", 32000, 5, 9, 8},
    {"64000 м", 64000, 6, 10, 9},
}};
inline constexpr int kZoomCount = 11; // zoom index z: F = 2^z base samples per column

struct Pulse {
    int widthNs;
    const char* name;
};

inline constexpr std::array<Pulse, 12> kPulses{{
    {10, "10 нс"},
    {20, "20 нс"},
    {50, "50 нс"},
    {100, "100 нс"},
    {200, "200 нс"},
    {500, "500 нс"},
    {1000, "1 мкс"},
    {2000, "2 мкс"},
    {5000, "5 мкс"},
    {10000, "10 мкс"},
    {20000, "20 мкс"},
    {50000, "50 мкс"},
}};

struct Average {
    int count;
    const char* caption;
};

inline constexpr std::array<Average, 8> kAverages{{
    {1, "\nОсреднение\n\n1"},
    {2, "\nОсреднение\n\n2"},
    {4, "\nОсреднение\n\n4"},
    {8, "\nОсреднение\n\n8"},
    {16, "\nОсреднение\n\n16"},
    {32, "\nОсреднение\n\n32"},
    {64, "\nОсреднение\n\n64"},
    {128, "\nОсреднение\n\n128"},
}};

struct AutoStop {
    const char* name;
    int minutes; // 0: never
};

inline constexpr std::array<AutoStop, 6> kAutoStops{{
    {"Выкл", 0},
    {"2 мин.", 2},
    {"4 мин.", 4},
    {"8 мин.", 8},
    {"32 мин.", 32},
    {"64 мин.", 64},
}};

inline constexpr std::array<const char*, 2> kAdapters{"ES18E12-120 12V, 1.5A", "PSU40A-3 12V, 3.33A"};

// Velocity display mode 0 shows КУ, mode 1 shows V/2 = 300 / (2 * КУ).
struct VelocityMode {
    const char* label;
    const char* format;
    double editStep;
    double minimum;
    double maximum;
};

inline constexpr std::array<VelocityMode, 2> kVelocityModes{{
    {"КУ", "%.3f ", 0.001, 1.0, 3.0},
    {"V/2", "%.1f", 0.1, 50.0, 150.0},
}};

inline constexpr int kGainMinimum = 0;
inline constexpr int kGainMaximum = 255;
inline constexpr int kShiftMinimum = -200;
inline constexpr int kShiftMaximum = 200;
inline constexpr int kMatchingMinimum = 30;
inline constexpr int kMatchingMaximum = 500;

inline constexpr const char* kDefaultFileName = "РЕФЛ";
inline constexpr const char* kNoFile = "xxx";

} // namespace tables
