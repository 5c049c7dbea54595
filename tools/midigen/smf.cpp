// SPDX-License-Identifier: GPL-3.0-or-later
#include "smf.h"

#include <algorithm>
#include <map>
#include <stdexcept>

namespace midigen
{

namespace
{

void putVlq(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    std::uint8_t buf[5];
    int n = 0;
    buf[n++] = value & 0x7F;
    while ((value >>= 7) != 0)
        buf[n++] = static_cast<std::uint8_t>(0x80 | (value & 0x7F));
    while (n > 0)
        out.push_back(buf[--n]);
}

void putBe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF));
}

class Reader
{
  public:
    Reader(const std::vector<std::uint8_t>& data, std::size_t begin, std::size_t end)
        : data_(data), pos_(begin), end_(end)
    {
    }
    bool atEnd() const { return pos_ >= end_; }
    std::size_t pos() const { return pos_; }
    std::uint8_t byte()
    {
        if (pos_ >= end_) throw std::runtime_error("unexpected end of data");
        return data_[pos_++];
    }
    std::uint8_t peek() const
    {
        if (pos_ >= end_) throw std::runtime_error("unexpected end of data");
        return data_[pos_];
    }
    std::uint32_t be(int bytes)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v = (v << 8) | byte();
        return v;
    }
    std::uint32_t vlq()
    {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t b = byte();
            v = (v << 7) | (b & 0x7F);
            if ((b & 0x80) == 0) return v;
        }
        throw std::runtime_error("variable-length number longer than 4 bytes");
    }
    void skip(std::uint32_t n)
    {
        if (n > end_ - pos_) throw std::runtime_error("unexpected end of data");
        pos_ += n;
    }

  private:
    const std::vector<std::uint8_t>& data_;
    std::size_t pos_;
    std::size_t end_;
};

struct TrackScan {
    std::uint64_t lastTick = 0;
    std::map<std::uint64_t, std::uint32_t> tempos; // tick -> microseconds per quarter
};

TrackScan scanTrack(Reader r)
{
    TrackScan scan;
    std::uint64_t tick = 0;
    int running = -1;
    while (!r.atEnd()) {
        tick += r.vlq();
        scan.lastTick = tick;
        std::uint8_t status = r.peek();
        if (status < 0x80) {
            if (running < 0) throw std::runtime_error("data byte without a status byte");
            status = static_cast<std::uint8_t>(running);
        } else {
            r.byte();
        }
        if (status == 0xFF) {
            std::uint8_t type = r.byte();
            std::uint32_t len = r.vlq();
            if (type == 0x51 && len == 3) {
                std::uint32_t us = r.be(3);
                if (us == 0) throw std::runtime_error("tempo of zero");
                scan.tempos[tick] = us;
            } else {
                r.skip(len);
            }
            if (type == 0x2F) return scan;
        } else if (status == 0xF0 || status == 0xF7) {
            r.skip(r.vlq());
        } else if (status >= 0xF0) {
            throw std::runtime_error("system message inside a track");
        } else {
            running = status;
            std::uint8_t kind = status & 0xF0;
            int dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
            for (int i = 0; i < dataBytes; ++i)
                if (r.byte() & 0x80)
                    throw std::runtime_error("status byte where data was expected");
        }
    }
    return scan;
}

double ticksToSeconds(std::uint64_t tick, const std::map<std::uint64_t, std::uint32_t>& tempos,
                      std::uint32_t division)
{
    double seconds = 0;
    std::uint64_t at = 0;
    std::uint32_t us = 500000; // the standard default: 120 beats per minute
    for (const auto& [t, value] : tempos) {
        if (t >= tick) break;
        seconds += static_cast<double>(t - at) * us / 1e6 / division;
        at = t;
        us = value;
    }
    seconds += static_cast<double>(tick - at) * us / 1e6 / division;
    return seconds;
}

} // namespace

