// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/SoundEngine.h"

#include "sound/modMusic.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <fluidsynth.h>

#include <algorithm>
#include <cstring>

namespace
{

using Clock = std::chrono::steady_clock;

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// A file shorter than this has nothing to play; looping it would only spin.
constexpr std::int64_t kShortestFrames = SoundRate / 100;
// How long a device may go without asking for sound before the clock takes over: longer
// than a busy machine keeps a sound server waiting, short enough not to upset the pacing.
constexpr std::int64_t kStallNs = 500'000'000;
// The clock's step, and the largest block rendered at once.
constexpr auto kTick = std::chrono::milliseconds(5);
constexpr int kBlock = 1024;
// The fast output renders at most this many times faster than real time.
constexpr int kFastSpeed = 40;
// After the last voice the synthesizer renders this much more, then rests.
constexpr std::int64_t kReverbFrames = SoundRate / 2;

QByteArray fileSystemName(const QString& path)
{
#ifdef Q_OS_WIN
    return path.toUtf8(); // fluidsynth takes UTF-8 names there
#else
    return QFile::encodeName(path);
#endif
}

void quietLog(int, const char*, void*) {}

} // namespace

double LoadedSound::lengthSeconds() const
{
    return std::visit([](const auto& c) { return c.lengthSeconds; }, content);
}

std::int64_t LoadedSound::lengthFrames() const
{
    if (const auto* midi = std::get_if<MidiSequence>(&content)) return midi->lengthFrames;
    return std::get<PcmSound>(content).frames();
}

void SoundEngine::SynthDelete::operator()(fluid_synth_t* s) const
{
    delete_fluid_synth(s);
}
void SoundEngine::SettingsDelete::operator()(fluid_settings_t* s) const
{
    delete_fluid_settings(s);
}

SoundEngine& SoundEngine::instance()
{
    static const std::unique_ptr<SoundEngine> engine(new SoundEngine);
    return *engine;
}

SoundEngine::SoundEngine()
{
    for (int level : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG})
        fluid_set_log_function(level, &quietLog, nullptr);
    settings_.reset(new_fluid_settings());
    fluid_settings_t* s = settings_.get();
    fluid_settings_setnum(s, "synth.sample-rate", SoundRate);
    fluid_settings_setint(s, "synth.midi-channels", 32);
    fluid_settings_setint(s, "synth.audio-channels", 1);
    // Chorus costs a sixth of the synthesis and is barely heard in these cues. The
    // reverb cannot be emptied (fluidsynth offers no call for it), so its tail would go
    // on ringing after a stop and bleed into the next cue: the cues play dry.
    fluid_settings_setint(s, "synth.chorus.active", 0);
    fluid_settings_setint(s, "synth.reverb.active", 0);
    fluid_settings_setint(s, "synth.cpu-cores", 1);
    synth_.reset(new_fluid_synth(s));
    scratch_.resize(kBlock * 2);

    // The soundfont loads while the game starts; the first MIDI file waits for it if need be.
    const QString font = SoundFontPath();
    if (!font.isEmpty()) {
        fontPath_ = font;
        synthBusy_ = true;
        fontLoading_ = std::async(std::launch::async, [this, font] { loadFont(font); });
    }
    driver_ = std::thread([this] { driverLoop(); });
}

SoundEngine::~SoundEngine()
{
    setOutput(nullptr);
    {
        std::lock_guard<std::mutex> guard(lock_);
        quit_ = true;
    }
    wake_.notify_all();
    if (driver_.joinable()) driver_.join();
    if (fontLoading_.valid()) fontLoading_.wait();
}

void SoundEngine::loadFont(const QString& path)
{
    // Outside the engine's lock: the loading tune keeps playing meanwhile.
    const int id = fluid_synth_sfload(synth_.get(), fileSystemName(path).constData(), 1);
    if (id != FLUID_FAILED) ++fontLoads_;
    std::lock_guard<std::mutex> guard(lock_);
    fontId_ = id == FLUID_FAILED ? -1 : id;
    synthBusy_ = false;
    if (fontId_ >= 0) setUpDrums();
}

