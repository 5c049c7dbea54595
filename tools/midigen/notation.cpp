// SPDX-License-Identifier: GPL-3.0-or-later
#include "notation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <string_view>
#include <utility>

namespace midigen
{

namespace
{

constexpr int kDivision = 480;
// About nine hours at the slowest tempo: far beyond any cue, far below 32-bit overflow.
constexpr std::uint64_t kMaxTicks = 1u << 28;
constexpr std::size_t kMaxExpandedTokens = 1'000'000;
constexpr int kDrumChannel = 10;

struct Token {
    std::string text;
    int line = 0;
};

struct Track {
    std::string name;
    int line = 0;
    int program = -1; // 1-based as in the General MIDI list; -1: none sent
    int channel = -1; // 1-based
    int volume = 100;
    int pan = 64;
    int reverb = -1;
    int chorus = -1;
    int expression = -1;
    int velocity = 80;
    int gate = 95;
    int transpose = 0;
    std::vector<Token> body;
};

enum class EndMode { None, Loop, Tail };

struct Header {
    std::optional<double> bpm;
    int timeNum = 4;
    int timeDen = 4;
    bool haveTime = false;
    std::optional<std::pair<int, int>> key; // sharps (negative: flats), minor
    EndMode end = EndMode::None;
    double tailSeconds = 0;
    std::string title;
};

struct NoteSpan {
    int channel;
    int pitch;
    int velocity;
    std::uint32_t on;
    std::uint32_t off;
    int line;
    std::size_t track;
};

struct Control {
    std::uint32_t tick;
    std::vector<std::uint8_t> bytes;
};

[[noreturn]] void fail(int line, const std::string& message)
{
    throw NotationError(line, message);
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::vector<std::string> words(std::string_view s)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        std::size_t j = i;
        while (j < s.size() && s[j] != ' ' && s[j] != '\t')
            ++j;
        if (j > i) out.emplace_back(s.substr(i, j - i));
        i = j;
    }
    return out;
}

std::optional<int> toInt(std::string_view s)
{
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    int value = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || ptr != s.data() + s.size()) return std::nullopt;
    return value;
}

