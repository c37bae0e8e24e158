#include "document/PELParam.h"

#include "document/RealTimeClock.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cmath>

namespace {

int velocityDisplayMode = 0;

const tables::VelocityMode& CurrentVelocityMode() {
    return tables::kVelocityModes[static_cast<std::size_t>(velocityDisplayMode)];
}

template <typename Table> bool InTable(const Table& table, std::int32_t index) {
    return index >= 0 && static_cast<std::size_t>(index) < table.size();
}

// Below 0 selects the last entry, past the end the first.
std::int32_t Wrapped(std::int32_t index, std::size_t count) {
    if (index < 0)
        return static_cast<std::int32_t>(count) - 1;
    if (static_cast<std::size_t>(index) >= count)
        return 0;
    return index;
}

template <typename Table, typename NameOf> QStringList NamesOf(const Table& table, NameOf nameOf) {
    QStringList names;
    for (const auto& entry : table)
        names.append(QString::fromUtf8(nameOf(entry)));
    return names;
}

// A list editor replaces the one open before it: a drop-down list of `names` with the
// current entry selected.
void BeginListEdit(CParamEditorSlot& editor, const QRect& rect, QWidget* parent, int controlId,
                   const QStringList& names, std::int32_t current) {
    editor.Close();
    if (CParamEditorFactory* factory = ParamEditorFactory())
        editor.Open(factory->CreateList(DroppedListRect(rect, static_cast<int>(names.size())), rect, parent, controlId,
                                        names, current));
}

// The selected position becomes the parameter's index; the editor goes.
void EndListEdit(CParamEditorSlot& editor, CDOCParam& param) {
    if (const CParamEditor* open = editor.Live()) {
        const int selected = open->SelectedIndex();
        if (selected >= 0)
            param.SetIndex(selected);
    }
    editor.Close();
}

} // namespace

int VelocityDisplayMode() {
    return velocityDisplayMode;
}

void SetVelocityDisplayMode(int mode) {
    velocityDisplayMode = mode == 1 ? 1 : 0;
}

void CDOCParam::BeginEdit(std::uint32_t, const QRect&, QWidget*, int) {}

// --- velocity ---------------------------------------------------------------

bool CVFactor::SetKU(double ku) {
    // NaN passes every clamp, and an infinity would clamp to a limit nobody chose: both
    // are refused, so that no distance and no stored КУ is ever computed from them.
    if (!std::isfinite(ku))
        return false;
    const double before = ku_;
    ku_ = std::clamp(ku, minimumKU_, maximumKU_);
    v2_ = 300.0 / (ku_ * 2.0);
    return ku_ != before;
}

QString CVFactor::GetStr() const {
    return FormatVelocity(GetValue());
}

double CVFactor::GetValue() const {
    return velocityDisplayMode == 1 ? v2_ : ku_;
}

bool CVFactor::SetValue(double value) {
    if (!std::isfinite(value))
        return false;
    if (velocityDisplayMode == 0) {
        SetKU(value);
        return true;
    }
    const auto& mode = tables::kVelocityModes[1];
    v2_ = std::clamp(value, mode.minimum, mode.maximum);
    ku_ = 300.0 / (v2_ * 2.0);
    return true;
}

double VelocityEditStep() {
    return CurrentVelocityMode().editStep;
}

double VelocityMinimum() {
    return CurrentVelocityMode().minimum;
}

double VelocityMaximum() {
    return CurrentVelocityMode().maximum;
}

void ConvertVelocityForMode(double& x) {
    if (velocityDisplayMode == 1)
        x = 300.0 / (2.0 * x);
}

QString FormatVelocity(double x) {
    return QString::asprintf(CurrentVelocityMode().format, x);
}

QString VelocityModeLabel() {
    return QString::fromUtf8(CurrentVelocityMode().label);
}

QString PulseName(int index) {
    return InTable(tables::kPulses, index) ? QString::fromUtf8(tables::kPulses[static_cast<std::size_t>(index)].name)
                                           : QString();
}

QString RangeText(int index) {
    return InTable(tables::kRanges, index)
               ? QString::asprintf("%.1f м", tables::kRanges[static_cast<std::size_t>(index)].metres)
               : QString();
}

