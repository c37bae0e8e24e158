#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class CTextFile;

// One section of the state file: keys in order of first insertion, compared exactly.
class CIniSection {
public:
    bool GetValue(const QString& key, QString& value) const;
    bool SetValue(const QString& key, const QString& value);
    // CR LF "[" name "]" CR LF, then one "key=value" CR LF line per key.
    bool Write(CTextFile& file, const QString& name) const;

private:
    QStringList keyOrder_;
    QHash<QString, QString> values_;
};