std::optional<double> toNumber(std::string_view s)
{
    double value = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || ptr != s.data() + s.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

int intInRange(std::string_view text, int lo, int hi, const std::string& what, int line)
{
    auto v = toInt(text);
    if (!v || *v < lo || *v > hi)
        fail(line, what + " must be a whole number from " + std::to_string(lo) + " to " +
                       std::to_string(hi) + ", got '" + std::string(text) + "'");
    return *v;
}

double tempoValue(std::string_view text, int line)
{
    auto v = toNumber(text);
    if (!v || *v < 10 || *v > 400)
        fail(line,
             "tempo must be 10 to 400 quarter notes per minute, got '" + std::string(text) + "'");
    return *v;
}

std::pair<int, int> keySignature(const std::string& name, int line)
{
    static const std::map<std::string, int> major = {
        {"Cb", -7}, {"Gb", -6}, {"Db", -5}, {"Ab", -4}, {"Eb", -3}, {"Bb", -2}, {"F", -1}, {"C", 0},
        {"G", 1},   {"D", 2},   {"A", 3},   {"E", 4},   {"B", 5},   {"F#", 6},  {"C#", 7}};
    static const std::map<std::string, int> minor = {
        {"Ab", -7}, {"Eb", -6}, {"Bb", -5}, {"F", -4}, {"C", -3}, {"G", -2}, {"D", -1}, {"A", 0},
        {"E", 1},   {"B", 2},   {"F#", 3},  {"C#", 4}, {"G#", 5}, {"D#", 6}, {"A#", 7}};
    if (name.size() > 1 && name.back() == 'm') {
        auto it = minor.find(name.substr(0, name.size() - 1));
        if (it != minor.end()) return {it->second, 1};
    } else {
        auto it = major.find(name);
        if (it != major.end()) return {it->second, 0};
    }
    fail(line, "unknown key '" + name + "' (write e.g. D, Bb, F#m, Bm)");
}

const std::map<std::string, int>& drumNames()
{
    static const std::map<std::string, int> names = {
        {"kick2", 35},   {"kick", 36},      {"stick", 37},   {"snare", 38},    {"clap", 39},
        {"snare2", 40},  {"tomfloor2", 41}, {"hat", 42},     {"tomfloor", 43}, {"pedalhat", 44},
        {"tomlow", 45},  {"openhat", 46},   {"tommid", 47},  {"tomhimid", 48}, {"crash", 49},
        {"tomhigh", 50}, {"ride", 51},      {"china", 52},   {"ridebell", 53}, {"tambourine", 54},
        {"splash", 55},  {"cowbell", 56},   {"crash2", 57},  {"ride2", 59},    {"bongohi", 60},
        {"bongolo", 61}, {"congamute", 62}, {"congahi", 63}, {"congalo", 64},  {"cabasa", 69},
        {"shaker", 70},  {"claves", 75},    {"woodhi", 76},  {"woodlo", 77},   {"triangleshut", 80},
        {"triangle", 81}};
    return names;
}

struct Pitch {
    int number;
    bool drum;
};

Pitch parsePitch(std::string_view s, int line)
{
    if (s.empty()) fail(line, "missing pitch");
    if (s.front() >= '0' && s.front() <= '9')
        return {intInRange(s, 0, 127, "a MIDI note number", line), false};
    if (s.front() >= 'a' && s.front() <= 'z') {
        auto it = drumNames().find(std::string(s));
        if (it == drumNames().end())
            fail(line, "unknown note or drum name '" + std::string(s) +
                           "' (notes are written like C4, F#5, Bb3; drums like kick, snare, hat)");
        return {it->second, true};
    }
    static const int steps[] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
    if (s.front() < 'A' || s.front() > 'G')
        fail(line, "bad pitch '" + std::string(s) + "' (write e.g. C4, F#5, Bb3, or 0-127)");
    int pc = steps[s.front() - 'A'];
    std::size_t i = 1;
    for (; i < s.size() && (s[i] == '#' || s[i] == 'b'); ++i)
        pc += s[i] == '#' ? 1 : -1;
    auto octave = toInt(s.substr(i));
    if (!octave || *octave < -1 || *octave > 9)
        fail(line, "pitch '" + std::string(s) + "' needs an octave from -1 to 9 (C4 is middle C)");
    int number = (*octave + 1) * 12 + pc;
    if (number < 0 || number > 127)
        fail(line, "pitch '" + std::string(s) + "' is outside the MIDI range");
    return {number, false};
}

// "4" quarter, "8." dotted eighth, "8t" triplet eighth, "2+8" tied sum.
std::uint32_t parseDuration(std::string_view s, int line)
{
    if (s.empty()) fail(line, "empty duration after ':'");
    std::uint64_t total = 0;
    while (true) {
        std::size_t plus = s.find('+');
        std::string_view part = s.substr(0, plus);
        std::size_t digits = 0;
        while (digits < part.size() && part[digits] >= '0' && part[digits] <= '9')
            ++digits;
        auto base = toInt(part.substr(0, digits));
        if (!base || (*base != 1 && *base != 2 && *base != 4 && *base != 8 && *base != 16 &&
                      *base != 32 && *base != 64))
            fail(line, "bad duration '" + std::string(part) +
                           "' (use 1 2 4 8 16 32 64, optionally followed by dots or t)");
        std::size_t i = digits;
        int dots = 0;
        while (i < part.size() && part[i] == '.') {
            ++dots;
            ++i;
        }
        bool triplet = false;
        if (i < part.size() && part[i] == 't') {
            triplet = true;
            ++i;
        }
        if (i != part.size() || dots > 3) fail(line, "bad duration '" + std::string(part) + "'");
        std::uint64_t num = static_cast<std::uint64_t>(kDivision) * 4 * ((2u << dots) - 1);
        std::uint64_t den = static_cast<std::uint64_t>(*base) << dots;
        if (triplet) {
            num *= 2;
            den *= 3;
        }
        if (num % den != 0)
            fail(line, "duration '" + std::string(part) + "' is too fine to represent");
        total += num / den;
        if (plus == std::string_view::npos) break;
        s.remove_prefix(plus + 1);
    }
    return static_cast<std::uint32_t>(total);
}

std::vector<Token> tokenize(std::string_view text, int line)
{
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i >= text.size()) break;
        std::size_t j = i;
        if (text[i] == '[') {
            j = text.find(']', i);
            if (j == std::string_view::npos)
                fail(line, "chord '[' without closing ']' on the same line");
        }
        while (j < text.size() && text[j] != ' ' && text[j] != '\t')
            ++j;
        out.push_back({std::string(text.substr(i, j - i)), line});
        i = j;
    }
    return out;
}

