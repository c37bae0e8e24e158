// The velocity-factor table file: line decoding, record reading in both display modes, the
// value parser, and writing the records back.
#include "library/KUListCtrl.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QStringList lines = ku_table::DecodeLines(bytes);
    for (const QString& line : lines)
        ku_table::ParseValue(line);
    // Encoding the lines and decoding them again gives as many lines (a carriage return at
    // a line's end is dropped by design, so the texts may differ).
    if (ku_table::DecodeLines(ku_table::EncodeLines(lines)).size() != lines.size())
        std::abort();

    for (int mode = 0; mode <= 1; ++mode) {
        const std::vector<ku_table::Record> records = ku_table::ReadRecords(bytes, mode);
        for (const ku_table::Record& record : records)
            ku_table::DisplayedValue(ku_table::StoredKU(record.value, mode), mode);
        const QByteArray written = ku_table::WriteRecords(records, mode);
        if (ku_table::ReadRecords(written, mode).size() != records.size())
            std::abort();
    }
    return 0;
}
