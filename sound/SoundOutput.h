// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

// The synthesizer's sound, rendered on demand: interleaved stereo float frames
// at SoundRate. Safe to call from any one thread at a time per output.
class SoundSource
{
  public:
    virtual ~SoundSource() = default;
    virtual void render(float* frames, int count) = 0;
};

inline constexpr int SoundRate = 44100;

// Where the game's sound goes. One output is open for the whole run (or until
// it is replaced); it is never opened again for a new file.
class SoundOutput
{
  public:
    enum class Pacing {
        Device, // pulls the sound on a thread of its own at the pace of its device
        Clock,  // is handed every block the engine renders in real time
        Fast,   // is handed every block as fast as the engine renders them
    };
    virtual ~SoundOutput() = default;
    virtual Pacing pacing() const = 0;
    // Device pacing: starts pulling from `source` (which outlives the output's use of it,
    // see SoundSourceHandle). Returns at once; the device is opened on the output's thread.
    virtual void start(std::shared_ptr<class SoundSourceHandle>) {}
    // Device pacing: stops pulling. Returns promptly even when the device hangs.
    virtual void stop() {}
    // Clock and fast pacing: one rendered block, in order, on the engine's thread.
    virtual void deliver(const float*, int) {}
};

// What a device output pulls from: the engine until it lets go, silence after.
class SoundSourceHandle
{
  public:
    explicit SoundSourceHandle(SoundSource* source) : source_(source) {}
    void render(float* frames, int count);
    void release();

  private:
    std::mutex lock_;
    SoundSource* source_;
};

// A silent output that keeps what it is given (at most `keepSeconds` of it,
// the newest), for tests and measurements that look at the actual samples.
class RecordingOutput : public SoundOutput
{
  public:
    explicit RecordingOutput(Pacing pacing, double keepSeconds = 0);
    Pacing pacing() const override { return pacing_; }
    void deliver(const float* frames, int count) override;

    // Frames handed over since the start, kept or not.
    std::int64_t framesSeen() const;
    // The kept frames from absolute frame `from` on (interleaved stereo).
    std::vector<float> samplesFrom(std::int64_t from) const;
    // Waits (sleeping) until `frames` frames have been seen or `timeoutMs` passed.
    bool waitForFrames(std::int64_t frames, int timeoutMs) const;

  private:
    const Pacing pacing_;
    const std::size_t keepFrames_;
    mutable std::mutex lock_;
    std::vector<float> kept_;
    std::int64_t keptFrom_ = 0; // absolute frame of kept_[0]
    std::int64_t seen_ = 0;
};
