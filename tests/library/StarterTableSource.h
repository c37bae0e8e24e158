#pragma once

// The readable source of the starter velocity library (data/tableku.txt) and the table
// file made from it. A line starting with '#' is a comment and a blank line is skipped;
// every other line is a КУ with three decimals, one or more blanks, and the brand (the
// rest of the line, which neither starts nor ends with a blank).

#include "library/KUListCtrl.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace starter_table {

// The records of the source in order, each value as the list shows a КУ ("%.3f ").
// False, with the line and what is wrong in `error`, on the first line that is not a
// record or whose КУ is outside 1.000..3.000.
bool ParseSource(const QString& text, std::vector<ku_table::Record>& records, QString& error);

// The table file of the records, written by the list's own writer in КУ display mode.
QByteArray TableImage(const std::vector<ku_table::Record>& records);

} // namespace starter_table
