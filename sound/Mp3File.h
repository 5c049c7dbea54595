// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <optional>
#include <vector>

// A decoded sound: interleaved stereo float at the synthesizer's rate.
struct PcmSound {
    std::vector<float> samples;
    double lengthSeconds = 0;
    std::int64_t frames() const { return std::int64_t(samples.size() / 2); }
};

// Decodes an MPEG audio file whole and converts it to `sampleRate`; null when
// no audio frame could be decoded.
std::optional<PcmSound> DecodeMp3(const QByteArray& bytes, int sampleRate);