std::optional<int> repeatCount(const std::string& t)
{
    if (t.size() < 3 || t[0] != '}' || (t[1] != 'x' && t[1] != '*')) return std::nullopt;
    return toInt(std::string_view(t).substr(2));
}

void expand(const std::vector<Token>& in, std::size_t& pos, std::vector<Token>& out, int depth,
            int openLine)
{
    while (pos < in.size()) {
        const Token& t = in[pos];
        if (t.text == "{") {
            if (depth >= 16) fail(t.line, "repeats nested too deeply");
            ++pos;
            std::vector<Token> inner;
            expand(in, pos, inner, depth + 1, t.line);
            // expand() returns with pos on the closing token
            const Token& close = in[pos];
            auto n = repeatCount(close.text);
            if (!n || *n < 1 || *n > 1000)
                fail(close.line, "repeat count must be 1 to 1000, as in }x4");
            for (int k = 0; k < *n; ++k) {
                if (out.size() + inner.size() > kMaxExpandedTokens)
                    fail(close.line, "repeats expand to too many notes");
                out.insert(out.end(), inner.begin(), inner.end());
            }
            ++pos;
        } else if (t.text[0] == '{') {
            fail(t.line, "write '{' apart, as in { C4:8 D4 }x2");
        } else if (t.text[0] == '}') {
            if (depth == 0) fail(t.line, "'" + t.text + "' without a matching '{'");
            if (!repeatCount(t.text)) fail(t.line, "close a repeat with }xN, e.g. }x4");
            return;
        } else {
            out.push_back(t);
            ++pos;
        }
    }
    if (depth > 0) fail(openLine, "'{' is never closed with }xN");
}

std::vector<std::uint8_t> channelMessage(int status, int channel, int a, int b = -1)
{
    std::vector<std::uint8_t> m{static_cast<std::uint8_t>(status | (channel - 1)),
                                static_cast<std::uint8_t>(a)};
    if (b >= 0) m.push_back(static_cast<std::uint8_t>(b));
    return m;
}

std::string pitchName(int p)
{
    static const char* names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    return names[p % 12] + std::to_string(p / 12 - 1);
}

class TrackPlayer
{
  public:
    TrackPlayer(const Track& track, std::size_t index, std::uint32_t barTicks, int beatTicks)
        : track_(track), index_(index), barTicks_(barTicks), beatTicks_(beatTicks),
          velocity_(track.velocity), gate_(track.gate), transpose_(track.transpose)
    {
    }

    void play(const std::vector<Token>& tokens)
    {
        for (const Token& t : tokens)
            step(t);
        if (!ties_.empty()) fail(ties_.begin()->second.line, "the track ends on a tied note");
    }

    std::uint32_t cursor() const { return cursor_; }
    std::vector<NoteSpan> notes;
    std::vector<Control> controls;

  private:
    struct Tie {
        std::uint32_t start;
        int velocity;
        int line;
    };

    void step(const Token& t)
    {
        const std::string& s = t.text;
        if (s == "|") {
            if (cursor_ % barTicks_ != 0) {
                std::uint32_t into = cursor_ % barTicks_;
                fail(t.line, "bar check failed: bar " + std::to_string(cursor_ / barTicks_ + 1) +
                                 " is " + describe(into) + " long so far");
            }
            return;
        }
        if (s.find('=') != std::string::npos && s.front() != '[') {
            setting(t);
            return;
        }
        if (s.front() == '[') {
            std::size_t close = s.find(']');
            std::vector<std::string> parts = words(std::string_view(s).substr(1, close - 1));
            if (parts.empty()) fail(t.line, "empty chord");
            std::vector<Pitch> pitches;
            for (const std::string& p : parts)
                pitches.push_back(parsePitch(p, t.line));
            sound(pitches, std::string_view(s).substr(close + 1), t.line);
            return;
        }
        std::size_t cut = s.find_first_of(":@~");
        std::string_view head = std::string_view(s).substr(0, cut);
        std::string_view tail =
            cut == std::string::npos ? std::string_view() : std::string_view(s).substr(cut);
        if (head == "r") {
            Suffix suf = suffix(tail, t.line);
            if (suf.velocity || suf.tie) fail(t.line, "a rest takes only a duration, as in r:4");
            if (!ties_.empty())
                fail(t.line, "a rest cannot follow a tied note (line " +
                                 std::to_string(ties_.begin()->second.line) + ")");
            advance(suf.duration, t.line);
            return;
        }
        sound({parsePitch(head, t.line)}, tail, t.line);
    }

