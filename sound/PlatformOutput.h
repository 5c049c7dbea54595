// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "sound/SoundOutput.h"

#include <QPointer>

class QThread;
class PlatformStream;

// The platform's audio output through Qt Multimedia, on a thread of its own
// that nobody else waits on. The stream is opened once; when the device or the
// sound server fails, it is opened again a second later, and until then the
// engine keeps the pace on its clock.
class PlatformOutput final : public SoundOutput
{
  public:
    PlatformOutput();
    ~PlatformOutput() override;
    Pacing pacing() const override { return Pacing::Device; }
    void start(std::shared_ptr<SoundSourceHandle> source) override;
    void stop() override;

  private:
    std::unique_ptr<QThread> thread_;
    QPointer<PlatformStream> stream_;
};
