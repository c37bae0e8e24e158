#pragma once

// The list controls of the instrument are tables driven from the keypad: nothing is
// edited, clicked into or chosen by Qt; the views move the current row themselves.

#include <QTableWidget>

#include <cstdint>

namespace keypad_table {

// Extended styles a hosting view asks for.
inline constexpr std::uint32_t kGridLines = 0x01;
inline constexpr std::uint32_t kFullRowSelect = 0x20;

// One selected row at most, no editing, whole-row scrolling, a one-pixel frame, fixed
// unclickable column headers and no row header.
void SetUp(QTableWidget& table);
void ApplyExtendedStyle(QTableWidget& table, std::uint32_t style);
void SetRowHeight(QTableWidget& table, int pixels);

} // namespace keypad_table
