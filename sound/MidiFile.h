// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <vector>

// A Standard MIDI File read into one list of channel messages, timed in frames
// of the synthesizer's output, so that the sequencer can place every event on
// its exact sample.
struct MidiSequence {
    struct Event {
        std::int64_t frame = 0;
        std::uint8_t status = 0; // channel message: 0x80..0xEF
        std::uint8_t data1 = 0;
        std::uint8_t data2 = 0;
    };
    std::vector<Event> events; // in playing order
    std::int64_t lengthFrames = 0;
    double lengthSeconds = 0; // up to the end of the longest track
    bool hasNotes = false;
};

// Null when the bytes are not a Standard MIDI File of format 0 or 1 (or are cut short).
std::optional<MidiSequence> ParseMidi(const QByteArray& bytes, int sampleRate);
