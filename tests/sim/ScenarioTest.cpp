#include "sim/Scenario.h"

#include "SimTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kDefaultFile = QStringLiteral(PEL_SIM_SCENARIO_DIR "/default.json");

QByteArray Traces(const sim::Scenario& scenario) {
    sim::BoardModel board(scenario);
    QByteArray all;
    simtest::TaskFields task;
    for (const char mode : {'Y', 'L'}) {
        task.mode = mode;
        task.generator = task.receiver = 3;
        task.decimation = 15;
        board.Handle(task.Frame());
        all += board.Handle(simtest::kZ)->bytes;
        task.generator = 2; // split-pair mode
        task.receiver = 1;
        board.Handle(task.Frame());
        all += board.Handle(simtest::kZ)->bytes;
    }
    return all;
}

std::optional<sim::Scenario> Parse(const char* json, QString* error = nullptr) {
    return sim::Scenario::FromJson(QByteArray(json), error);
}

const char* const kTwoLines = R"({
    "seed": 99,
    "noise": 0.002,
    "launch": { "riseNs": 4, "overshoot": 0.2, "recovery": 0.03, "recoveryNs": 900 },
    "receiver": { "clipRecoveryNs": 80, "correlatedNoise": 0.001, "correlationNs": 12, "drift": 0.0004 },
    "lines": [
        { "ku": 1.6, "impedance": 120, "attenuation": 20, "length": 500, "termination": "load",
          "loadResistance": 40, "matching": 33,
          "events": [ { "type": "shunt", "at": 100, "resistance": 2000 },
                      { "type": "series", "at": 200, "resistance": 15 },
                      { "type": "splice", "at": 300, "impedance": 130 } ] },
        { "ku": 1.5, "impedance": 100, "attenuation": 15, "length": 700, "termination": "matched" }
    ]
})";

} // namespace

TEST(Scenarios, ShippedDefaultFileIsTheBuiltInDefault) {
    QString error;
    const auto loaded = sim::Scenario::LoadFile(kDefaultFile, &error);
    ASSERT_TRUE(loaded) << error.toStdString();
    EXPECT_EQ(*loaded, sim::Scenario::Default());

    sim::Scenario fromFile = *loaded;
    sim::Scenario builtIn = sim::Scenario::Default();
    fromFile.seed = builtIn.seed = 2024;
    EXPECT_EQ(Traces(fromFile), Traces(builtIn));
}

TEST(Scenarios, DefaultDescribesTheTwoTestLines) {
    const sim::Scenario scenario = sim::Scenario::Default();
    EXPECT_EQ(scenario.lines[0].length, 1234);
    EXPECT_EQ(scenario.lines[0].termination, sim::Termination::Open);
    EXPECT_EQ(scenario.lines[1].length, 870);
    EXPECT_EQ(scenario.lines[1].termination, sim::Termination::Short);
    ASSERT_TRUE(scenario.pairSplit);
    EXPECT_EQ(scenario.pairSplit->distance, 450);
    EXPECT_FALSE(scenario.seed);
}

TEST(Scenarios, ReadsEveryKindOfEventAndTermination) {
    QString error;
    const auto scenario = Parse(kTwoLines, &error);
    ASSERT_TRUE(scenario) << error.toStdString();
    EXPECT_EQ(scenario->seed, 99u);
    EXPECT_DOUBLE_EQ(scenario->noise, 0.002);
    EXPECT_FALSE(scenario->pairSplit);
    const sim::Cable& first = scenario->lines[0];
    EXPECT_DOUBLE_EQ(first.ku, 1.6);
    EXPECT_DOUBLE_EQ(first.impedance, 120);
    EXPECT_EQ(first.termination, sim::Termination::Load);
    EXPECT_DOUBLE_EQ(first.loadResistance, 40);
    EXPECT_EQ(first.matching, 33);
    ASSERT_EQ(first.events.size(), 3u);
    EXPECT_EQ(first.events[0], (sim::CableEvent{sim::CableEvent::Kind::Shunt, 100, 0, 0, 2000}));
    EXPECT_EQ(first.events[1], (sim::CableEvent{sim::CableEvent::Kind::Series, 200, 0, 0, 15}));
    EXPECT_EQ(first.events[2], (sim::CableEvent{sim::CableEvent::Kind::Splice, 300, 0, 130, 0}));
    EXPECT_EQ(scenario->lines[1].termination, sim::Termination::Matched);
    EXPECT_EQ(scenario->lines[1].matching, 100);
    EXPECT_EQ(scenario->launch, (sim::Launch{4, 0.2, 0.03, 900}));
    EXPECT_EQ(scenario->receiver, (sim::ReceiverTraits{80, 0.001, 12, 0.0004}));
}

TEST(Scenarios, MistakesAreRefusedWithTheirPlace) {
    struct Case {
        const char* json;
        const char* place;
    };
    const std::vector<Case> cases = {
        {"{", "not JSON"},
        {"[]", "JSON object"},
        {R"({"lines": []})", "scenario.lines"},
        {R"({"noise": -1, "lines": []})", "scenario.noise"},
        {R"({"pairSplit": {"coupling": 0.2}, "lines": []})", "pairSplit.distance"},
        {R"({"launch": {"overshoot": 0.9}, "lines": []})", "launch.overshoot"},
        {R"({"receiver": 3, "lines": []})", "scenario.receiver"},
        {R"({"lines": [{"ku": 1.5, "impedance": 100, "attenuation": 15, "length": 10, "termination": "ajar"}, {}]})",
         "lines[0].termination"},
        {R"({"lines": [{"ku": 0.5, "impedance": 100, "attenuation": 15, "length": 10, "termination": "open"}, {}]})",
         "lines[0].ku"},
        {R"({"lines": [{"ku": 1.5, "impedance": 100, "attenuation": 15, "length": 10, "termination": "open",
             "events": [{"type": "wet", "from": 5, "to": 4, "impedance": 80}]}, {}]})",
         "lines[0].events[0].to"},
        {R"({"lines": [{"ku": 1.5, "impedance": 100, "attenuation": 15, "length": 10, "termination": "open",
             "events": [{"type": "crack", "at": 5}]}, {}]})",
         "lines[0].events[0].type"},
        {R"({"lines": [{"ku": 1.5, "impedance": 100, "attenuation": 15, "length": 10, "termination": "open"},
             {"ku": 1.5, "impedance": 100, "attenuation": 15, "termination": "open"}]})",
         "lines[1].length"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_FALSE(Parse(c.json, &error)) << c.json;
        EXPECT_TRUE(error.contains(QLatin1String(c.place))) << error.toStdString() << " / " << c.place;
    }
}

TEST(Scenarios, MissingFileIsAnError) {
    QTemporaryDir folder;
    QString error;
    EXPECT_FALSE(sim::Scenario::LoadFile(folder.filePath(QStringLiteral("none.json")), &error));
    EXPECT_TRUE(error.contains(QLatin1String("none.json")));
}
