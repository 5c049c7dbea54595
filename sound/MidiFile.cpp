// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/MidiFile.h"

#include <algorithm>
#include <cmath>

namespace
{

// More events than any cue has by far; a file beyond it is taken as damaged.
constexpr std::size_t kMaxEvents = 2'000'000;
constexpr std::uint32_t kDefaultTempo = 500000; // microseconds per quarter note

class Reader
{
  public:
    Reader(const unsigned char* data, std::size_t size) : p_(data), end_(data + size) {}
    bool atEnd() const { return p_ >= end_; }
    std::size_t left() const { return std::size_t(end_ - p_); }
    bool byte(std::uint8_t& out)
    {
        if (p_ >= end_) return false;
        out = *p_++;
        return true;
    }
    bool peek(std::uint8_t& out) const
    {
        if (p_ >= end_) return false;
        out = *p_;
        return true;
    }
    bool bigEndian(std::uint32_t& out, int bytes)
    {
        if (left() < std::size_t(bytes)) return false;
        out = 0;
        for (int i = 0; i < bytes; ++i)
            out = (out << 8) | *p_++;
        return true;
    }
    bool varLen(std::uint32_t& out)
    {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t b = 0;
            if (!byte(b)) return false;
            out = (out << 7) | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        return false; // longer than the four bytes the format allows
    }
    bool skip(std::size_t n)
    {
        if (left() < n) return false;
        p_ += n;
        return true;
    }
    const unsigned char* here() const { return p_; }

  private:
    const unsigned char* p_;
    const unsigned char* end_;
};

struct TickEvent {
    std::uint64_t tick;
    std::uint32_t order; // position in the file, for a stable merge
    std::uint8_t status, data1, data2;
    std::uint32_t tempo; // for tempo changes (status 0)
};

int dataBytes(std::uint8_t status)
{
    const std::uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

bool readTrack(Reader track, std::vector<TickEvent>& out, std::uint64_t& endTick)
{
    std::uint64_t tick = 0;
    std::uint8_t running = 0;
    while (!track.atEnd()) {
        std::uint32_t delta = 0;
        if (!track.varLen(delta)) return false;
        tick += delta;
        std::uint8_t first = 0;
        if (!track.peek(first)) return false;
        if (first == 0xFF) { // meta event
            track.skip(1);
            std::uint8_t type = 0;
            std::uint32_t length = 0;
            if (!track.byte(type) || !track.varLen(length)) return false;
            const unsigned char* data = track.here();
            if (!track.skip(length)) return false;
            if (type == 0x51 && length == 3) {
                const std::uint32_t tempo = (data[0] << 16) | (data[1] << 8) | data[2];
                if (tempo == 0) return false;
                out.push_back({tick, std::uint32_t(out.size()), 0, 0, 0, tempo});
            } else if (type == 0x2F) {
                endTick = std::max(endTick, tick);
                return true;
            }
            running = 0;
        } else if (first == 0xF0 || first == 0xF7) { // system exclusive: not used here
            track.skip(1);
            std::uint32_t length = 0;
            if (!track.varLen(length) || !track.skip(length)) return false;
            running = 0;
        } else {
            std::uint8_t status = running;
            if (first & 0x80) {
                track.skip(1);
                status = first;
                if (status >= 0xF0) return false; // no system common messages in a file
            }
            if (!status) return false; // data without a status to run on
            running = status;
            std::uint8_t d1 = 0, d2 = 0;
            if (!track.byte(d1) || (d1 & 0x80)) return false;
            if (dataBytes(status) == 2 && (!track.byte(d2) || (d2 & 0x80))) return false;
            out.push_back({tick, std::uint32_t(out.size()), status, d1, d2, 0});
        }
        if (out.size() > kMaxEvents) return false;
        endTick = std::max(endTick, tick);
    }
    return true; // a track without its end-of-track event ends after its last event
}

} // namespace

std::optional<MidiSequence> ParseMidi(const QByteArray& bytes, int sampleRate)
{
    Reader file(reinterpret_cast<const unsigned char*>(bytes.constData()),
                std::size_t(bytes.size()));
    std::uint32_t magic = 0, headerLength = 0, format = 0, trackCount = 0, division = 0;
    if (!file.bigEndian(magic, 4) || magic != 0x4D546864 /* MThd */) return std::nullopt;
    if (!file.bigEndian(headerLength, 4) || headerLength < 6) return std::nullopt;
    if (!file.bigEndian(format, 2) || !file.bigEndian(trackCount, 2) ||
        !file.bigEndian(division, 2) || !file.skip(headerLength - 6))
        return std::nullopt;
    if (format > 1 || trackCount == 0 || division == 0) return std::nullopt;

    // Ticks to microseconds: quarter-note ticks follow the tempo, SMPTE ticks do not.
    const bool smpte = division & 0x8000;
    double smpteTickUs = 0;
    if (smpte) {
        const int framesPerSecond = -std::int8_t(division >> 8);
        const int ticksPerFrame = division & 0xFF;
        if (framesPerSecond <= 0 || ticksPerFrame == 0) return std::nullopt;
        smpteTickUs =
            1e6 / (double(framesPerSecond == 29 ? 29.97 : framesPerSecond) * ticksPerFrame);
    }

    std::vector<TickEvent> events;
    std::uint64_t endTick = 0;
    std::uint32_t tracksRead = 0;
    while (tracksRead < trackCount) {
        std::uint32_t id = 0, length = 0;
        if (!file.bigEndian(id, 4) || !file.bigEndian(length, 4)) return std::nullopt;
        if (file.left() < length) return std::nullopt;
        if (id == 0x4D54726B /* MTrk */) {
            std::vector<TickEvent> trackEvents;
            if (!readTrack(Reader(file.here(), length), trackEvents, endTick)) return std::nullopt;
            for (TickEvent& e : trackEvents)
                e.order += std::uint32_t(events.size());
            events.insert(events.end(), trackEvents.begin(), trackEvents.end());
            if (events.size() > kMaxEvents) return std::nullopt;
            ++tracksRead;
        }
        file.skip(length);
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const TickEvent& a, const TickEvent& b) { return a.tick < b.tick; });

    MidiSequence seq;
    seq.events.reserve(events.size());
    // Time is summed per tempo segment in whole microseconds times ticks, so that
    // round lengths come out exact.
    double segmentStartUs = 0;
    std::uint64_t segmentStartTick = 0;
    std::uint32_t tempo = kDefaultTempo;
    auto microseconds = [&](std::uint64_t tick) {
        if (smpte) return double(tick) * smpteTickUs;
        return segmentStartUs + double((tick - segmentStartTick) * tempo) / double(division);
    };
    for (const TickEvent& e : events) {
        if (e.status == 0) {
            if (!smpte) {
                segmentStartUs = microseconds(e.tick);
                segmentStartTick = e.tick;
                tempo = e.tempo;
            }
            continue;
        }
        const double us = microseconds(e.tick);
        seq.events.push_back(
            {std::int64_t(std::llround(us * sampleRate / 1e6)), e.status, e.data1, e.data2});
        if ((e.status & 0xF0) == 0x90 && e.data2 > 0) seq.hasNotes = true;
    }
    seq.lengthSeconds = microseconds(endTick) / 1e6;
    seq.lengthFrames = std::llround(seq.lengthSeconds * sampleRate);
    return seq;
}
