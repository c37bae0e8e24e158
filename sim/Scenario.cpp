#include "sim/Scenario.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>

namespace sim {

Scenario Scenario::Default() {
    Scenario scenario;
    Cable& first = scenario.lines[0];
    first.ku = 1.5;
    first.impedance = 100;
    first.attenuation = 15;
    first.length = 1234;
    first.termination = Termination::Open;
    first.matching = 100;
    first.events = {
        {CableEvent::Kind::Splice, 310, 3, 115, 0},
        {CableEvent::Kind::Wet, 610, 30, 75, 0},
    };

    Cable& second = scenario.lines[1];
    second = first;
    second.length = 870;
    second.termination = Termination::Short;
    second.events.clear();

    scenario.pairSplit = PairSplit{450, 0.3, 0.03, 1.05};
    return scenario;
}

namespace {

// Reads one JSON object and remembers the first problem, named by its place in the file.
class FieldReader {
public:
    FieldReader(const QJsonObject& object, QString place, QString* error)
        : object_(object), place_(std::move(place)), error_(error) {}

    bool Has(const char* key) const { return object_.contains(QLatin1String(key)); }

    double Number(const char* key, double low, double high) {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (!value.isDouble()) {
            Fail(key, QStringLiteral("a number is required"));
            return 0;
        }
        const double number = value.toDouble();
        if (!std::isfinite(number) || number < low || number > high) {
            Fail(key, QStringLiteral("out of range %1..%2").arg(low).arg(high));
            return 0;
        }
        return number;
    }

    double Number(const char* key, double low, double high, double fallback) {
        return Has(key) ? Number(key, low, high) : fallback;
    }

    QString Text(const char* key) {
        const QJsonValue value = object_.value(QLatin1String(key));
        if (!value.isString())
            Fail(key, QStringLiteral("a string is required"));
        return value.toString();
    }

    void Fail(const char* key, const QString& what) {
        if (ok_ && error_)
            *error_ = QStringLiteral("%1.%2: %3").arg(place_, QLatin1String(key), what);
        ok_ = false;
    }

