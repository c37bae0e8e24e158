#pragma once

// pel-tool: stored reflectograms on a PC. The commands read ".pel" files (or the export
// folders of the instrument's USB drive) and print or write what they find.

#include <QStringList>
#include <QTextStream>

namespace tool {

// Exit codes.
inline constexpr int kDone = 0;
inline constexpr int kSomeFilesFailed = 1; // the others were done
inline constexpr int kUsageError = 2;

// Runs one command; `arguments` leave out the program's name. Results go to `out`,
// complaints to `err`.
int RunPelTool(const QStringList& arguments, QTextStream& out, QTextStream& err);

// The commands' help text.
QString Usage();

} // namespace tool
