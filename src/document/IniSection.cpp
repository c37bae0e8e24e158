#include "document/IniSection.h"

#include "document/TextFile.h"

bool CIniSection::GetValue(const QString& key, QString& value) const {
    const auto found = values_.constFind(key);
    if (found == values_.constEnd())
        return false;
    value = *found;
    return true;
}

bool CIniSection::SetValue(const QString& key, const QString& value) {
    if (!values_.contains(key))
        keyOrder_.append(key);
    values_.insert(key, value);
    return true;
}

bool CIniSection::Write(CTextFile& file, const QString& name) const {
    if (!file.Write(QStringLiteral("\r\n[") + name + QStringLiteral("]\r\n")))
        return false;
    for (const QString& key : keyOrder_) {
        if (!file.Write(key + QLatin1Char('=') + values_.value(key) + QStringLiteral("\r\n")))
            return false;
    }
    return true;
}
