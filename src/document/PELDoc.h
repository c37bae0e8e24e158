#pragma once

// The single document: the five trace slots, the instrument-wide parameters, the
// blocks exchanged with the measurement board, and the state file image.

#include "document/DocSettings.h"
#include "document/IniFile.h"
#include "document/PELParam.h"
#include "platform/Document.h"

#include <array>
#include <cstdint>
#include <span>

// Document hints (the hint argument of UpdateAllViews).
namespace hint {
inline constexpr long kQueueIdentify = 1;  // board command 'V'
inline constexpr long kQueueReset = 2;     // board command 'R'
inline constexpr long kQueueTask = 3;      // board command 'D'
inline constexpr long kQueueTrace = 5;     // board command 'Z'
inline constexpr long kIdentification = 6; // the board's identification text arrived
inline constexpr long kBoardError = 7;     // an error reply; status bytes stored
inline constexpr long kNewTrace = 8;       // a new trace arrived
inline constexpr long kClockTick = 9;      // one-second clock tick
inline constexpr long kCaptureSaved = 10;  // a single acquisition was saved as "[save].pel"
inline constexpr long kQueueStart = 12;    // board command 'S'
inline constexpr long kQueueSetup = 13;    // board command 'A'
inline constexpr long kStatusRefresh = 25; // 200 ms status refresh
} // namespace hint

// Slot and switch state values shared with the soft keys.
namespace slot_state {
inline constexpr std::int32_t kAbsent = 0;
inline constexpr std::int32_t kHidden = 1;
inline constexpr std::int32_t kShown = 254;
} // namespace slot_state

// What the next task frame tells the board.
struct OutParams {
    std::uint8_t g = 0;            // generator line code
    std::uint8_t r = 0;            // receiver line code
    std::uint8_t continuation = 0; // always 0: acquisition pauses after each trace
    std::uint8_t mode = 0;         // 'Y' window, 'L' full-length capture; 0 before the first task
    std::uint16_t pulseCode = 0;   // pulse width in ns / 10
    std::int32_t microplan = 0;    // the board's start value
    std::uint16_t decimation = 0;
    std::uint8_t gainCode = 0;
    std::uint8_t averagingCode = 0; // the averaging count
};

// What the board's replies fill in.
struct InParams {
    std::span<std::uint8_t> destinationA; // where line 1's (or the only) trace goes
    std::span<std::uint8_t> destinationB; // line 2's trace
    std::uint8_t status1 = 0;
    std::uint8_t status2 = 0;
    int lastTraceBytes = 0; // the length of the last trace reply, stored or not
    QString identification;
};

class CPELDoc : public CDocument {
public:
    // `homeFolder` is the instrument's home folder, ending in '/': "pel.ini"
    // and the storage folder "save/" live there.
    explicit CPELDoc(const QString& homeFolder);
    ~CPELDoc() override;

    // Fills the output block and the trace destinations for the next task frame
    // ('Y' or 'L'; any other letter changes nothing).
    void SetOutParams(char modeLetter);
    // The slot whose parameters the chart and the other slots follow.
    CChannel* SelectReference();
    // Sets a slot's state; the current trace stays a shown one (see KeepCurrentTraceShown).
    bool SetChannelState(int index, std::int32_t state);
    // Deletes every stored reflectogram and screen copy.
    int DeleteAllStored();
    bool OnNewDocument();

    bool LoadSettings();
    bool SaveSettings();
    // SaveSettings into the image, then the image to "pel.ini".
    bool WriteStateFile();

    std::array<CChannel, kSlotCount> ch;
    CChannel* displayParams = nullptr;
    CChannel* currentTrace = nullptr;
    CChannel* diffReference = nullptr;
    OutParams outParams;
    InParams inParams;
    CDOCDateTime clock;
    CIniFile iniFile;
    QString storageFolder;
    QString executableFolder;
    char acquisitionMode = 'Y';
    std::uint8_t view_mode = 1;
    std::uint8_t bp_mode = 1;
    std::int32_t idleCounter = 0;
    CTextEntrySetting textEntry;
    CDOCSpeed speed;
    CDOCAutoStop autoStop;
    CDOCFileName fileName;
    CDOCAdapter adapter;

private:
    DocumentSettings Settings();
    void ApplyDefaults();
    void KeepCurrentTraceShown();
    void SetLineCodesFromCurrentTrace();
};
