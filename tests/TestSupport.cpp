// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSupport.h"

#include "base/AllCorrector.h"
#include "content/Cp1251.h"
#include "content/QuestionBank.h"
#include "tools/midigen/smf.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>

namespace TestSupport
{

namespace
{
constexpr float kAudible = 1e-3f;
}

std::int64_t FirstAudible(const std::vector<float>& samples)
{
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (std::fabs(samples[i]) > kAudible) return std::int64_t(i / 2);
    return -1;
}

std::int64_t LongestSilence(const std::vector<float>& samples, std::int64_t from, std::int64_t to)
{
    std::int64_t longest = 0, run = 0;
    for (std::int64_t f = std::max<std::int64_t>(from, 0);
         f < to && 2 * std::size_t(f) + 1 < samples.size(); ++f) {
        const bool quiet =
            std::fabs(samples[2 * f]) <= kAudible && std::fabs(samples[2 * f + 1]) <= kAudible;
        run = quiet ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

QByteArray MakeMidi(double seconds, int note, double restSeconds)
{
    // 480 ticks per quarter at the default 120 bpm: 960 ticks a second.
    const auto hold = std::uint32_t(seconds * 960);
    const auto rest = std::uint32_t(restSeconds * 960);
    const auto key = std::uint8_t(note);
    midigen::MidiTrack track;
    track.events.push_back({0, 1, 0, {0xC0, 0x00}});
    track.events.push_back({0, 2, 1, {0x90, key, 100}});
    track.events.push_back({hold, 0, 2, {0x80, key, 0}});
    midigen::MidiFile file;
    file.tracks.push_back(std::move(track));
    file.endTick = hold + rest;
    const std::vector<std::uint8_t> bytes = midigen::encodeSmf(file);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

QByteArray MakeMp3(double seconds)
{
    // A falling tone, mono at 22 050 Hz (so that the player has to resample it), encoded
    // by the lame encoder when there is one; otherwise the game's own loading tune.
    const QString encoder = QStandardPaths::findExecutable(QStringLiteral("lame"));
    if (encoder.isEmpty()) {
        QFile shipped(qEnvironmentVariable("QUORVEL_SOURCE_DIR") +
                      QStringLiteral("/data/sounds/14.mp3"));
        return shipped.open(QIODevice::ReadOnly) ? shipped.readAll() : QByteArray();
    }
    const int rate = 22050;
    QByteArray pcm;
    const int frames = int(seconds * rate);
    double phase = 0;
    for (int i = 0; i < frames; ++i) {
        phase += 2 * M_PI * (880.0 - 440.0 * i / frames) / rate;
        const qint16 v = qint16(std::lround(std::sin(phase) * 12000));
        pcm += char(v & 0xFF);
        pcm += char((v >> 8) & 0xFF);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tone.mp3"));
    QProcess lame;
    lame.start(encoder,
               {QStringLiteral("--quiet"), QStringLiteral("-r"), QStringLiteral("-s"),
                QStringLiteral("22.05"), QStringLiteral("--bitwidth"), QStringLiteral("16"),
                QStringLiteral("--signed"), QStringLiteral("--little-endian"), QStringLiteral("-m"),
                QStringLiteral("m"), QStringLiteral("-"), path});
    if (!lame.waitForStarted()) return {};
    lame.write(pcm);
    lame.closeWriteChannel();
    if (!lame.waitForFinished(30000) || lame.exitCode() != 0) return {};
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray MakePlainBank(int perLevel)
{
    QString text;
    for (int l = 1; l <= 15; ++l) {
        if (l > 1) text += u'^';
        for (int q = 0; q < perLevel; ++q) {
            text += QStringLiteral("Вопрос %1.%2").arg(l).arg(q);
            for (int i = 1; i <= 4; ++i)
                text += QStringLiteral("|Ответ %1.%2.%3").arg(l).arg(q).arg(i);
            text += QStringLiteral("|%1\\").arg(q % 4 + 1);
        }
    }
    return Cp1251::encode(text);
}

QByteArray MakeBankFile(const QByteArray& plain, int lineLength)
{
    const QByteArray scrambled = Bank::ScrambleBank(plain);
    if (lineLength <= 0) return scrambled;
    QByteArray out;
    for (qsizetype i = 0; i < scrambled.size(); i += lineLength) {
        out += scrambled.mid(i, lineLength);
        out += "\r\n";
    }
    return out;
}

QString MakeGameFolder(const QString& folder, const GameFolderOptions& o)
{
    QDir().mkpath(folder + "/sounds");
    if (o.withBank)
        WriteFile(folder + "/questions.qvr", MakeBankFile(MakePlainBank(o.questionsPerLevel), 60));
    const QByteArray effect = MakeMidi(o.effectSeconds, 76, 0.05);
    const QByteArray music = MakeMidi(o.musicSeconds, 60);
    for (int n = 1; n <= 16; ++n) {
        const bool isMusic = n == 5 || n == 6 || n == 7 || n == 8 || n == 13;
        if (n == 14) continue;
        WriteFile(QStringLiteral("%1/sounds/%2.mid").arg(folder).arg(n), isMusic ? music : effect);
    }
    WriteFile(folder + "/sounds/14.mp3", MakeMp3(0.5));
    if (o.withReadMe)
        WriteFile(folder + "/ReadMe.txt",
                  Cp1251::encode(QStringLiteral("Строка один\r\nСтрока два\r\n")));
    return WithTrailingSeparator(folder);
}

} // namespace TestSupport

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

namespace TestSupport
{

DialogCloser::DialogCloser(QWidget* mainWindow) : main_(mainWindow)
{
    connect(&timer_, &QTimer::timeout, this, &DialogCloser::poll);
    timer_.start(50);
}

void DialogCloser::poll()
{
    if (!enabled) return;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w == main_ || !w->isVisible() || w->inherits("QMenu")) continue;
        QList<QPushButton*> buttons;
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->isVisible() && b->isEnabled()) buttons << b;
        if (buttons.isEmpty()) continue;
        std::sort(buttons.begin(), buttons.end(),
                  [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
        Seen s;
        s.title = w->windowTitle();
        if (auto* t = w->findChild<QPlainTextEdit*>())
            s.text = t->toPlainText();
        else if (auto* t2 = w->findChild<QTextEdit*>())
            s.text = t2->toPlainText();
        for (QPushButton* b : buttons)
            s.buttons << b->text();
        if (seen.isEmpty() || seen.last().title != s.title || seen.last().text != s.text) seen << s;
        buttons.first()->click();
        return;
    }
}

} // namespace TestSupport
