// The simulated board's side of the link: cutting the program's byte stream into command
// frames, and reading task frames into acquisition settings.
//
// Input: the first byte sets the chunk size the stream arrives in; the rest is the stream.
#include "sim/FrameSplitter.h"
#include "sim/Task.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <variant>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::size_t chunk = 1 + data[0] % 32;
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    sim::FrameSplitter splitter;
    std::vector<QByteArray> frames;
    for (qsizetype at = 0; at < stream.size(); at += static_cast<qsizetype>(chunk)) {
        for (QByteArray& frame : splitter.Feed(stream.mid(at, static_cast<qsizetype>(chunk))))
            frames.push_back(std::move(frame));
    }
    // How the stream is cut into reads does not change the frames found in it.
    sim::FrameSplitter whole;
    if (whole.Feed(stream) != frames)
        std::abort();

    for (const QByteArray& frame : frames) {
        const auto length = sim::CommandFrameLength(frame.isEmpty() ? '\0' : frame[0]);
        if (!length || *length != frame.size())
            std::abort();
        if (frame[0] != 'D')
            continue;
        const auto decoded = sim::DecodeTask(frame);
        if (const auto* task = std::get_if<sim::Task>(&decoded)) {
            const sim::SampleWindow window = sim::WindowOf(*task);
            window.LastBaseSample();
            sim::MeasuredLines(*task);
            sim::AcquisitionDelay(*task);
        }
    }
    return 0;
}
