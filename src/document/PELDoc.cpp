#include "document/PELDoc.h"

#include "platform/Files.h"
#include "platform/Trace.h"

namespace {

const char* const kStateFileName = "pel.ini";
const char* const kStorageFolderName = "save/";

} // namespace

CPELDoc::CPELDoc(const QString& homeFolder) : executableFolder(homeFolder) {
    // A power cut while a file was being replaced leaves its temporary copy behind.
    platform::RemoveLeftoverTemporaries(executableFolder);
    platform::RemoveLeftoverTemporaries(executableFolder + QString::fromLatin1(kStorageFolderName));
    iniFile.Load(executableFolder + QString::fromLatin1(kStateFileName));
    storageFolder = executableFolder + QString::fromLatin1(kStorageFolderName);
    if (!LoadSettings())
        ApplyDefaults();
    if (ch[0].state == slot_state::kHidden && ch[1].state == slot_state::kHidden)
        ch[0].state = slot_state::kShown; // at least one line is always shown

    // The state file keeps the lines' parameters under slot 0; line 2 shares them, so
    // that a state saved with line 2 alone on screen comes back as it was saved.
    ch[1].CopyParams(ch[0], false);
    displayParams = SelectReference();
    currentTrace = displayParams;
    diffReference = displayParams;
    for (std::size_t i = 0; i < ch.size(); ++i) {
        ch[i].filePath = storageFolder;
        ch[i].number = static_cast<std::int32_t>(i);
        ch[i].CopyParams(*displayParams, false);
    }
    for (std::size_t i = 2; i < ch.size(); ++i)
        ch[i].state = slot_state::kAbsent;
    acquisitionMode = 'Y';
    view_mode = 1;
    bp_mode = 1;
    textEntry = CTextEntrySetting();
    inParams.destinationA = ch[0].scale.points;
    inParams.destinationB = ch[1].scale.points;
}

CPELDoc::~CPELDoc() {
    platform::Trace("~%s\n", "CPELDoc");
}

DocumentSettings CPELDoc::Settings() {
    return DocumentSettings{ch, view_mode, bp_mode, speed, autoStop, adapter, fileName};
}

bool CPELDoc::LoadSettings() {
    return ::LoadSettings(iniFile, Settings());
}

bool CPELDoc::SaveSettings() {
    return ::SaveSettings(iniFile, Settings());
}

bool CPELDoc::WriteStateFile() {
    SaveSettings();
    return iniFile.Save();
}

void CPELDoc::ApplyDefaults() {
    CChannel& line = ch[0];
    line.state = slot_state::kShown;
    ch[1].state = slot_state::kHidden;
    for (std::size_t i = 2; i < ch.size(); ++i)
        ch[i].state = slot_state::kAbsent;
    line.scale.SetIndex(0);
    line.pulse.SetIndex(2);
    line.scale.vfactor.SetKU(1.5);
    line.gain.SetIndex(100);
    line.scale.SetCursorPx(0, 0);
    line.scale.SetCursorPx(1, 250);
    line.scale._activeCursorIndex = 1;
    line.shift.SetIndex(0);
    line.average.SetIndex(0);
    line.scale.CalcTicks();
}

bool CPELDoc::OnNewDocument() {
    clock.SetCurrent();
    return true;
}

CChannel* CPELDoc::SelectReference() {
    CChannel* candidate = nullptr;
    for (std::size_t i = 2; i < ch.size(); ++i) {
        if (ch[i].state != slot_state::kShown)
            continue;
        // The shown stored trace with the largest range; the later slot on equal ranges.
        if (candidate == nullptr || ch[i].scale.GetIndex() >= candidate->scale.GetIndex())
            candidate = &ch[i];
    }
    if (candidate != nullptr)
        return candidate;
    if (ch[0].state == slot_state::kHidden && ch[1].state == slot_state::kShown)
        return &ch[1];
    return &ch[0];
}