bool SoundEngine::midiReady()
{
    std::lock_guard<std::mutex> fontGuard(fontLock_);
    if (fontLoading_.valid()) fontLoading_.wait();
    const QString wanted = SoundFontPath();
    if (wanted.isEmpty()) return false;
    if (wanted != fontPath_) {
        // Another soundfont chosen: what plays on the synthesizer stops, and the new one loads.
        {
            std::lock_guard<std::mutex> guard(lock_);
            for (int i = 0; i < kSlots; ++i)
                if (slots_[i].sound && slots_[i].sound->isMidi()) {
                    silence(i, slots_[i]);
                    slots_[i] = Slot{};
                }
            synthBusy_ = true;
        }
        if (fontId_ >= 0) fluid_synth_sfunload(synth_.get(), unsigned(fontId_), 1);
        fontPath_ = wanted;
        loadFont(wanted);
    }
    std::lock_guard<std::mutex> guard(lock_);
    return fontId_ >= 0;
}

std::shared_ptr<const LoadedSound> SoundEngine::load(const QString& path)
{
    struct Cached {
        qint64 size;
        QDateTime modified;
        std::shared_ptr<const LoadedSound> sound;
    };
    static QHash<QString, Cached> cache;
    const QFileInfo info(path);
    if (!info.isFile()) return nullptr;
    if (auto found = cache.constFind(path); found != cache.cend() && found->size == info.size() &&
                                            found->modified == info.lastModified())
        return found->sound;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    const QByteArray bytes = file.readAll();
    std::shared_ptr<LoadedSound> sound;
    if (bytes.startsWith("MThd")) {
        if (auto midi = ParseMidi(bytes, SoundRate))
            sound = std::make_shared<LoadedSound>(LoadedSound{std::move(*midi)});
    } else if (auto pcm = DecodeMp3(bytes, SoundRate)) {
        sound = std::make_shared<LoadedSound>(LoadedSound{std::move(*pcm)});
    }
    if (sound && sound->lengthFrames() < kShortestFrames) sound.reset();
    cache.insert(path, Cached{info.size(), info.lastModified(), sound});
    return sound;
}

quint64 SoundEngine::start(int index, std::shared_ptr<const LoadedSound> sound, bool loop)
{
    quint64 serial = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        Slot& slot = slots_[index];
        silence(index, slot);
        slot = Slot{};
        slot.serial = serial = ++lastSerial_;
        slot.state = State::Playing;
        slot.sound = std::move(sound);
        slot.loop = loop;
    }
    wake_.notify_all();
    notify(index, serial, Note::Started);
    return serial;
}

void SoundEngine::stop(int index)
{
    std::lock_guard<std::mutex> guard(lock_);
    Slot& slot = slots_[index];
    silence(index, slot);
    slot = Slot{};
}

void SoundEngine::rewind(int index)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        Slot& slot = slots_[index];
        if (slot.state == State::Empty) return;
        if (slot.sound->isMidi() && !synthBusy_)
            for (int c = 0; c < 16; ++c)
                fluid_synth_all_notes_off(synth_.get(), index * 16 + c);
        slot.position = 0;
        slot.next = 0;
        slot.state = State::Playing;
    }
    wake_.notify_all();
}

SoundEngine::Status SoundEngine::status(int index) const
{
    std::lock_guard<std::mutex> guard(lock_);
    const Slot& slot = slots_[index];
    Status s;
    if (slot.state == State::Empty) return s;
    s.serial = slot.serial;
    s.state = slot.state;
    s.stopTime = slot.sound->lengthSeconds();
    s.position = slot.state == State::Ended ? s.stopTime : double(slot.position) / SoundRate;
    return s;
}

void SoundEngine::setNotifier(std::function<void(int, quint64, Note)> notifier)
{
    std::lock_guard<std::mutex> guard(lock_);
    notifier_ = std::move(notifier);
}

void SoundEngine::notify(int slot, quint64 serial, Note note)
{
    if (notifier_) notifier_(slot, serial, note);
}

void SoundEngine::setOutput(std::shared_ptr<SoundOutput> output)
{
    std::shared_ptr<SoundOutput> old;
    std::shared_ptr<SoundSourceHandle> oldHandle;
    {
        std::lock_guard<std::mutex> guard(lock_);
        old = std::move(output_);
        oldHandle = std::move(handle_);
        output_ = std::move(output);
        outputStartNs_ = nowNs();
        if (output_ && output_->pacing() == SoundOutput::Pacing::Device)
            handle_ = std::make_shared<SoundSourceHandle>(this);
    }
    // The old device lets go first: after release() it renders silence, whatever it is doing.
    if (oldHandle) oldHandle->release();
    if (old) old->stop();
    std::shared_ptr<SoundSourceHandle> handle;
    std::shared_ptr<SoundOutput> current;
    {
        std::lock_guard<std::mutex> guard(lock_);
        handle = handle_;
        current = output_;
    }
    if (current && handle) current->start(handle);
    wake_.notify_all();
}

