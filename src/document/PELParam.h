#pragma once

// The adjustable values of the instrument and of a trace slot: each steps and
// validates through an index and shows itself as text.

#include "document/ParamEditor.h"
#include "document/ParamTables.h"

#include <QDateTime>
#include <QRect>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

class QWidget;

// The process-wide velocity display mode: 0 shows velocities as КУ, 1 as V/2.
int VelocityDisplayMode();
void SetVelocityDisplayMode(int mode);

class CDOCParam {
public:
    virtual ~CDOCParam() = default;

    virtual QString GetStr() const = 0;
    virtual std::int32_t GetIndex() const = 0;
    // Takes the value when it is valid; false leaves the parameter unchanged.
    virtual bool SetIndex(std::int32_t index) = 0;

    // On-screen editing; parameters without an editor keep these defaults. EndEdit takes
    // the editor's value; CancelEdit closes the editor and keeps the value as it was.
    virtual void EndEdit() {}
    virtual void CancelEdit() {}
    virtual bool IsEditing() const { return false; }
    virtual void BeginEdit(std::uint32_t style, const QRect& rect, QWidget* parent, int controlId);

protected:
    CDOCParam() = default;
    CDOCParam(const CDOCParam&) = default;
    CDOCParam& operator=(const CDOCParam&) = default;
};

// Velocity factor КУ, with V/2 = 300 / (2 * КУ) kept beside it.
class CVFactor {
public:
    double GetKU() const { return ku_; }
    double GetV2() const { return v2_; }
    // Clamps into [1.0, 3.0]; true when the stored КУ changed. NaN and infinities are
    // refused (false, nothing changes).
    bool SetKU(double ku);
    // "%.3f " of КУ in mode 0, "%.1f" of V/2 in mode 1.
    QString GetStr() const;
    // The value as the current display mode shows it.
    double GetValue() const;
    // Takes a value of the current display mode, clamped to that mode's limits; false
    // (nothing changes) for NaN and infinities.
    bool SetValue(double value);

private:
    double minimumKU_ = 1.0;
    double maximumKU_ = 3.0;
    double ku_ = 1.5;
    double v2_ = 100.0;
};

// Free velocity helpers of the current display mode.
double VelocityEditStep();
double VelocityMinimum();
double VelocityMaximum();
// x becomes 300 / (2 * x) in mode 1 (КУ to V/2, and back again); unchanged in mode 0.
void ConvertVelocityForMode(double& x);
QString FormatVelocity(double x);
QString VelocityModeLabel();
// "" outside the tables.
QString PulseName(int index);
QString RangeText(int index); // "%.1f м" of the range's metres

// КУ as the files store it: КУ * 1000 truncated toward zero.
std::int32_t StoredKU(double ku);

class CDOCScale : public CDOCParam {
public:
    CDOCScale();

    QString GetStr() const override;
    std::int32_t GetIndex() const override { return range_; }
    // Selects a range: the window shows all of it (maximum zoom, shift 0); cursors keep
    // their base-sample positions.
    bool SetIndex(std::int32_t range) override;

    int GetZoom() const { return zoom_; }
    bool SetZoom(int zoom);
    int GetMinZoom() const;
    int GetMaxZoom() const;
    std::int32_t GetZoomFactor() const;    // base samples per column
    std::int32_t GetStorageFactor() const; // base samples per stored sample
    std::int32_t GetBaseSamples() const;   // base samples the range spans

    std::int32_t GetShift() const { return shift_; }
    bool SetShiftSamples(std::int32_t shift);

    std::int32_t GetBoardStart() const;
    std::uint16_t GetBoardDecimation(char commandLetter) const;

    bool SetCursorPx(int cursor, int column);
    int GetCursorPx(int cursor) const;
    std::int32_t GetCursorSamples(int cursor) const { return cursors_[cursor & 1]; }
    double GetCursorMetres(int cursor) const;
    std::int32_t SetCursorMetres(int cursor, double metres);
    double GetMetresAtPx(int column) const;
    double SamplesToMetres(double samples) const;