    std::string describe(std::uint32_t ticks) const
    {
        if (ticks % beatTicks_ == 0) return std::to_string(ticks / beatTicks_) + " beat(s)";
        return std::to_string(ticks) + "/" + std::to_string(beatTicks_) + " of a beat";
    }

    struct Suffix {
        std::uint32_t duration;
        std::optional<int> velocity;
        bool tie = false;
    };

    Suffix suffix(std::string_view s, int line)
    {
        Suffix out{duration_, std::nullopt, false};
        if (!s.empty() && s.back() == '~') {
            out.tie = true;
            s.remove_suffix(1);
        }
        std::size_t at = s.find('@');
        std::string_view dur = s.substr(0, at);
        if (!dur.empty()) {
            if (dur.front() != ':') fail(line, "expected ':' before the duration, as in C4:8");
            out.duration = duration_ = parseDuration(dur.substr(1), line);
        }
        if (at != std::string_view::npos)
            out.velocity = intInRange(s.substr(at + 1), 1, 127, "velocity after '@'", line);
        return out;
    }

    void advance(std::uint32_t ticks, int line)
    {
        if (cursor_ + static_cast<std::uint64_t>(ticks) > kMaxTicks)
            fail(line, "the cue is far too long");
        cursor_ += ticks;
    }

    void sound(const std::vector<Pitch>& pitches, std::string_view rest, int line)
    {
        Suffix suf = suffix(rest, line);
        int velocity = suf.velocity.value_or(velocity_);
        std::vector<int> numbers;
        for (const Pitch& p : pitches) {
            if (p.drum && track_.channel != kDrumChannel)
                fail(line, "drum names play only on channel 10");
            int n = p.number + (p.drum || track_.channel == kDrumChannel ? 0 : transpose_);
            if (n < 0 || n > 127) fail(line, "transposed pitch is outside the MIDI range");
            if (std::find(numbers.begin(), numbers.end(), n) != numbers.end())
                fail(line, "the chord has " + pitchName(n) + " twice");
            numbers.push_back(n);
        }
        for (const auto& [pitch, tie] : ties_)
            if (std::find(numbers.begin(), numbers.end(), pitch) == numbers.end())
                fail(line, pitchName(pitch) + " tied at line " + std::to_string(tie.line) +
                               " does not go on here");
        std::map<int, Tie> next;
        for (int n : numbers) {
            auto tied = ties_.find(n);
            std::uint32_t start = tied != ties_.end() ? tied->second.start : cursor_;
            int vel = tied != ties_.end() ? tied->second.velocity : velocity;
            if (suf.tie) {
                next[n] = {start, vel, line};
            } else {
                std::uint32_t held = static_cast<std::uint32_t>(
                    static_cast<std::uint64_t>(suf.duration) * gate_ / 100);
                std::uint32_t off = std::max(cursor_ + held, start + 1);
                notes.push_back({track_.channel, n, vel, start, off, line, index_});
            }
        }
        ties_ = std::move(next);
        advance(suf.duration, line);
    }

    void setting(const Token& t)
    {
        std::size_t eq = t.text.find('=');
        std::string key = t.text.substr(0, eq);
        std::string_view value = std::string_view(t.text).substr(eq + 1);
        int ch = track_.channel;
        if (key == "v") {
            velocity_ = intInRange(value, 1, 127, "velocity", t.line);
        } else if (key == "v+" || key == "v-") {
            int d = intInRange(value, 0, 127, "velocity step", t.line);
            velocity_ = std::clamp(velocity_ + (key == "v+" ? d : -d), 1, 127);
        } else if (key == "gate") {
            gate_ = intInRange(value, 1, 100, "gate (percent of each note that sounds)", t.line);
        } else if (key == "transpose") {
            transpose_ = intInRange(value, -48, 48, "transpose", t.line);
        } else if (key == "program") {
            int p = intInRange(value, 1, 128, "program", t.line);
            controls.push_back({cursor_, channelMessage(0xC0, ch, p - 1)});
        } else if (key == "tempo") {
            // GStreamer's midiparse, the game's decoder, times every event after a tempo
            // change as if the new tempo had held from the start.
            fail(t.line, "tempo changes are not allowed: the game's MIDI decoder mistimes "
                         "them; write a slowing down in longer note values");
        } else {
            static const std::map<std::string, int> named = {
                {"volume", 7}, {"pan", 10}, {"expression", 11}, {"reverb", 91}, {"chorus", 93}};
            int number = -1;
            if (auto it = named.find(key); it != named.end())
                number = it->second;
            else if (key.size() > 2 && key.compare(0, 2, "cc") == 0)
                number = intInRange(std::string_view(key).substr(2), 0, 119, "controller number",
                                    t.line);
            else
                fail(t.line, "unknown setting '" + key + "'");
            controls.push_back(
                {cursor_, channelMessage(0xB0, ch, number,
                                         intInRange(value, 0, 127, key + " value", t.line))});
        }
    }

