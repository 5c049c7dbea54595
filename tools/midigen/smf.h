// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace midigen
{

struct MidiEvent {
    std::uint32_t tick = 0;
    // Among events at one tick: 0 note-off, 1 meta/control, 2 note-on, so a note repeated
    // at the same pitch is released before it sounds again.
    int order = 1;
    std::uint32_t seq = 0;
    std::vector<std::uint8_t> bytes; // status and data, or FF type length data
};

struct MidiTrack {
    std::vector<MidiEvent> events; // the end-of-track event is added by encodeSmf
};

struct MidiFile {
    std::uint16_t division = 480;
    std::vector<MidiTrack> tracks;
    std::uint32_t endTick = 0; // every track ends here
};

std::vector<std::uint8_t> metaEvent(std::uint8_t type, const std::vector<std::uint8_t>& data);

// Format 1 file with all tracks closed at file.endTick.
std::vector<std::uint8_t> encodeSmf(const MidiFile& file);

// Playing time up to the last event of any track, tempo changes included.
// Throws std::runtime_error on a malformed file.
double smfLengthSeconds(const std::vector<std::uint8_t>& data);

} // namespace midigen
