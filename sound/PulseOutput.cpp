// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/PulseOutput.h"

#ifdef __linux__

#include <pulse/context.h>
#include <pulse/mainloop.h>
#include <pulse/stream.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace
{
// The whole latency, the server's part included: short, so that a command is heard at
// once. The server keeps a third of it for its own buffer (less would make it wake every
// half millisecond), and asks for the next block every 10 ms, which keeps the wake-ups few.
constexpr std::uint32_t kBufferUs = 30000;
constexpr std::uint32_t kRequestUs = 10000;
constexpr auto kRetry = std::chrono::seconds(1);

struct MainloopDelete {
    void operator()(pa_mainloop* m) const { pa_mainloop_free(m); }
};
struct ContextDelete {
    void operator()(pa_context* c) const
    {
        pa_context_disconnect(c);
        pa_context_unref(c);
    }
};
struct StreamDelete {
    void operator()(pa_stream* s) const
    {
        pa_stream_set_write_callback(s, nullptr, nullptr);
        pa_stream_disconnect(s);
        pa_stream_unref(s);
    }
};
} // namespace

// What the output's thread shares with the output: the thread may outlive the
// output when the server holds it in a call.
struct PulseOutput::Shared {
    std::mutex lock;
    std::condition_variable wake;
    bool quit = false;
    pa_mainloop* loop = nullptr; // while one runs, for waking it
    std::atomic<bool> finished{false};

    bool quitting()
    {
        std::lock_guard<std::mutex> guard(lock);
        return quit;
    }
};

namespace
{
struct Connection {
    SoundSourceHandle* source = nullptr;
    bool broken = false;
    // Frames the engine may render now: the server never gets sound faster than real time.
    std::int64_t credit = -1;
    std::chrono::steady_clock::time_point lastFeed;
};

void feed(pa_stream* stream, std::size_t bytes, void* data)
{
    auto* connection = static_cast<Connection*>(data);
    constexpr std::size_t frameBytes = 2 * sizeof(float);
    // A server that was stopped and goes on asks, in a burst, for all the time it missed,
    // which the engine's clock has played meanwhile: the burst gets silence.
    const auto now = std::chrono::steady_clock::now();
    const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream);
    const std::int64_t most = 2 * std::int64_t(attr ? attr->tlength : bytes) / frameBytes;
    if (connection->credit < 0) {
        connection->credit = most;
    } else {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(now - connection->lastFeed);
        connection->credit =
            std::min(most, connection->credit + elapsed.count() * SoundRate / 1'000'000);
    }
    connection->lastFeed = now;
    while (bytes >= frameBytes) {
        void* buffer = nullptr;
        std::size_t size = bytes;
        if (pa_stream_begin_write(stream, &buffer, &size) < 0 || !buffer) {
            connection->broken = true;
            return;
        }
        size = std::min(size, bytes) / frameBytes * frameBytes;
        auto* frames = static_cast<float*>(buffer);
        const int count = int(size / frameBytes);
        const int sound = int(std::min<std::int64_t>(count, connection->credit));
        if (sound > 0) connection->source->render(frames, sound);
        std::fill(frames + 2 * std::max(sound, 0), frames + 2 * count, 0.0f);
        connection->credit -= std::max(sound, 0);
        if (pa_stream_write(stream, buffer, size, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            connection->broken = true;
            return;
        }
        bytes -= size;
    }
}

// Plays until the server goes away or the output quits.
void play(PulseOutput::Shared& shared, SoundSourceHandle& source)
{
    std::unique_ptr<pa_mainloop, MainloopDelete> loop(pa_mainloop_new());
    if (!loop) return;
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        if (shared.quit) return;
        shared.loop = loop.get();
    }
    Connection connection;
    connection.source = &source;
    {
        std::unique_ptr<pa_context, ContextDelete> context(
            pa_context_new(pa_mainloop_get_api(loop.get()), "Quorvel"));
        std::unique_ptr<pa_stream, StreamDelete> stream;
        if (context &&
            pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOFLAGS, nullptr) >= 0) {
            while (!shared.quitting() && !connection.broken) {
                const pa_context_state_t state = pa_context_get_state(context.get());
                if (!PA_CONTEXT_IS_GOOD(state)) break;
                if (state == PA_CONTEXT_READY && !stream) {
                    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, std::uint32_t(SoundRate), 2};
                    pa_buffer_attr attr{};
                    attr.maxlength = std::uint32_t(-1);
                    attr.tlength = std::uint32_t(pa_usec_to_bytes(kBufferUs, &format));
                    attr.prebuf = std::uint32_t(-1);
                    attr.minreq = std::uint32_t(pa_usec_to_bytes(kRequestUs, &format));
                    attr.fragsize = std::uint32_t(-1);
                    stream.reset(pa_stream_new(context.get(), "game sound", &format, nullptr));
                    if (!stream) break;
                    pa_stream_set_write_callback(stream.get(), &feed, &connection);
                    if (pa_stream_connect_playback(stream.get(), nullptr, &attr,
                                                   PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) < 0)
                        break;
                }
                if (stream && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream.get()))) break;
                if (pa_mainloop_iterate(loop.get(), 1, nullptr) < 0) break;
            }
        }
    }
    std::lock_guard<std::mutex> guard(shared.lock);
    shared.loop = nullptr;
}
} // namespace

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
        while (!shared->quitting()) {
            play(*shared, *source);
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
        if (shared_->loop) pa_mainloop_wakeup(shared_->loop);
    }
    shared_->wake.notify_all();
    // A server that hangs could hold the thread (an autospawn, say): it is left to end by
    // itself (its source already renders silence).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (!shared_->finished && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    shared_.reset();
}

#endif
