// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/PlatformOutput.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
// The stream's buffer: short, so that a command is heard at once.
constexpr int kBufferMs = 20;
// How often the stream is topped up.
constexpr int kFeedMs = 2;
// How long after a failure the device is tried again.
constexpr int kRetryMs = 1000;
// A stream that takes nothing for this long while it should play has stalled.
constexpr int kStalledMs = 1500;
} // namespace

// Lives on the output's thread: opens the sink, tops it up, opens it again after a failure.
class PlatformStream : public QObject
{
  public:
    explicit PlatformStream(std::shared_ptr<SoundSourceHandle> source)
        : source_(std::move(source)), feed_(this), retry_(this)
    {
        feed_.setTimerType(Qt::PreciseTimer);
        feed_.setInterval(kFeedMs);
        connect(&feed_, &QTimer::timeout, this, &PlatformStream::topUp);
        retry_.setSingleShot(true);
        retry_.setInterval(kRetryMs);
        connect(&retry_, &QTimer::timeout, this, &PlatformStream::open);
    }
    ~PlatformStream() override { close(); }

    void open()
    {
        close();
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            retry_.start();
            return;
        }
        QAudioFormat format;
        format.setSampleRate(SoundRate);
        format.setChannelCount(2);
        format.setSampleFormat(QAudioFormat::Float);
        if (!device.isFormatSupported(format)) format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) {
            // The device's own rate, and the engine's sound resampled to it.
            format = device.preferredFormat();
            format.setChannelCount(2);
            if (format.sampleFormat() != QAudioFormat::Float)
                format.setSampleFormat(QAudioFormat::Int16);
        }
        format_ = format;
        step_ = double(SoundRate) / format.sampleRate();
        phase_ = 0;
        sink_ = std::make_unique<QAudioSink>(device, format);
        sink_->setBufferSize(format.bytesForDuration(kBufferMs * 1000));
        io_ = sink_->start();
        if (!io_ || sink_->error() != QAudio::NoError) {
            close();
            retry_.start();
            return;
        }
        sinceProgress_.start();
        topUp();
        feed_.start();
    }

  private:
    void close()
    {
        feed_.stop();
        io_ = nullptr;
        if (sink_) {
            sink_->reset();
            sink_.reset();
        }
    }

    void fail()
    {
        close();
        retry_.start();
    }

    void topUp()
    {
        if (!sink_ || !io_) return;
        if (sink_->error() == QAudio::OpenError || sink_->error() == QAudio::FatalError ||
            sink_->state() == QAudio::StoppedState) {
            fail();
            return;
        }
        const int frameBytes = format_.bytesPerFrame();
        qsizetype free = sink_->bytesFree();
        if (free < frameBytes) {
            // A server that takes nothing for long is gone: try a new stream.
            if (sinceProgress_.elapsed() > kStalledMs) fail();
            return;
        }
        sinceProgress_.restart();
        while (free >= frameBytes) {
            const int frames = int(std::min<qsizetype>(free / frameBytes, 1024));
            produce(frames);
            const qint64 written = io_->write(bytes_.constData(), qint64(frames) * frameBytes);
            if (written <= 0) break;
            free -= written;
        }
    }

    // One frame of the engine's sound, for the resampler.
    const float* nextInput()
    {
        if (inputAt_ >= input_.size()) {
            input_.resize(256 * 2);
            source_->render(input_.data(), 256);
            inputAt_ = 0;
        }
        const float* frame = input_.data() + inputAt_;
        inputAt_ += 2;
        return frame;
    }

    // `frames` frames in the device's format, into bytes_.
    void produce(int frames)
    {
        samples_.resize(std::size_t(frames) * 2);
        if (step_ == 1.0) {
            source_->render(samples_.data(), frames);
        } else {
            // Linear interpolation between the engine's frames.
            for (int i = 0; i < frames; ++i) {
                while (phase_ >= 1.0) {
                    phase_ -= 1.0;
                    const float* in = nextInput();
                    std::copy(current_, current_ + 2, previous_);
                    std::copy(in, in + 2, current_);
                }
                for (int c = 0; c < 2; ++c)
                    samples_[2 * std::size_t(i) + c] =
                        previous_[c] + (current_[c] - previous_[c]) * float(phase_);
                phase_ += step_;
            }
        }
        if (format_.sampleFormat() == QAudioFormat::Float) {
            bytes_ = QByteArray(reinterpret_cast<const char*>(samples_.data()),
                                qsizetype(samples_.size() * sizeof(float)));
        } else {
            bytes_.resize(qsizetype(samples_.size() * sizeof(qint16)));
            auto* out = reinterpret_cast<qint16*>(bytes_.data());
            for (std::size_t i = 0; i < samples_.size(); ++i)
                out[i] = qint16(std::lround(std::clamp(samples_[i], -1.0f, 1.0f) * 32767.0f));
        }
    }

    std::shared_ptr<SoundSourceHandle> source_;
    std::unique_ptr<QAudioSink> sink_;
    QIODevice* io_ = nullptr;
    QAudioFormat format_;
    QTimer feed_, retry_;
    QElapsedTimer sinceProgress_;
    double step_ = 1.0, phase_ = 0;
    float previous_[2] = {0, 0}, current_[2] = {0, 0};
    std::vector<float> samples_, input_;
    std::size_t inputAt_ = 0;
    QByteArray bytes_;
};

PlatformOutput::PlatformOutput() = default;

PlatformOutput::~PlatformOutput()
{
    stop();
}

void PlatformOutput::start(std::shared_ptr<SoundSourceHandle> source)
{
    if (thread_) return;
    thread_ = std::make_unique<QThread>();
    thread_->setObjectName(QStringLiteral("sound output"));
    auto* stream = new PlatformStream(std::move(source)); // deleted on its thread
    stream->moveToThread(thread_.get());
    QObject::connect(thread_.get(), &QThread::finished, stream, &QObject::deleteLater);
    stream_ = stream;
    thread_->start(QThread::TimeCriticalPriority);
    QMetaObject::invokeMethod(
        stream, [stream] { stream->open(); }, Qt::QueuedConnection);
}

void PlatformOutput::stop()
{
    if (!thread_) return;
    thread_->quit();
    // A sound server that hangs may hold the thread in a call: then it is left to
    // finish by itself (its source already renders silence).
    if (!thread_->wait(QDeadlineTimer(300))) {
        QThread* abandoned = thread_.release();
        QObject::connect(abandoned, &QThread::finished, abandoned, &QObject::deleteLater);
    }
    thread_.reset();
}
