// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sound/SoundOutput.h"

#include <memory>

// The PulseAudio output of Linux desktops, on a thread of its own that runs
// libpulse's main loop and renders each block when the server asks for it: one
// wake-up per block. Each connection is a new one, so that a sound server that
// was killed and started again is found again (Qt Multimedia's own PulseAudio
// backend does not reconnect). While the server stalls, nothing asks for sound
// and the engine keeps the pace on its clock.
class PulseOutput final : public SoundOutput
{
  public:
    PulseOutput();
    ~PulseOutput() override;
    Pacing pacing() const override { return Pacing::Device; }
    void start(std::shared_ptr<SoundSourceHandle> source) override;
    void stop() override;

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
};
