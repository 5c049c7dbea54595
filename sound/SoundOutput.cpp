// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/SoundOutput.h"

#include <algorithm>
#include <chrono>
#include <thread>

void SoundSourceHandle::render(float* frames, int count)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (source_)
        source_->render(frames, count);
    else
        std::fill(frames, frames + 2 * std::size_t(count), 0.0f);
}

void SoundSourceHandle::release()
{
    std::lock_guard<std::mutex> guard(lock_);
    source_ = nullptr;
}

RecordingOutput::RecordingOutput(Pacing pacing, double keepSeconds)
    : pacing_(pacing), keepFrames_(std::size_t(keepSeconds * SoundRate))
{
}

void RecordingOutput::deliver(const float* frames, int count)
{
    std::lock_guard<std::mutex> guard(lock_);
    seen_ += count;
    if (keepFrames_ == 0) return;
    kept_.insert(kept_.end(), frames, frames + 2 * std::size_t(count));
    // Dropping in large steps keeps the copying rare.
    if (kept_.size() > 4 * keepFrames_) {
        const std::size_t drop = kept_.size() - 2 * keepFrames_;
        kept_.erase(kept_.begin(), kept_.begin() + std::ptrdiff_t(drop));
        keptFrom_ += std::int64_t(drop / 2);
    }
}

std::int64_t RecordingOutput::framesSeen() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return seen_;
}

std::vector<float> RecordingOutput::samplesFrom(std::int64_t from) const
{
    std::lock_guard<std::mutex> guard(lock_);
    const std::int64_t skip = std::max<std::int64_t>(0, from - keptFrom_);
    if (std::size_t(2 * skip) >= kept_.size()) return {};
    return std::vector<float>(kept_.begin() + std::ptrdiff_t(2 * skip), kept_.end());
}

bool RecordingOutput::waitForFrames(std::int64_t frames, int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (framesSeen() < frames) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
