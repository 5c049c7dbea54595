// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sound/MidiFile.h"
#include "sound/Mp3File.h"
#include "sound/SoundOutput.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>

struct _fluid_hashtable_t;
struct _fluid_synth_t;

// A sound file read and ready to play: a MIDI sequence or decoded samples.
struct LoadedSound {
    std::variant<MidiSequence, PcmSound> content;
    double lengthSeconds() const;
    std::int64_t lengthFrames() const;
    bool isMidi() const { return content.index() == 0; }
};

// One synthesizer for the whole process, with its 32 MIDI channels split
// between the two player slots (0-15 and 16-31), and one output stream. Slots
// are played by a sequencer of ours that feeds the synthesizer on the exact
// sample of every event; decoded sounds are mixed in beside it.
class SoundEngine final : public SoundSource
{
  public:
    enum class State { Empty, Playing, Ended };
    enum class Note { Started, Looped, Ended };
    struct Status {
        quint64 serial = 0;
        State state = State::Empty;
        double position = -1; // seconds
        double stopTime = -1;
    };
    static constexpr int kSlots = 2;

    static SoundEngine& instance();
    ~SoundEngine() override;
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    // The file read (MIDI parsed, MP3 decoded), kept for later calls; null when
    // it cannot be played. Called on the user-interface thread.
    std::shared_ptr<const LoadedSound> load(const QString& path);
    // Whether MIDI can be played: the soundfont that SoundFontPath() names is
    // loaded (waiting for the first load if it is still under way).
    bool midiReady();
    int soundFontLoads() const { return fontLoads_.load(); }

    // Starts `sound` in `slot` from its beginning, replacing what played there;
    // a looping slot wraps at its last sample. Returns the new player's serial.
    quint64 start(int slot, std::shared_ptr<const LoadedSound> sound, bool loop);
    void stop(int slot);
    // Back to the beginning of the current sound (a finished one plays again).
    void rewind(int slot);
    Status status(int slot) const;

    // Receives each slot's notes on the audio thread; must only hand them on.
    void setNotifier(std::function<void(int slot, quint64 serial, Note)> notifier);
    void setOutput(std::shared_ptr<SoundOutput> output);

    // SoundSource: called by a device output.
    void render(float* frames, int count) override;

  private:
    SoundEngine();
    struct Slot {
        quint64 serial = 0;
        State state = State::Empty;
        std::shared_ptr<const LoadedSound> sound;
        bool loop = false;
        std::int64_t position = 0; // frames
        std::size_t next = 0;      // next MIDI event
    };
    void renderLocked(float* out, int count);
    void advance(int index, Slot& slot);
    std::int64_t boundary(const Slot& slot) const;
    void silence(int index, const Slot& slot);
    void setUpDrums();
    void notify(int slot, quint64 serial, Note note);
    void driverLoop();
    void loadFont(const QString& path);
    bool anyPlaying() const;

    struct SynthDelete {
        void operator()(_fluid_synth_t* s) const;
    };
    struct SettingsDelete {
        void operator()(_fluid_hashtable_t* s) const;
    };
    std::unique_ptr<_fluid_hashtable_t, SettingsDelete> settings_;
    std::unique_ptr<_fluid_synth_t, SynthDelete> synth_;

    mutable std::mutex lock_; // slots, synth calls, output hand-over
    Slot slots_[kSlots];
    quint64 lastSerial_ = 0;
    bool synthBusy_ = false;        // a soundfont is being loaded: no rendering meanwhile
    std::int64_t silentFrames_ = 0; // rendered since the last voice
    std::int64_t synthFrames_ = 0;  // rendered by the synthesizer (its blocks are 64 frames)
    std::function<void(int, quint64, Note)> notifier_;
    std::vector<float> scratch_;

    // Soundfont: loaded once per choice of file.
    std::mutex fontLock_;
    QString fontPath_; // the file loaded, or being loaded
    int fontId_ = -1;  // -1 when that file failed to load
    std::future<void> fontLoading_;
    std::atomic<int> fontLoads_{0};

    // The thread that renders on a clock: for clocked and fast outputs, and for
    // a device output that has stalled or failed.
    std::shared_ptr<SoundOutput> output_;
    std::shared_ptr<SoundSourceHandle> handle_;
    std::thread driver_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::atomic<std::int64_t> lastDeviceRenderNs_{0};
    std::int64_t outputStartNs_ = 0;
};
