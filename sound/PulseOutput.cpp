// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/PulseOutput.h"

#ifdef __linux__

#include <pulse/simple.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
// The server's buffer for the stream: short, so that a command is heard at once.
constexpr std::uint32_t kBufferUs = 20000;
constexpr int kBlockFrames = 256;
constexpr auto kRetry = std::chrono::seconds(1);

struct SimpleDelete {
    void operator()(pa_simple* s) const { pa_simple_free(s); }
};
using Simple = std::unique_ptr<pa_simple, SimpleDelete>;

Simple connect()
{
    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, std::uint32_t(SoundRate), 2};
    pa_buffer_attr attr{};
    attr.maxlength = std::uint32_t(-1);
    attr.tlength = std::uint32_t(pa_usec_to_bytes(kBufferUs, &format));
    attr.prebuf = std::uint32_t(-1);
    attr.minreq = std::uint32_t(pa_usec_to_bytes(kBufferUs / 4, &format));
    attr.fragsize = std::uint32_t(-1);
    int error = 0;
    return Simple(pa_simple_new(nullptr, "Quorvel", PA_STREAM_PLAYBACK, nullptr, "game sound",
                                &format, nullptr, &attr, &error));
}
} // namespace

// What the output's thread shares with the output: the thread may outlive the
// output when the server holds it in a call.
struct PulseOutput::Shared {
    std::mutex lock;
    std::condition_variable wake;
    bool quit = false;
    std::atomic<bool> finished{false};
};

PulseOutput::PulseOutput() = default;

PulseOutput::~PulseOutput()
{
    stop();
}

void PulseOutput::start(std::shared_ptr<SoundSourceHandle> source)
{
    if (shared_) return;
    shared_ = std::make_shared<Shared>();
    std::thread([shared = shared_, source] {
        std::vector<float> block(2 * kBlockFrames);
        while (true) {
            {
                std::lock_guard<std::mutex> guard(shared->lock);
                if (shared->quit) break;
            }
            Simple stream = connect();
            while (stream) {
                {
                    std::lock_guard<std::mutex> guard(shared->lock);
                    if (shared->quit) break;
                }
                source->render(block.data(), kBlockFrames);
                int error = 0;
                if (pa_simple_write(stream.get(), block.data(), block.size() * sizeof(float),
                                    &error) < 0)
                    stream.reset(); // the server went away: connect again
            }
            std::unique_lock<std::mutex> guard(shared->lock);
            shared->wake.wait_for(guard, kRetry, [&] { return shared->quit; });
        }
        shared->finished = true;
    }).detach();
}

void PulseOutput::stop()
{
    if (!shared_) return;
    {
        std::lock_guard<std::mutex> guard(shared_->lock);
        shared_->quit = true;
    }
    shared_->wake.notify_all();
    // A server that hangs may hold the thread in a write: it is left to end by itself
    // (its source already renders silence).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (!shared_->finished && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    shared_.reset();
}

#endif