void SoundEngine::render(float* frames, int count)
{
    std::lock_guard<std::mutex> guard(lock_);
    lastDeviceRenderNs_ = nowNs();
    renderLocked(frames, count);
}

bool SoundEngine::anyPlaying() const
{
    return std::any_of(std::begin(slots_), std::end(slots_),
                       [](const Slot& s) { return s.state == State::Playing; });
}

std::int64_t SoundEngine::boundary(const Slot& slot) const
{
    const std::int64_t length = slot.sound->lengthFrames();
    if (const auto* midi = std::get_if<MidiSequence>(&slot.sound->content))
        if (slot.next < midi->events.size()) return std::min(midi->events[slot.next].frame, length);
    return length;
}

// Plays the events due at the slot's position; at the end, wraps or finishes.
void SoundEngine::advance(int index, Slot& slot)
{
    const std::int64_t length = slot.sound->lengthFrames();
    const auto* midi = std::get_if<MidiSequence>(&slot.sound->content);
    fluid_synth_t* synth = synth_.get();
    for (int pass = 0; pass < 2; ++pass) {
        if (midi) {
            while (slot.next < midi->events.size() &&
                   midi->events[slot.next].frame <= slot.position) {
                const MidiSequence::Event& e = midi->events[slot.next++];
                const int channel = index * 16 + (e.status & 0x0F);
                switch (e.status & 0xF0) {
                case 0x80:
                    fluid_synth_noteoff(synth, channel, e.data1);
                    break;
                case 0x90:
                    if (e.data2)
                        fluid_synth_noteon(synth, channel, e.data1, e.data2);
                    else
                        fluid_synth_noteoff(synth, channel, e.data1);
                    break;
                case 0xA0:
                    fluid_synth_key_pressure(synth, channel, e.data1, e.data2);
                    break;
                case 0xB0:
                    fluid_synth_cc(synth, channel, e.data1, e.data2);
                    break;
                case 0xC0:
                    fluid_synth_program_change(synth, channel, e.data1);
                    break;
                case 0xD0:
                    fluid_synth_channel_pressure(synth, channel, e.data1);
                    break;
                case 0xE0:
                    fluid_synth_pitch_bend(synth, channel, (e.data2 << 7) | e.data1);
                    break;
                }
            }
        }
        if (slot.position < length) return;
        if (!slot.loop) {
            slot.state = State::Ended;
            notify(index, slot.serial, Note::Ended);
            return;
        }
        // The next pass starts on the very next sample; held notes are let go.
        if (midi)
            for (int c = 0; c < 16; ++c)
                fluid_synth_all_notes_off(synth, index * 16 + c);
        slot.position = 0;
        slot.next = 0;
        notify(index, slot.serial, Note::Looped);
    }
}

void SoundEngine::renderLocked(float* out, int count)
{
    std::fill(out, out + 2 * std::size_t(count), 0.0f);
    int done = 0;
    while (done < count) {
        int step = count - done;
        bool midiPlaying = false;
        for (int i = 0; i < kSlots; ++i) {
            Slot& slot = slots_[i];
            if (slot.state != State::Playing) continue;
            if (slot.sound->isMidi() && synthBusy_) continue; // waits for its soundfont
            advance(i, slot);
            if (slot.state != State::Playing) continue;
            midiPlaying = midiPlaying || slot.sound->isMidi();
            step = int(std::min<std::int64_t>(step, boundary(slot) - slot.position));
        }
        step = std::max(step, 1);
        float* block = out + 2 * std::size_t(done);

        if (!synthBusy_) {
            if (midiPlaying || fluid_synth_get_active_voice_count(synth_.get()) > 0)
                silentFrames_ = 0;
            if (silentFrames_ < kReverbFrames) {
                fluid_synth_write_float(synth_.get(), step, block, 0, 2, block, 1, 2);
                silentFrames_ += step;
                synthFrames_ += step;
            }
        }
        for (int i = 0; i < kSlots; ++i) {
            Slot& slot = slots_[i];
            if (slot.state != State::Playing) continue;
            if (const auto* pcm = std::get_if<PcmSound>(&slot.sound->content)) {
                const float* from = pcm->samples.data() + 2 * slot.position;
                for (int f = 0; f < 2 * step; ++f)
                    block[f] += from[f];
                slot.position += step;
            } else if (!synthBusy_) {
                slot.position += step;
            }
        }
        done += step;
    }
}