    const Track& track_;
    std::size_t index_;
    std::uint32_t barTicks_;
    std::uint32_t beatTicks_;
    std::uint32_t cursor_ = 0;
    std::uint32_t duration_ = kDivision;
    int velocity_;
    int gate_;
    int transpose_;
    std::map<int, Tie> ties_;
};

void parseHeaderLine(const std::vector<std::string>& w, Header& h, int line)
{
    const std::string& d = w[0];
    auto need = [&](std::size_t n, const char* usage) {
        if (w.size() != n) fail(line, std::string("usage: ") + usage);
    };
    if (d == "tempo") {
        need(2, "tempo BPM");
        if (h.bpm) fail(line, "tempo given twice; change it inside a track with tempo=BPM");
        h.bpm = tempoValue(w[1], line);
    } else if (d == "time") {
        need(2, "time N/D, e.g. time 3/4");
        if (h.haveTime) fail(line, "time signature given twice");
        std::size_t slash = w[1].find('/');
        if (slash == std::string::npos) fail(line, "usage: time N/D, e.g. time 3/4");
        h.timeNum =
            intInRange(std::string_view(w[1]).substr(0, slash), 1, 32, "beats per bar", line);
        h.timeDen = intInRange(std::string_view(w[1]).substr(slash + 1), 1, 32, "beat unit", line);
        if ((h.timeDen & (h.timeDen - 1)) != 0)
            fail(line, "beat unit must be 1, 2, 4, 8, 16 or 32");
        h.haveTime = true;
    } else if (d == "key") {
        need(2, "key NAME, e.g. key D or key Bm");
        h.key = keySignature(w[1], line);
    } else if (d == "title") {
        if (w.size() < 2) fail(line, "usage: title TEXT");
        h.title.clear();
        for (std::size_t i = 1; i < w.size(); ++i)
            h.title += (i > 1 ? " " : "") + w[i];
    } else if (d == "end") {
        if (h.end != EndMode::None) fail(line, "'end' given twice");
        if (w.size() == 2 && w[1] == "loop") {
            h.end = EndMode::Loop;
        } else if (w.size() == 3 && w[1] == "tail") {
            auto s = toNumber(w[2]);
            if (!s || *s < 0 || *s > 10) fail(line, "tail must be 0 to 10 seconds");
            h.end = EndMode::Tail;
            h.tailSeconds = *s;
        } else {
            fail(line, "usage: end loop | end tail SECONDS");
        }
    } else {
        fail(line,
             "unknown directive '" + d + "' (expected tempo, time, key, title, end or track)");
    }
}

Track parseTrackLine(const std::vector<std::string>& w, int line)
{
    if (w.size() < 2 || w[1].find('=') != std::string::npos)
        fail(line, "usage: track NAME channel=N [program=N volume=N ...]");
    Track t;
    t.name = w[1];
    t.line = line;
    for (std::size_t i = 2; i < w.size(); ++i) {
        std::size_t eq = w[i].find('=');
        if (eq == std::string::npos) fail(line, "expected key=value, got '" + w[i] + "'");
        std::string key = w[i].substr(0, eq);
        std::string_view v = std::string_view(w[i]).substr(eq + 1);
        if (key == "program")
            t.program = intInRange(v, 1, 128, "program (General MIDI number)", line);
        else if (key == "channel")
            t.channel = intInRange(v, 1, 16, "channel", line);
        else if (key == "volume")
            t.volume = intInRange(v, 0, 127, "volume", line);
        else if (key == "pan")
            t.pan = intInRange(v, 0, 127, "pan", line);
        else if (key == "reverb")
            t.reverb = intInRange(v, 0, 127, "reverb", line);
        else if (key == "chorus")
            t.chorus = intInRange(v, 0, 127, "chorus", line);
        else if (key == "expression")
            t.expression = intInRange(v, 0, 127, "expression", line);
        else if (key == "velocity")
            t.velocity = intInRange(v, 1, 127, "velocity", line);
        else if (key == "gate")
            t.gate = intInRange(v, 1, 100, "gate", line);
        else if (key == "transpose")
            t.transpose = intInRange(v, -48, 48, "transpose", line);
        else
            fail(line, "unknown track setting '" + key + "'");
    }
    if (t.channel < 0) fail(line, "track '" + t.name + "' needs channel=1..16");
    if (t.program < 0 && t.channel != kDrumChannel)
        fail(line, "track '" + t.name + "' needs program=1..128");
    return t;
}