bool CPELDoc::SetChannelState(int index, std::int32_t state) {
    const bool validState = state == slot_state::kShown || state == slot_state::kHidden || state == slot_state::kAbsent;
    if (!validState || index < 0 || index >= kSlotCount)
        return false;
    ch[static_cast<std::size_t>(index)].state = state;
    KeepCurrentTraceShown();
    displayParams = SelectReference();
    ch[0].CopyParams(*displayParams, false);
    ch[1].CopyParams(*displayParams, false);
    for (std::size_t i = 2; i < ch.size(); ++i)
        ch[i].ExtractPoints(*displayParams, 1);
    return true;
}

void CPELDoc::KeepCurrentTraceShown() {
    // The current trace is the one the keys shift and the menus mark; a hidden one could
    // be neither seen nor switched on again, since its marked key is refused. A shown
    // line takes over, line 2 before line 1, then a shown stored trace; when nothing is
    // shown at all, line 1 is shown.
    if (currentTrace != nullptr && currentTrace->state == slot_state::kShown)
        return;
    for (const std::size_t slot : {1, 0, 2, 3, 4}) {
        if (ch[slot].state == slot_state::kShown) {
            currentTrace = &ch[slot];
            return;
        }
    }
    ch[0].state = slot_state::kShown;
    currentTrace = &ch[0];
}

void CPELDoc::SetLineCodesFromCurrentTrace() {
    const std::int32_t line = currentTrace != nullptr ? currentTrace->number : -1;
    if (bp_mode == 1 && (line == 0 || line == 1)) {
        outParams.g = outParams.r = static_cast<std::uint8_t>(line + 1);
    } else if (bp_mode == slot_state::kShown && (line == 0 || line == 1)) {
        // Split-pair test: one line sends, the other listens.
        outParams.g = static_cast<std::uint8_t>(line == 0 ? 2 : 1);
        outParams.r = static_cast<std::uint8_t>(line + 1);
    }
}

void CPELDoc::SetOutParams(char modeLetter) {
    if (modeLetter != 'L' && modeLetter != 'Y')
        return;
    const CChannel& line = ch[0];
    if (modeLetter == 'L') {
        SetLineCodesFromCurrentTrace();
    } else if (bp_mode == 1) {
        auto setBit = [](std::uint8_t& code, std::uint8_t bit, bool on) {
            code = on ? static_cast<std::uint8_t>(code | bit) : static_cast<std::uint8_t>(code & ~bit);
        };
        setBit(outParams.g, 1, ch[0].state == slot_state::kShown);
        setBit(outParams.r, 1, ch[0].state == slot_state::kShown);
        setBit(outParams.g, 2, ch[1].state == slot_state::kShown);
        setBit(outParams.r, 2, ch[1].state == slot_state::kShown);
    } else if (bp_mode == slot_state::kShown) {
        SetLineCodesFromCurrentTrace();
    }
    if (modeLetter == 'Y')
        platform::Trace("SetOutParams: g:%d, r:%d\n", outParams.g, outParams.r);

    outParams.continuation = 0;
    outParams.averagingCode = static_cast<std::uint8_t>(line.average.GetCount());
    outParams.pulseCode = static_cast<std::uint16_t>(line.pulse.GetWidthNs() / 10);
    outParams.gainCode = static_cast<std::uint8_t>(line.gain.GetIndex());
    outParams.decimation = line.scale.GetBoardDecimation(modeLetter);
    if (modeLetter == 'L') {
        inParams.destinationA = ch[0].scale.samples;
        inParams.destinationB = ch[1].scale.samples;
        outParams.microplan = tables::kBoardStartOffset;
    } else {
        inParams.destinationA = ch[0].scale.points;
        inParams.destinationB = ch[1].scale.points;
        outParams.microplan = line.scale.GetBoardStart();
    }
    outParams.mode = static_cast<std::uint8_t>(modeLetter);
    if (modeLetter == 'Y')
        platform::Trace("SetOutParams: decimation:%d, microplan:%d\n", outParams.decimation, outParams.microplan);
}

int CPELDoc::DeleteAllStored() {
    CChannel folder;
    folder.filePath = storageFolder;
    folder.DeleteFiles(QStringLiteral("*.pel"));
    folder.DeleteFiles(QStringLiteral("*.png"));
    return 0;
}
