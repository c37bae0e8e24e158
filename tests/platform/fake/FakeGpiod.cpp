#include "FakeGpiod.h"

#include <gpiod.h>

#include <cerrno>
#include <map>
#include <memory>
#include <vector>

struct gpiod_line {
    fakegpiod::LineState state;
};

struct gpiod_chip {
    std::vector<gpiod_line>* lines = nullptr;
};

namespace fakegpiod {

namespace {

struct World {
    std::map<std::string, std::vector<gpiod_line>> chips;
    bool refuseDirectionChanges = false;
    bool refuseRequests = false;
};

World& TheWorld() {
    static World world;
    return world;
}

} // namespace

void Reset() {
    TheWorld() = World{};
}

void AddChip(const std::string& name, unsigned lines) {
    TheWorld().chips[name].resize(lines);
}

LineState& Line(const std::string& chip, unsigned offset) {
    return TheWorld().chips.at(chip).at(offset).state;
}

void RefuseDirectionChanges(bool refuse) {
    TheWorld().refuseDirectionChanges = refuse;
}

void RefuseRequests(bool refuse) {
    TheWorld().refuseRequests = refuse;
}

} // namespace fakegpiod

using fakegpiod::TheWorld;

extern "C" {

gpiod_chip* gpiod_chip_open_lookup(const char* descr) {
    const auto found = TheWorld().chips.find(descr);
    if (found == TheWorld().chips.end()) {
        errno = ENOENT;
        return nullptr;
    }
    return new gpiod_chip{&found->second};
}

void gpiod_chip_close(gpiod_chip* chip) {
    for (gpiod_line& line : *chip->lines)
        line.state.held = false;
    delete chip;
}

gpiod_line* gpiod_chip_get_line(gpiod_chip* chip, unsigned int offset) {
    if (offset >= chip->lines->size()) {
        errno = EINVAL;
        return nullptr;
    }
    return &(*chip->lines)[offset];
}

int gpiod_line_request(gpiod_line* line, const gpiod_line_request_config* config, int default_val) {
    if (line->state.held || TheWorld().refuseRequests) {
        errno = EBUSY;
        return -1;
    }
    line->state.held = true;
    ++line->state.requests;
    if (config->request_type == GPIOD_LINE_REQUEST_DIRECTION_OUTPUT) {
        line->state.output = true;
        line->state.driven = default_val;
    } else if (config->request_type == GPIOD_LINE_REQUEST_DIRECTION_INPUT) {
        line->state.output = false;
    }
    return 0;
}

void gpiod_line_release(gpiod_line* line) {
    line->state.held = false;
}

int gpiod_line_direction(gpiod_line* line) {
    return line->state.output ? GPIOD_LINE_DIRECTION_OUTPUT : GPIOD_LINE_DIRECTION_INPUT;
}

int gpiod_line_get_value(gpiod_line* line) {
    if (!line->state.held) {
        errno = EPERM;
        return -1;
    }
    return line->state.output ? line->state.driven : line->state.outside;
}

int gpiod_line_set_value(gpiod_line* line, int value) {
    // The kernel sets only held outputs.
    if (!line->state.held || !line->state.output) {
        errno = EPERM;
        return -1;
    }
    line->state.driven = value;
    return 0;
}

static int ChangeDirection(gpiod_line* line, bool output, int value) {
    if (!line->state.held) {
        errno = EPERM;
        return -1;
    }
    if (TheWorld().refuseDirectionChanges) {
        errno = ENOTTY;
        return -1;
    }
    ++line->state.inPlaceChanges;
    line->state.output = output;
    if (output)
        line->state.driven = value;
    return 0;
}

int gpiod_line_set_direction_input(gpiod_line* line) {
    return ChangeDirection(line, false, 0);
}

int gpiod_line_set_direction_output(gpiod_line* line, int value) {
    return ChangeDirection(line, true, value);
}

} // extern "C"