    QString GetCursorStr(int cursor) const;
    QString GetDistanceStr() const;
    QString GetZoomStr() const;

    std::int32_t CenterOnActiveCursor();

    void CalcTicks();
    double GetFirstTick() const { return firstTick_; }
    double GetLastTick() const { return lastTick_; }
    double GetPixelsPerTick() const { return pixelsPerTick_; }
    double GetFirstTickColumn() const { return firstTickColumn_; }
    const QStringList& GetTickLabels() const { return tickLabels_; }

    int GetDefaultPulse() const;

    // Trace buffers: one point per window column (read as signed), and the stored
    // full trace (sample j stands for base sample j * storage factor).
    std::array<std::uint8_t, tables::kColumns> points{};
    std::array<std::uint8_t, tables::kSamples> samples{};

    CVFactor vfactor;
    std::int32_t _activeCursorIndex = 1;

private:
    std::int32_t range_ = 0;
    std::int32_t zoom_ = 0;
    std::array<std::int32_t, 2> cursors_{0, 250};
    QStringList tickLabels_;
    std::int32_t shift_ = 0;
    double firstTick_ = 0.0;
    double lastTick_ = 0.0;
    double pixelsPerTick_ = 0.0;
    double firstTickColumn_ = 0.0;
};

class CDOCPulse : public CDOCParam {
public:
    QString GetStr() const override;
    std::int32_t GetIndex() const override { return index_; }
    bool SetIndex(std::int32_t index) override;
    int GetWidthNs() const;

private:
    std::int32_t index_ = 0;
};

class CDOCGain : public CDOCParam {
public:
    QString GetStr() const override; // "%d ед."
    std::int32_t GetIndex() const override { return value_; }
    bool SetIndex(std::int32_t value) override;

private:
    std::int32_t value_ = 0;
};

class CDOCShift : public CDOCParam {
public:
    QString GetStr() const override;
    std::int32_t GetIndex() const override { return value_; }
    bool SetIndex(std::int32_t value) override;

private:
    std::int32_t value_ = 0;
};

class CDOCAverage : public CDOCParam {
public:
    QString GetStr() const override; // the count
    std::int32_t GetIndex() const override { return index_; }
    bool SetIndex(std::int32_t index) override;
    int GetCount() const;
    QString GetCaption() const;

private:
    std::int32_t index_ = 0;
};

// The matching value the board reports with every trace; any value is stored.
class CDOCMatching : public CDOCParam {
public:
    QString GetStr() const override;
    std::int32_t GetIndex() const override { return value_; }
    bool SetIndex(std::int32_t value) override;

private:
    std::int32_t value_ = tables::kMatchingMinimum;
};

// The velocity display mode; its value is the process-wide mode.
class CDOCSpeed : public CDOCParam {
public:
    QString GetStr() const override;
    std::int32_t GetIndex() const override;
    bool SetIndex(std::int32_t mode) override; // wraps: below 0 gives 1, 2 and above give 0

    // A drop-down list of the mode labels; ending the edit takes the selected mode.
    void BeginEdit(std::uint32_t style, const QRect& rect, QWidget* parent, int controlId) override;
    void EndEdit() override;
    void CancelEdit() override { editor_.Close(); }
    bool IsEditing() const override { return editor_.IsOpen(); }

private:
    CParamEditorSlot editor_;
};

class CDOCAutoStop : public CDOCParam {
public:
    QString GetStr() const override;
    std::int32_t GetIndex() const override { return index_; }
    bool SetIndex(std::int32_t index) override; // wraps around the table
    int GetMinutes() const;

    // A drop-down list of the intervals; ending the edit takes the selected one.
    void BeginEdit(std::uint32_t style, const QRect& rect, QWidget* parent, int controlId) override;
    void EndEdit() override;
    void CancelEdit() override { editor_.Close(); }
    bool IsEditing() const override { return editor_.IsOpen(); }

private:
    std::int32_t index_ = 0;
    CParamEditorSlot editor_;
};

class CDOCAdapter : public CDOCParam {
public:
    QString GetStr() const override;
    std::int32_t GetIndex() const override { return index_; }
    bool SetIndex(std::int32_t index) override; // wraps around the table

