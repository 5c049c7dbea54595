// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/Mp3File.h"

#include <mpg123.h>

#include <cmath>
#include <memory>

namespace
{

struct HandleDelete {
    void operator()(mpg123_handle* h) const { mpg123_delete(h); }
};
using Handle = std::unique_ptr<mpg123_handle, HandleDelete>;

// Linear interpolation: enough for the one tune, which is made at the usual rate anyway.
std::vector<float> resample(const std::vector<float>& in, long fromRate, int toRate)
{
    if (fromRate == toRate || in.empty()) return in;
    const std::size_t inFrames = in.size() / 2;
    const std::size_t outFrames = std::size_t(double(inFrames) * toRate / double(fromRate));
    std::vector<float> out(outFrames * 2);
    const double step = double(fromRate) / toRate;
    for (std::size_t i = 0; i < outFrames; ++i) {
        const double x = double(i) * step;
        const std::size_t j = std::size_t(x);
        const double f = x - double(j);
        const std::size_t k = std::min(j + 1, inFrames - 1);
        for (int c = 0; c < 2; ++c)
            out[2 * i + c] = float(in[2 * j + c] * (1 - f) + in[2 * k + c] * f);
    }
    return out;
}

} // namespace

std::optional<PcmSound> DecodeMp3(const QByteArray& bytes, int sampleRate)
{
    int error = MPG123_OK;
    Handle handle(mpg123_new(nullptr, &error));
    if (!handle) return std::nullopt;
    mpg123_handle* h = handle.get();
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_FLOAT, 0);
    // Garbage is not searched for long: a file that does not start as audio is not audio.
    mpg123_param(h, MPG123_RESYNC_LIMIT, 2048, 0);
    if (mpg123_open_feed(h) != MPG123_OK) return std::nullopt;
    if (mpg123_feed(h, reinterpret_cast<const unsigned char*>(bytes.constData()),
                    std::size_t(bytes.size())) != MPG123_OK)
        return std::nullopt;

    long rate = 0;
    int channels = 0, encoding = 0;
    std::vector<float> decoded;
    unsigned char buffer[16384];
    for (;;) {
        std::size_t done = 0;
        const int result = mpg123_read(h, buffer, sizeof buffer, &done);
        if (result == MPG123_NEW_FORMAT) {
            if (rate != 0) break; // a change of format halfway: keep what came before
            mpg123_getformat(h, &rate, &channels, &encoding);
            if (encoding != MPG123_ENC_FLOAT_32 || channels < 1 || channels > 2 || rate <= 0)
                return std::nullopt;
            continue;
        }
        if (done > 0 && rate > 0) {
            const auto* samples = reinterpret_cast<const float*>(buffer);
            const std::size_t count = done / sizeof(float);
            if (channels == 2) {
                decoded.insert(decoded.end(), samples, samples + count);
            } else {
                for (std::size_t i = 0; i < count; ++i) {
                    decoded.push_back(samples[i]);
                    decoded.push_back(samples[i]);
                }
            }
        }
        if (result != MPG123_OK) break; // end of the data, or an error
    }
    if (decoded.empty() || rate <= 0) return std::nullopt;
    PcmSound sound;
    sound.lengthSeconds = double(decoded.size() / 2) / double(rate);
    sound.samples = resample(decoded, rate, sampleRate);
    if (sound.samples.empty()) return std::nullopt;
    return sound;
}
