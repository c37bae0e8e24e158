#include "document/DocSettings.h"

#include "document/IniFile.h"

#include <algorithm>
#include <functional>
#include <limits>

const char* const kSettingsSection = "KS-518";

namespace {

constexpr std::int32_t kShiftOffset = 1000;
constexpr std::int32_t kStateShown = 254;
constexpr std::int32_t kStateHidden = 1;

QString ShiftKey(int slot) {
    return QStringLiteral("ch[%1].shift").arg(slot);
}

// Reads the keys one after the other until the first one that is missing.
class KeyReader {
public:
    explicit KeyReader(const CIniFile& ini) : ini_(ini) {}

    bool Int(const QString& key, const std::function<void(std::int32_t)>& apply) {
        std::int32_t value = 0;
        complete_ = complete_ && ini_.GetInt(QString::fromLatin1(kSettingsSection), key, value);
        if (complete_)
            apply(value);
        return complete_;
    }

    bool Text(const QString& key, const std::function<void(const QString&)>& apply) {
        QString value;
        complete_ = complete_ && ini_.GetString(QString::fromLatin1(kSettingsSection), key, value);
        if (complete_)
            apply(value);
        return complete_;
    }

    bool Complete() const { return complete_; }

private:
    const CIniFile& ini_;
    bool complete_ = true;
};

// The display offset a stored shift value stands for. The file may hold anything: a
// value that saturated at the smallest integer must not overflow on the way, so the
// difference is taken in 64 bits and only an offset the parameter can hold comes back.
std::int32_t ShiftFromStored(std::int32_t stored) {
    const std::int64_t shift = std::int64_t{stored} - kShiftOffset;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(shift, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

// A line is either shown or present but hidden; a stored 0 (or anything unknown)
// comes back as hidden.
std::int32_t LineState(std::int32_t stored) {
    return stored == kStateShown ? kStateShown : kStateHidden;
}

} // namespace

bool LoadSettings(const CIniFile& ini, const DocumentSettings& settings) {
    auto& ch = settings.ch;
    CDOCScale& scale = ch[0].scale;
    KeyReader read(ini);

    read.Int(QStringLiteral("ch[0].state"), [&](std::int32_t v) { ch[0].state = LineState(v); });
    read.Int(QStringLiteral("ch[1].state"), [&](std::int32_t v) { ch[1].state = LineState(v); });
    for (int slot = 0; slot < kSlotCount; ++slot) {
        read.Int(ShiftKey(slot),
                 [&](std::int32_t v) { ch[static_cast<std::size_t>(slot)].shift.SetIndex(ShiftFromStored(v)); });
    }
    read.Int(QStringLiteral("ch[0].scale"), [&](std::int32_t v) { scale.SetIndex(v); });
    read.Int(QStringLiteral("ch[0].pulse"), [&](std::int32_t v) { ch[0].pulse.SetIndex(v); });
    read.Int(QStringLiteral("ch[0].scale.vfactor"), [&](std::int32_t v) { scale.vfactor.SetKU(v / 1000.0); });
    read.Int(QStringLiteral("ch[0].gain"), [&](std::int32_t v) { ch[0].gain.SetIndex(v); });
    read.Int(QStringLiteral("ch[0].scale.GetCursorPx(0)"), [&](std::int32_t v) { scale.SetCursorPx(0, v); });
    read.Int(QStringLiteral("ch[0].scale.GetCursorPx(1)"), [&](std::int32_t v) { scale.SetCursorPx(1, v); });
    read.Int(QStringLiteral("ch[0].scale._activeCursorIndex"), [&](std::int32_t v) {
        // Only a real cursor number is taken: the index selects one of two cursors.
        if (v == 0 || v == 1)
            scale._activeCursorIndex = v;
    });
    read.Int(QStringLiteral("ch[0].average"), [&](std::int32_t v) { ch[0].average.SetIndex(v); });
    read.Int(QStringLiteral("view_mode"), [&](std::int32_t v) { settings.viewMode = static_cast<std::uint8_t>(v); });
    read.Int(QStringLiteral("bp_mode"), [&](std::int32_t v) { settings.bpMode = static_cast<std::uint8_t>(v); });
    read.Int(QStringLiteral("speed"), [&](std::int32_t v) { settings.speed.SetIndex(v); });
    read.Int(QStringLiteral("aStop"), [&](std::int32_t v) { settings.autoStop.SetIndex(v); });
    read.Int(QStringLiteral("nFile"), [&](std::int32_t v) { settings.fileName.SetIndex(v); });
    read.Int(QStringLiteral("adapter"), [&](std::int32_t v) { settings.adapter.SetIndex(v); });
    read.Text(QStringLiteral("nFile"), [&](const QString& v) { settings.fileName.SetName(v); });
    return read.Complete();
}

bool SaveSettings(CIniFile& ini, const DocumentSettings& settings) {
    const auto& ch = settings.ch;
    const CDOCScale& scale = ch[0].scale;
    const QString section = QString::fromLatin1(kSettingsSection);
    auto put = [&](const char* key, std::int32_t value) { ini.SetInt(section, QString::fromLatin1(key), value); };

    put("ch[0].state", ch[0].state);
    put("ch[1].state", ch[1].state);
    for (int slot = 0; slot < kSlotCount; ++slot)
        ini.SetInt(section, ShiftKey(slot), ch[static_cast<std::size_t>(slot)].shift.GetIndex() + kShiftOffset);
    put("ch[0].scale", scale.GetIndex());
    put("ch[0].pulse", ch[0].pulse.GetIndex());
    put("ch[0].scale.vfactor", StoredKU(scale.vfactor.GetKU()));
    put("ch[0].gain", ch[0].gain.GetIndex());
    put("ch[0].scale.GetCursorPx(0)", scale.GetCursorPx(0));
    put("ch[0].scale.GetCursorPx(1)", scale.GetCursorPx(1));
    put("ch[0].scale._activeCursorIndex", scale._activeCursorIndex);
    put("ch[0].average", ch[0].average.GetIndex());
    put("view_mode", settings.viewMode);
    put("bp_mode", settings.bpMode);
    put("speed", settings.speed.GetIndex());
    put("aStop", settings.autoStop.GetIndex());
    put("adapter", settings.adapter.GetIndex());
    return ini.SetString(section, QStringLiteral("nFile"), settings.fileName.GetStr());
}