std::vector<std::uint8_t> metaEvent(std::uint8_t type, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> out{0xFF, type};
    putVlq(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<std::uint8_t> encodeSmf(const MidiFile& file)
{
    std::vector<std::uint8_t> out{'M', 'T', 'h', 'd'};
    putBe(out, 6, 4);
    putBe(out, 1, 2);
    putBe(out, static_cast<std::uint32_t>(file.tracks.size()), 2);
    putBe(out, file.division, 2);
    for (const MidiTrack& track : file.tracks) {
        std::vector<MidiEvent> events = track.events;
        std::stable_sort(events.begin(), events.end(), [](const MidiEvent& a, const MidiEvent& b) {
            if (a.tick != b.tick) return a.tick < b.tick;
            if (a.order != b.order) return a.order < b.order;
            return a.seq < b.seq;
        });
        std::vector<std::uint8_t> body;
        std::uint32_t at = 0;
        for (const MidiEvent& e : events) {
            if (e.tick > file.endTick) throw std::logic_error("event after the end of the track");
            putVlq(body, e.tick - at);
            at = e.tick;
            body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        }
        putVlq(body, file.endTick - at);
        body.insert(body.end(), {0xFF, 0x2F, 0x00});
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        putBe(out, static_cast<std::uint32_t>(body.size()), 4);
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

double smfLengthSeconds(const std::vector<std::uint8_t>& data)
{
    Reader header(data, 0, data.size());
    if (data.size() < 14 || header.be(4) != 0x4D546864) // "MThd"
        throw std::runtime_error("not a Standard MIDI File (no MThd header)");
    std::uint32_t headerLen = header.be(4);
    if (headerLen < 6) throw std::runtime_error("MThd chunk too short");
    std::uint32_t format = header.be(2);
    std::uint32_t ntracks = header.be(2);
    std::uint32_t division = header.be(2);
    if (format > 2) throw std::runtime_error("unknown MIDI file format " + std::to_string(format));
    if (division == 0) throw std::runtime_error("time division of zero");
    header.skip(headerLen - 6);

    std::vector<TrackScan> scans;
    std::size_t pos = header.pos();
    while (pos < data.size() && scans.size() < ntracks) {
        Reader chunk(data, pos, data.size());
        std::uint32_t id = chunk.be(4);
        std::uint32_t len = chunk.be(4);
        std::size_t begin = chunk.pos();
        if (len > data.size() - begin)
            throw std::runtime_error("chunk runs past the end of the file");
        if (id == 0x4D54726B) // "MTrk"; other chunk types are skipped as the standard asks
            scans.push_back(scanTrack(Reader(data, begin, begin + len)));
        pos = begin + len;
    }
    if (scans.size() != ntracks)
        throw std::runtime_error("file announces " + std::to_string(ntracks) + " tracks but has " +
                                 std::to_string(scans.size()));

    if (division & 0x8000) {
        int fps = -static_cast<int>(static_cast<std::int8_t>(division >> 8));
        int perFrame = static_cast<int>(division & 0xFF);
        if (fps <= 0 || perFrame == 0) throw std::runtime_error("bad SMPTE time division");
        double rate = (fps == 29 ? 29.97 : fps) * perFrame;
        std::uint64_t last = 0;
        for (const TrackScan& s : scans)
            last = std::max(last, s.lastTick);
        return static_cast<double>(last) / rate;
    }

    double longest = 0;
    if (format == 2) {
        for (const TrackScan& s : scans)
            longest = std::max(longest, ticksToSeconds(s.lastTick, s.tempos, division));
        return longest;
    }
    std::map<std::uint64_t, std::uint32_t> tempos;
    std::uint64_t last = 0;
    for (const TrackScan& s : scans) {
        for (const auto& [t, us] : s.tempos)
            tempos[t] = us;
        last = std::max(last, s.lastTick);
    }
    return ticksToSeconds(last, tempos, division);
}

} // namespace midigen