std::int32_t StoredKU(double ku) {
    // A КУ that was itself read from a file (n / 1000.0) may come back a hair below n
    // when multiplied again; the small allowance keeps such values from losing 0.001
    // at every save, and is far below anything an operator can set.
    return static_cast<std::int32_t>(std::trunc(ku * 1000.0 + 1e-7));
}

// --- per-channel values -----------------------------------------------------

QString CDOCPulse::GetStr() const {
    return PulseName(index_);
}

bool CDOCPulse::SetIndex(std::int32_t index) {
    if (!InTable(tables::kPulses, index))
        return false;
    index_ = index;
    return true;
}

int CDOCPulse::GetWidthNs() const {
    return tables::kPulses[static_cast<std::size_t>(index_)].widthNs;
}

QString CDOCGain::GetStr() const {
    return QString::asprintf("%d ед.", value_);
}

bool CDOCGain::SetIndex(std::int32_t value) {
    if (value < tables::kGainMinimum || value > tables::kGainMaximum)
        return false;
    value_ = value;
    return true;
}

QString CDOCShift::GetStr() const {
    return QString::asprintf("%d", value_);
}

bool CDOCShift::SetIndex(std::int32_t value) {
    if (value < tables::kShiftMinimum || value > tables::kShiftMaximum)
        return false;
    value_ = value;
    return true;
}

QString CDOCAverage::GetStr() const {
    return QString::asprintf("%d", GetCount());
}

bool CDOCAverage::SetIndex(std::int32_t index) {
    if (!InTable(tables::kAverages, index))
        return false;
    index_ = index;
    return true;
}

int CDOCAverage::GetCount() const {
    return tables::kAverages[static_cast<std::size_t>(index_)].count;
}

QString CDOCAverage::GetCaption() const {
    return QString::fromUtf8(tables::kAverages[static_cast<std::size_t>(index_)].caption);
}

QString CDOCMatching::GetStr() const {
    return QString::asprintf("%d", value_);
}

bool CDOCMatching::SetIndex(std::int32_t value) {
    value_ = value;
    return true;
}

// --- instrument-wide values -------------------------------------------------

QString CDOCSpeed::GetStr() const {
    return VelocityModeLabel();
}

std::int32_t CDOCSpeed::GetIndex() const {
    return velocityDisplayMode;
}

bool CDOCSpeed::SetIndex(std::int32_t mode) {
    SetVelocityDisplayMode(Wrapped(mode, tables::kVelocityModes.size()));
    return true;
}

void CDOCSpeed::BeginEdit(std::uint32_t, const QRect& rect, QWidget* parent, int controlId) {
    BeginListEdit(editor_, rect, parent, controlId,
                  NamesOf(tables::kVelocityModes, [](const tables::VelocityMode& mode) { return mode.label; }),
                  GetIndex());
}

void CDOCSpeed::EndEdit() {
    EndListEdit(editor_, *this);
}

QString CDOCAutoStop::GetStr() const {
    return QString::fromUtf8(tables::kAutoStops[static_cast<std::size_t>(index_)].name);
}

bool CDOCAutoStop::SetIndex(std::int32_t index) {
    index_ = Wrapped(index, tables::kAutoStops.size());
    return true;
}

int CDOCAutoStop::GetMinutes() const {
    return tables::kAutoStops[static_cast<std::size_t>(index_)].minutes;
}

void CDOCAutoStop::BeginEdit(std::uint32_t, const QRect& rect, QWidget* parent, int controlId) {
    BeginListEdit(editor_, rect, parent, controlId,
                  NamesOf(tables::kAutoStops, [](const tables::AutoStop& entry) { return entry.name; }), index_);
}

void CDOCAutoStop::EndEdit() {
    EndListEdit(editor_, *this);
}

QString CDOCAdapter::GetStr() const {
    return QString::fromUtf8(tables::kAdapters[static_cast<std::size_t>(index_)]);
}

bool CDOCAdapter::SetIndex(std::int32_t index) {
    index_ = Wrapped(index, tables::kAdapters.size());
    return true;
}

void CDOCAdapter::BeginEdit(std::uint32_t, const QRect& rect, QWidget* parent, int controlId) {
    BeginListEdit(editor_, rect, parent, controlId, NamesOf(tables::kAdapters, [](const char* name) { return name; }),
                  index_);
}