std::uint32_t secondsToTicks(double seconds, double bpm)
{
    return static_cast<std::uint32_t>(std::lround(seconds * bpm / 60.0 * kDivision));
}

std::vector<std::uint8_t> tempoBytes(double bpm)
{
    auto us = static_cast<std::uint32_t>(std::lround(60'000'000.0 / bpm));
    return metaEvent(0x51, {static_cast<std::uint8_t>(us >> 16), static_cast<std::uint8_t>(us >> 8),
                            static_cast<std::uint8_t>(us)});
}

std::vector<std::uint8_t> textBytes(const std::string& s)
{
    return std::vector<std::uint8_t>(s.begin(), s.end());
}

} // namespace

MidiFile parseNotation(const std::string& text)
{
    Header header;
    std::vector<Track> tracks;
    int lineNo = 0;
    int lastLine = 0;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t nl = text.find('\n', pos);
        std::string_view raw = std::string_view(text).substr(
            pos, nl == std::string::npos ? std::string::npos : nl - pos);
        pos = nl == std::string::npos ? text.size() + 1 : nl + 1;
        ++lineNo;
        lastLine = lineNo;
        if (raw.find('\0') != std::string_view::npos) fail(lineNo, "the file is not text");
        std::size_t comment = raw.find("//");
        std::string_view line = trim(raw.substr(0, comment));
        if (line.empty()) continue;
        std::vector<std::string> w = words(line);
        if (w[0] == "track") {
            tracks.push_back(parseTrackLine(w, lineNo));
        } else if (tracks.empty()) {
            parseHeaderLine(w, header, lineNo);
        } else {
            static const char* directives[] = {"tempo", "time", "key", "title", "end"};
            for (const char* d : directives)
                if (w[0] == d)
                    fail(lineNo, "'" + w[0] + "' belongs before the first track" +
                                     (w[0] == "tempo" ? " (inside a track write tempo=BPM)" : ""));
            std::vector<Token> tokens = tokenize(line, lineNo);
            tracks.back().body.insert(tracks.back().body.end(), tokens.begin(), tokens.end());
        }
    }
    if (!header.bpm) fail(1, "missing 'tempo BPM' before the first track");
    if (header.end == EndMode::None)
        fail(1, "missing 'end loop' or 'end tail SECONDS' before the first track");
    if (tracks.empty()) fail(lastLine, "no tracks");
    if (tracks.size() > 64) fail(tracks[64].line, "too many tracks");

    std::map<int, std::size_t> programOfChannel;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const Track& t = tracks[i];
        auto [it, fresh] = programOfChannel.emplace(t.channel, i);
        if (!fresh && tracks[it->second].program != t.program)
            fail(t.line, "channel " + std::to_string(t.channel) + " already plays another program" +
                             " in track '" + tracks[it->second].name + "'");
    }

    const int beatTicks = kDivision * 4 / header.timeDen;
    const std::uint32_t barTicks = static_cast<std::uint32_t>(beatTicks * header.timeNum);
    if (beatTicks * header.timeDen != kDivision * 4) fail(1, "beat unit too small");

    std::vector<TrackPlayer> players;
    players.reserve(tracks.size());
    std::vector<NoteSpan> notes;
    std::uint32_t musicEnd = 0;
    std::size_t longest = 0;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        std::vector<Token> expanded;
        std::size_t at = 0;
        expand(tracks[i].body, at, expanded, 0, tracks[i].line);
        players.emplace_back(tracks[i], i, barTicks, beatTicks);
        players.back().play(expanded);
        notes.insert(notes.end(), players.back().notes.begin(), players.back().notes.end());
        if (players.back().cursor() > musicEnd) {
            musicEnd = players.back().cursor();
            longest = i;
        }
    }
    if (notes.empty()) fail(lastLine, "the cue has no notes");

    // One channel cannot sound the same key twice at once: the first release would cut both.
    std::sort(notes.begin(), notes.end(), [](const NoteSpan& a, const NoteSpan& b) {
        if (a.channel != b.channel) return a.channel < b.channel;
        if (a.pitch != b.pitch) return a.pitch < b.pitch;
        return a.on < b.on;
    });
    std::uint32_t lastOff = 0;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        lastOff = std::max(lastOff, notes[i].off);
        if (i > 0 && notes[i].channel == notes[i - 1].channel &&
            notes[i].pitch == notes[i - 1].pitch && notes[i].on < notes[i - 1].off)
            fail(notes[i].line,
                 pitchName(notes[i].pitch) + " on channel " + std::to_string(notes[i].channel) +
                     " overlaps the same note from line " + std::to_string(notes[i - 1].line) +
                     " (track '" + tracks[notes[i - 1].track].name + "')");
    }

    MidiFile file;
    file.division = kDivision;
    if (header.end == EndMode::Loop) {
        if (musicEnd % barTicks != 0)
            fail(lastLine, "a loop must end on a bar line, but track '" + tracks[longest].name +
                               "' runs " + std::to_string(musicEnd % barTicks) +
                               " ticks into bar " + std::to_string(musicEnd / barTicks + 1));
        file.endTick = musicEnd;
    } else {
        file.endTick =
            std::max(musicEnd, lastOff + secondsToTicks(header.tailSeconds, *header.bpm));
    }

    std::uint32_t seq = 0;
    MidiTrack conductor;
    auto addMeta = [&](MidiTrack& t, std::uint32_t tick, std::vector<std::uint8_t> bytes) {
        t.events.push_back({tick, 1, seq++, std::move(bytes)});
    };
    if (!header.title.empty()) addMeta(conductor, 0, metaEvent(0x03, textBytes(header.title)));
    int dd = 0;
    while ((1 << dd) < header.timeDen)
        ++dd;
    addMeta(conductor, 0,
            metaEvent(0x58, {static_cast<std::uint8_t>(header.timeNum),
                             static_cast<std::uint8_t>(dd), 24, 8}));
    if (header.key)
        addMeta(
            conductor, 0,
            metaEvent(0x59, {static_cast<std::uint8_t>(static_cast<std::int8_t>(header.key->first)),
                             static_cast<std::uint8_t>(header.key->second)}));
    addMeta(conductor, 0, tempoBytes(*header.bpm));
    file.tracks.push_back(std::move(conductor));

    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const Track& t = tracks[i];
        MidiTrack mt;
        addMeta(mt, 0, metaEvent(0x03, textBytes(t.name)));
        if (t.program > 0) addMeta(mt, 0, channelMessage(0xC0, t.channel, t.program - 1));
        addMeta(mt, 0, channelMessage(0xB0, t.channel, 7, t.volume));
        addMeta(mt, 0, channelMessage(0xB0, t.channel, 10, t.pan));
        if (t.expression >= 0) addMeta(mt, 0, channelMessage(0xB0, t.channel, 11, t.expression));
        if (t.reverb >= 0) addMeta(mt, 0, channelMessage(0xB0, t.channel, 91, t.reverb));
        if (t.chorus >= 0) addMeta(mt, 0, channelMessage(0xB0, t.channel, 93, t.chorus));
        for (const Control& c : players[i].controls) {
            if (c.tick >= file.endTick && c.tick != 0)
                fail(t.line, "a setting in track '" + t.name + "' comes after the end of the cue");
            addMeta(mt, c.tick, c.bytes);
        }
        file.tracks.push_back(std::move(mt));
    }
    for (const NoteSpan& n : notes) {
        MidiTrack& mt = file.tracks[n.track + 1];
        mt.events.push_back({n.on, 2, seq++, channelMessage(0x90, n.channel, n.pitch, n.velocity)});
        mt.events.push_back({n.off, 0, seq++, channelMessage(0x80, n.channel, n.pitch, 0)});
    }
    return file;
}

} // namespace midigen