    // A drop-down list of the adapter names; ending the edit takes the selected one.
    void BeginEdit(std::uint32_t style, const QRect& rect, QWidget* parent, int controlId) override;
    void EndEdit() override;
    void CancelEdit() override { editor_.Close(); }
    bool IsEditing() const override { return editor_.IsOpen(); }

private:
    std::int32_t index_ = 0;
    CParamEditorSlot editor_;
};

// The prefix proposed for new reflectogram names.
class CDOCFileName : public CDOCParam {
public:
    QString GetStr() const override { return name_; }
    std::int32_t GetIndex() const override { return static_cast<std::int32_t>(name_.size()); }
    bool SetIndex(std::int32_t) override { return true; }
    void SetName(const QString& name) { name_ = name; }

    // Character entry of the prefix; ending the edit takes the entered text.
    void BeginEdit(std::uint32_t style, const QRect& rect, QWidget* parent, int controlId) override;
    void EndEdit() override;
    void CancelEdit() override { editor_.Close(); }
    bool IsEditing() const override { return editor_.IsOpen(); }

private:
    QString name_ = QString::fromUtf8(tables::kDefaultFileName);
    CParamEditorSlot editor_;
};

// A calendar time, read from the instrument's clock.
class CDOCDateTime : public CDOCParam {
public:
    CDOCDateTime();
    QString GetStr() const override; // "dd.MM.yyyy hh:mm:ss"
    std::int32_t GetIndex() const override;
    bool SetIndex(std::int32_t secondsSinceEpoch) override;
    const QDateTime& GetTime() const { return time_; }
    void SetTime(const QDateTime& time) { time_ = time; }
    void SetCurrent();

    // The clock editor on the GetStr text. Ending the edit sets the clock: the edited
    // date and time go to the real-time clock chip and become the local time.
    void BeginEdit(std::uint32_t style, const QRect& rect, QWidget* parent, int controlId) override;
    void EndEdit() override;
    void CancelEdit() override { editor_.Close(); }
    bool IsEditing() const override { return editor_.IsOpen(); }

private:
    QDateTime time_;
    CParamEditorSlot editor_;
};

// Language and mode of on-screen text entry (not stored in the state file).
class CTextEntrySetting {
public:
    std::int32_t language = 0; // 0 Russian (Cyrillic letters), 1 English (Latin letters)
    std::int32_t digits = 0;   // 1: digits only

    QString ToggleLanguage();
    QString GetLanguageName() const;
    QString CycleMode();
    QString GetModeName() const;
};

// One of the five trace slots: a line (slots 0, 1) or a stored reflectogram (2..4).
class CChannel {
public:
    std::int32_t state = 1; // 0 absent, 1 present but hidden, 254 shown
    std::int32_t number = 0;
    QString filePath;                                      // storage folder, or the file last used
    QString fileName = QString::fromUtf8(tables::kNoFile); // "xxx": no file in the slot
    QString note;

    CDOCScale scale;
    CDOCPulse pulse;
    CDOCGain gain;
    CDOCShift shift;
    CDOCAverage average;
    CDOCDateTime dateTime;
    CDOCMatching matching;

    void CopyParams(const CChannel& source, bool copyData);
    QString GetParamLine() const;

    // Rebuilds the points from the stored samples in the source's window.
    void ExtractPoints(const CChannel& source, std::uint8_t flag);
    // points := reference points - own points, clamped to -128..127.
    void MakeDifference(const CChannel& reference);

    // Reflectogram files. SaveTrace: 0 written, 1 no file name, 2 write failed.
    // LoadTrace: 0 loaded, 1 no file name, 2 cannot be read, 3 damaged (nothing changed).
    std::int32_t SaveTrace(const QString& name = QString());
    std::int32_t LoadTrace(const QString& name = QString());
    std::int32_t DeleteFiles(const QString& pattern = QString());

private:
    // The path a name gives in this slot's folder; empty when there is no file.
    QString FormFilePath(const QString& name) const;
};