void CDOCAdapter::EndEdit() {
    EndListEdit(editor_, *this);
}

void CDOCFileName::BeginEdit(std::uint32_t, const QRect& rect, QWidget* parent, int controlId) {
    editor_.Close();
    if (CParamEditorFactory* factory = ParamEditorFactory())
        editor_.Open(factory->CreateText(rect, parent, controlId, name_));
}

void CDOCFileName::EndEdit() {
    if (const CParamEditor* open = editor_.Live())
        name_ = open->Text();
    editor_.Close();
}

CDOCDateTime::CDOCDateTime() : time_(platform::LocalNow()) {}

QString CDOCDateTime::GetStr() const {
    const QDate date = time_.date();
    const QTime clock = time_.time();
    return QString::asprintf("%.2d.%.2d.%.4d %.2d:%.2d:%.2d", date.day(), date.month(), date.year(), clock.hour(),
                             clock.minute(), clock.second());
}

std::int32_t CDOCDateTime::GetIndex() const {
    return static_cast<std::int32_t>(time_.toSecsSinceEpoch());
}

bool CDOCDateTime::SetIndex(std::int32_t secondsSinceEpoch) {
    time_ = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch);
    return true;
}

void CDOCDateTime::SetCurrent() {
    time_ = platform::LocalNow();
}

void CDOCDateTime::BeginEdit(std::uint32_t style, const QRect& rect, QWidget* parent, int controlId) {
    editor_.Close();
    if (CParamEditorFactory* factory = ParamEditorFactory())
        editor_.Open(factory->CreateDateTime(style, rect, parent, controlId, GetStr()));
}

void CDOCDateTime::EndEdit() {
    const CParamEditor* open = editor_.Live();
    const QDateTime edited = open != nullptr ? open->Time() : QDateTime();
    if (edited.isValid()) {
        // The editor gives the date and the time of day; the milliseconds are the clock's
        // own (the day of week follows from the date).
        const QTime now = platform::LocalNow().time();
        const QTime clock(edited.time().hour(), edited.time().minute(), edited.time().second(), now.msec());
        const QDateTime time(edited.date(), clock);
        RealTimeClock().WriteClock(time);
        time_ = time;
    }
    editor_.Close();
}

// --- text entry -------------------------------------------------------------

QString CTextEntrySetting::ToggleLanguage() {
    language = language == 0 ? 1 : 0;
    return GetLanguageName();
}

QString CTextEntrySetting::GetLanguageName() const {
    return language == 1 ? QStringLiteral("English") : QStringLiteral("Русский");
}

QString CTextEntrySetting::CycleMode() {
    digits = digits == 1 ? 0 : 1;
    return GetModeName();
}

QString CTextEntrySetting::GetModeName() const {
    if (digits == 1)
        return QStringLiteral("1 2 3 ...");
    return language == 1 ? QStringLiteral("A B C ...") : QStringLiteral("А Б В ...");
}

// --- channel ----------------------------------------------------------------

void CChannel::CopyParams(const CChannel& source, bool copyData) {
    if (&source == this)
        return;
    const CDOCScale& from = source.scale;
    scale.SetIndex(from.GetIndex());
    scale.SetZoom(from.GetZoom());
    scale.SetShiftSamples(from.GetShift());
    scale.vfactor.SetKU(from.vfactor.GetKU());
    pulse.SetIndex(source.pulse.GetIndex());
    gain.SetIndex(source.gain.GetIndex());
    average.SetIndex(source.average.GetIndex());
    scale.SetCursorPx(0, from.GetCursorPx(0));
    scale.SetCursorPx(1, from.GetCursorPx(1));
    scale._activeCursorIndex = from._activeCursorIndex;
    scale.CalcTicks();
    if (copyData) {
        scale.samples = from.samples;
        scale.points = from.points;
    }
}

QString CChannel::GetParamLine() const {
    const QString velocity = VelocityModeLabel() + QLatin1Char(' ') + scale.vfactor.GetStr();
    return QStringLiteral("Масш. %1   Имп. %2   %3   Оср. %4   Усл. %5   Согл. %6   Смещ. %7")
        .arg(scale.GetStr(), pulse.GetStr(), velocity, average.GetStr(), gain.GetStr(), matching.GetStr(),
             shift.GetStr());
}
