#include "document/IniFile.h"

#include "document/TextFile.h"
#include "platform/Files.h"

#include <QtEndian>

#include <algorithm>
#include <limits>

namespace {

constexpr char16_t kByteOrderMark = 0xFEFF;

bool IsAsciiLetterOrDigit(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

bool IsLineEnd(QChar c) {
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

} // namespace

std::int32_t LeadingInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > limit)
            value = limit;
    }
    if (negative)
        return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(std::min(value, limit - 1));
}

CIniFile::CIniFile(const QString& path) {
    Load(path);
}

void CIniFile::Clear() {
    sectionOrder_.clear();
    sections_.clear();
}

bool CIniFile::Load(const QString& path) {
    Clear();
    if (!path.isEmpty())
        path_ = path;
    QByteArray bytes;
    if (path_.isEmpty() || !platform::ReadWholeFile(path_, bytes))
        return false;
    ParseBytes(bytes);
    return true;
}

void CIniFile::ParseBytes(const QByteArray& bytes) {
    const qsizetype characters = bytes.size() / 2;
    if (characters > 0 && qFromLittleEndian<char16_t>(bytes.constData()) == kByteOrderMark) {
        QString text(characters, Qt::Uninitialized);
        qFromLittleEndian<char16_t>(bytes.constData(), characters, text.data());
        Parse(text);
    }
}

void CIniFile::Parse(const QString& text) {
    enum State { Start, SectionName, BetweenEntries, Key, AfterEquals, Value };
    State state = Start;
    qsizetype mark = 0;
    QString section;
    QString key;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        switch (state) {
        case Start:
            if (c == QLatin1Char('[')) {
                mark = i + 1;
                state = SectionName;
            }
            break;
        case SectionName:
            if (c == QLatin1Char(']')) {
                section = text.mid(mark, i - mark);
                sectionOrder_.append(section);
                sections_[section]; // a section appears even with no keys
                state = BetweenEntries;
            }
            break;
        case BetweenEntries:
            if (c == QLatin1Char('[')) {
                mark = i + 1;
                state = SectionName;
            } else if (IsAsciiLetterOrDigit(c)) {
                mark = i;
                state = Key;
            }
            break;
        case Key:
            if (c == QLatin1Char('=')) {
                key = text.mid(mark, i - mark);
                state = AfterEquals;
            }
            break;
        case AfterEquals:
            if (IsLineEnd(c)) {
                SetString(section, key, QString());
                state = BetweenEntries;
            } else if (c != QLatin1Char(' ') && c != QLatin1Char('\t')) {
                mark = i;
                state = Value;
            }
            break;
        case Value:
            if (IsLineEnd(c)) {
                SetString(section, key, text.mid(mark, i - mark));
                state = BetweenEntries;
            }
            break;
        }
    }
    if (state == Value)
        SetString(section, key, text.mid(mark));
}

bool CIniFile::Save(const QString& path) {
    if (!path.isEmpty())
        path_ = path;
    if (path_.isEmpty())
        return false;
    platform::AtomicFile file;
    if (!file.Open(path_))
        return false;
    CTextFile writer(&file);
    bool ok = writer.Write(QString(QChar(kByteOrderMark)));
    for (const QString& name : sectionOrder_) {
        if (!ok)
            break;
        ok = sections_[name].Write(writer, name);
    }
    return ok && file.Commit();
}

bool CIniFile::GetString(const QString& section, const QString& key, QString& text) const {
    const auto found = sections_.constFind(section);
    return found != sections_.constEnd() && found->GetValue(key, text);
}

bool CIniFile::GetInt(const QString& section, const QString& key, std::int32_t& value) const {
    QString text;
    if (!GetString(section, key, text))
        return false;
    value = LeadingInteger(text);
    return true;
}

bool CIniFile::SetString(const QString& section, const QString& key, const QString& text) {
    if (!sections_.contains(section))
        sectionOrder_.append(section);
    return sections_[section].SetValue(key, text);
}

void CIniFile::SetInt(const QString& section, const QString& key, std::int32_t value) {
    SetString(section, key, QString::number(value));
}