void SoundEngine::silence(int index, const Slot& slot)
{
    if (slot.state == State::Empty || !slot.sound->isMidi() || synthBusy_) return;
    const Slot& other = slots_[1 - index];
    fluid_synth_t* synth = synth_.get();
    if (other.state != State::Playing || !other.sound->isMidi()) {
        // Nothing else on the synthesizer: every voice ends now, every channel starts afresh,
        // and what is left of the block it rendered before is thrown away.
        // (a reset alone lets the notes ring out, and cancels an earlier sounds-off).
        fluid_synth_system_reset(synth);
        fluid_synth_all_sounds_off(synth, -1);
        if (const int left = int((64 - synthFrames_ % 64) % 64)) {
            float drop[2 * 64];
            fluid_synth_write_float(synth, left, drop, 0, 2, drop, 1, 2);
            synthFrames_ += left;
        }
    } else {
        for (int c = index * 16; c < index * 16 + 16; ++c) {
            fluid_synth_all_sounds_off(synth, c);
            fluid_synth_cc(synth, c, 121, 0);
            fluid_synth_pitch_bend(synth, c, 8192);
            fluid_synth_program_change(synth, c, 0);
        }
    }
    setUpDrums();
}

// Channel 10 of each slot is its drum channel.
void SoundEngine::setUpDrums()
{
    for (int drums : {9, 25}) {
        fluid_synth_set_channel_type(synth_.get(), drums, CHANNEL_TYPE_DRUM);
        fluid_synth_program_change(synth_.get(), drums, 0);
    }
}

void SoundEngine::driverLoop()
{
    using Pacing = SoundOutput::Pacing;
    std::vector<float> block(kBlock * 2);
    std::unique_lock<std::mutex> lock(lock_);
    bool clockRunning = false;
    std::int64_t anchorNs = 0, anchorFrames = 0;
    Pacing lastPacing = Pacing::Clock;
    const SoundOutput* lastOutput = nullptr;
    while (!quit_) {
        const Pacing pacing = output_ ? output_->pacing() : Pacing::Clock;
        if (output_.get() != lastOutput || pacing != lastPacing) clockRunning = false;
        lastOutput = output_.get();
        lastPacing = pacing;
        const std::int64_t now = nowNs();
        std::int64_t due = 0;
        if (pacing == Pacing::Fast) {
            if (!anyPlaying()) {
                clockRunning = false;
                wake_.wait_for(lock, std::chrono::milliseconds(50));
                continue;
            }
            if (!clockRunning) anchorNs = now, anchorFrames = 0, clockRunning = true;
            due = (now - anchorNs) * kFastSpeed * SoundRate / 1'000'000'000 + kBlock - anchorFrames;
        } else if (pacing == Pacing::Device &&
                   now - std::max<std::int64_t>(lastDeviceRenderNs_, outputStartNs_) < kStallNs) {
            clockRunning = false; // the device sets the pace
        } else {
            if (!clockRunning) {
                // A stalled device: the clock goes on from the device's last request.
                anchorNs = pacing == Pacing::Device
                               ? std::max<std::int64_t>(lastDeviceRenderNs_, outputStartNs_)
                               : now;
                anchorFrames = 0;
                clockRunning = true;
            }
            due = (now - anchorNs) * SoundRate / 1'000'000'000 - anchorFrames;
        }
        while (due > 0 && !quit_) {
            const int n = int(std::min<std::int64_t>(due, kBlock));
            renderLocked(block.data(), n);
            if (pacing != Pacing::Device && output_) output_->deliver(block.data(), n);
            anchorFrames += n;
            due -= n;
            // Catching up after a stall is many blocks: the user-interface thread may
            // take the lock between them.
            if (due > 0) {
                lock.unlock();
                std::this_thread::yield();
                lock.lock();
            }
        }
        if (pacing == Pacing::Fast) {
            wake_.wait_for(lock, std::chrono::microseconds(500));
        } else if (pacing == Pacing::Device && !clockRunning) {
            // The device renders; this thread only looks out for it stalling.
            const std::int64_t stallAt =
                std::max<std::int64_t>(lastDeviceRenderNs_, outputStartNs_) + kStallNs;
            wake_.wait_for(lock, std::chrono::nanoseconds(std::clamp<std::int64_t>(
                                     stallAt - nowNs() + 1'000'000, 1'000'000, kStallNs)));
        } else {
            wake_.wait_for(lock, kTick);
        }
    }
}
