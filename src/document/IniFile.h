#pragma once

#include "document/IniSection.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>

// The state file image: UTF-16 LE text with a byte order mark, sections of
// "key=value" lines, kept in their order of first appearance.
class CIniFile {
public:
    CIniFile() = default;
    explicit CIniFile(const QString& path);

    // Clears the image and reads the file (the remembered path when none is given).
    // A file without the byte order mark reads as empty.
    bool Load(const QString& path = QString());
    // Writes the whole image, replacing the file only once it is completely written.
    bool Save(const QString& path = QString());

    // Parses text (the byte order mark included, when there is one) into the image.
    void Parse(const QString& text);
    // Parses a file's bytes as Load does: UTF-16 LE that must open with the byte order
    // mark (otherwise nothing is read); a stray odd byte at the end is ignored.
    void ParseBytes(const QByteArray& bytes);

    bool GetString(const QString& section, const QString& key, QString& text) const;
    bool GetInt(const QString& section, const QString& key, std::int32_t& value) const;
    bool SetString(const QString& section, const QString& key, const QString& text);
    void SetInt(const QString& section, const QString& key, std::int32_t value);

    const QString& GetPath() const { return path_; }
    const QStringList& GetSectionOrder() const { return sectionOrder_; }

private:
    void Clear();

    QString path_;
    QStringList sectionOrder_;
    QHash<QString, CIniSection> sections_;
};

// Leading blanks, an optional sign and the leading digits of `text`; 0 when there
// are none. Values beyond 32 bits saturate.
std::int32_t LeadingInteger(const QString& text);
