#include "document/TextFile.h"

#include "platform/Files.h"

#include <QtEndian>

#include <vector>

bool CTextFile::Write(const QString& text) {
    if (file_ == nullptr)
        return false;
    std::vector<char16_t> units(static_cast<std::size_t>(text.size()));
    qToLittleEndian<char16_t>(text.utf16(), text.size(), units.data());
    return file_->Write(units.data(), units.size() * sizeof(char16_t));
}