    bool Ok() const { return ok_; }

private:
    QJsonObject object_;
    QString place_;
    QString* error_;
    bool ok_ = true;
};

constexpr double kFar = 1e6; // metres: no cable we simulate is longer

std::optional<CableEvent> ReadEvent(const QJsonValue& value, const QString& place, QString* error) {
    if (!value.isObject()) {
        if (error)
            *error = place + QStringLiteral(": an object is required");
        return std::nullopt;
    }
    FieldReader reader(value.toObject(), place, error);
    const QString type = reader.Text("type");
    CableEvent event;
    if (type == QLatin1String("splice")) {
        event.kind = CableEvent::Kind::Splice;
        event.position = reader.Number("at", 0, kFar);
        event.length = reader.Number("length", 0, kFar, 0);
        event.impedance = reader.Number("impedance", 1, 1e4);
    } else if (type == QLatin1String("wet")) {
        event.kind = CableEvent::Kind::Wet;
        event.position = reader.Number("from", 0, kFar);
        const double to = reader.Number("to", 0, kFar);
        if (reader.Ok() && to <= event.position)
            reader.Fail("to", QStringLiteral("must lie beyond \"from\""));
        event.length = to - event.position;
        event.impedance = reader.Number("impedance", 1, 1e4);
    } else if (type == QLatin1String("shunt") || type == QLatin1String("series")) {
        event.kind = type == QLatin1String("shunt") ? CableEvent::Kind::Shunt : CableEvent::Kind::Series;
        event.position = reader.Number("at", 0, kFar);
        event.resistance = reader.Number("resistance", 1e-3, 1e9);
    } else if (reader.Ok()) {
        reader.Fail("type", QStringLiteral("one of splice, wet, shunt, series is required"));
    }
    return reader.Ok() ? std::optional<CableEvent>(event) : std::nullopt;
}

std::optional<Cable> ReadCable(const QJsonValue& value, const QString& place, QString* error) {
    if (!value.isObject()) {
        if (error)
            *error = place + QStringLiteral(": an object is required");
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    FieldReader reader(object, place, error);
    Cable cable;
    cable.ku = reader.Number("ku", 1.0, 10.0);
    cable.impedance = reader.Number("impedance", 1, 1e4);
    cable.attenuation = reader.Number("attenuation", 0, 1000);
    cable.length = reader.Number("length", 1, kFar);
    cable.matching = static_cast<int>(reader.Number("matching", 0, 255, 100));
    const QString termination = reader.Text("termination");
    if (termination == QLatin1String("open")) {
        cable.termination = Termination::Open;
    } else if (termination == QLatin1String("short")) {
        cable.termination = Termination::Short;
    } else if (termination == QLatin1String("matched")) {
        cable.termination = Termination::Matched;
    } else if (termination == QLatin1String("load")) {
        cable.termination = Termination::Load;
        cable.loadResistance = reader.Number("loadResistance", 0, 1e9);
    } else if (reader.Ok()) {
        reader.Fail("termination", QStringLiteral("one of open, short, matched, load is required"));
    }
    if (!reader.Ok())
        return std::nullopt;

    const QJsonValue events = object.value(QLatin1String("events"));
    if (!events.isUndefined() && !events.isArray()) {
        reader.Fail("events", QStringLiteral("an array is required"));
        return std::nullopt;
    }
    const QJsonArray list = events.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const auto event = ReadEvent(list.at(i), place + QStringLiteral(".events[%1]").arg(i), error);
        if (!event)
            return std::nullopt;
        cable.events.push_back(*event);
    }
    return cable;
}

// The object under `key`, if the root has one; anything else there is a mistake.
std::optional<QJsonObject> ReadObject(const QJsonObject& root, const char* key, FieldReader& reader) {
    if (!reader.Has(key) || !reader.Ok())
        return std::nullopt;
    const QJsonValue value = root.value(QLatin1String(key));
    if (!value.isObject()) {
        reader.Fail(key, QStringLiteral("an object is required"));
        return std::nullopt;
    }
    return value.toObject();
}

} // namespace

std::optional<Scenario> Scenario::FromJson(const QByteArray& json, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull()) {
        if (error)
            *error = QStringLiteral("not JSON: %1 at offset %2").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    if (!document.isObject()) {
        if (error)
            *error = QStringLiteral("the scenario must be a JSON object");
        return std::nullopt;
    }
    const QJsonObject root = document.object();
    FieldReader reader(root, QStringLiteral("scenario"), error);
    Scenario scenario;
    scenario.noise = reader.Number("noise", 0, 1, scenario.noise);
    if (reader.Has("seed"))
        scenario.seed = static_cast<std::uint32_t>(reader.Number("seed", 0, std::numeric_limits<std::uint32_t>::max()));
    if (reader.Has("pairSplit")) {
        const QJsonValue value = root.value(QLatin1String("pairSplit"));
        if (!value.isObject()) {
            reader.Fail("pairSplit", QStringLiteral("an object is required"));
        } else {
            FieldReader split(value.toObject(), QStringLiteral("pairSplit"), error);
            PairSplit pairSplit;
            pairSplit.distance = split.Number("distance", 0, kFar);
            pairSplit.coupling = split.Number("coupling", 0, 1, pairSplit.coupling);
            pairSplit.nearCrosstalk = split.Number("nearCrosstalk", 0, 1, pairSplit.nearCrosstalk);
            pairSplit.impedanceRatio = split.Number("impedanceRatio", 0.1, 10, pairSplit.impedanceRatio);
            if (!split.Ok())
                return std::nullopt;
            scenario.pairSplit = pairSplit;
        }
    }
    if (const auto object = ReadObject(root, "launch", reader)) {
        FieldReader launch(*object, QStringLiteral("launch"), error);
        scenario.launch.riseNs = launch.Number("riseNs", 0, 1000, 0);
        scenario.launch.overshoot = launch.Number("overshoot", 0, 0.6, 0);
        scenario.launch.recovery = launch.Number("recovery", 0, 1, 0);
        scenario.launch.recoveryNs = launch.Number("recoveryNs", 1, 1e6, scenario.launch.recoveryNs);
        if (!launch.Ok())
            return std::nullopt;
    }
    if (const auto object = ReadObject(root, "receiver", reader)) {
        FieldReader receiver(*object, QStringLiteral("receiver"), error);
        scenario.receiver.clipRecoveryNs = receiver.Number("clipRecoveryNs", 0, 1e6, 0);
        scenario.receiver.correlatedNoise = receiver.Number("correlatedNoise", 0, 1, 0);
        scenario.receiver.correlationNs = receiver.Number("correlationNs", 0.1, 1e6, scenario.receiver.correlationNs);
        scenario.receiver.drift = receiver.Number("drift", 0, 1, 0);
        if (!receiver.Ok())
            return std::nullopt;
    }
    const QJsonValue lines = root.value(QLatin1String("lines"));
    if (reader.Ok() && (!lines.isArray() || lines.toArray().size() != 2))
        reader.Fail("lines", QStringLiteral("an array of exactly two lines is required"));
    if (!reader.Ok())
        return std::nullopt;
    for (qsizetype i = 0; i < 2; ++i) {
        const auto cable = ReadCable(lines.toArray().at(i), QStringLiteral("lines[%1]").arg(i), error);
        if (!cable)
            return std::nullopt;
        scenario.lines[static_cast<std::size_t>(i)] = *cable;
    }
    return scenario;
}

std::optional<Scenario> Scenario::LoadFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QString detail;
    auto scenario = FromJson(file.readAll(), &detail);
    if (!scenario && error)
        *error = QStringLiteral("%1: %2").arg(path, detail);
    return scenario;
}

} // namespace sim
