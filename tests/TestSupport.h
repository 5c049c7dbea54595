// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace TestSupport
{

// A Standard MIDI File with one note held for `seconds`, then `restSeconds` of
// silence before the end of the track.
QByteArray MakeMidi(double seconds, int note = 72, double restSeconds = 0.0);
// An MP3 of a tone about `seconds` long (the shipped loading tune where no
// encoder is installed); empty on failure.
QByteArray MakeMp3(double seconds);
bool WriteFile(const QString& path, const QByteArray& bytes);

// Recorded stereo samples: the first frame whose level is audible (-1 when
// none is), and the longest run of inaudible frames within [from, to).
std::int64_t FirstAudible(const std::vector<float>& samples);
std::int64_t LongestSilence(const std::vector<float>& samples, std::int64_t from, std::int64_t to);

// A plain bank of 15 levels with `perLevel` questions each, every level closed
// by "\". Question text "Вопрос L.q", answers "Ответ L.q.i", right answer
// number (q % 4) + 1.
QByteArray MakePlainBank(int perLevel);
// Plain text as a scrambled file, optionally broken into lines of `lineLength`.
QByteArray MakeBankFile(const QByteArray& plain, int lineLength = 0);

struct GameFolderOptions {
    int questionsPerLevel = 3;
    double effectSeconds = 0.2;
    double musicSeconds = 1.0;
    bool withReadMe = true;
    bool withBank = true;
};
// Fills `folder` with questions.qvr, sounds/ and ReadMe.txt; returns the folder
// with a trailing separator, as AppPath wants it.
QString MakeGameFolder(const QString& folder, const GameFolderOptions& options = {});

} // namespace TestSupport

#include <QObject>
#include <QTimer>

namespace TestSupport
{

// Answers the program's dialogs while a test waits inside them: every 50 ms it
// clicks the first visible button of any other visible top-level window and
// records what that window showed. Clicks during a dialog's pause are lost, so
// it keeps clicking until the window is gone.
class DialogCloser : public QObject
{
    Q_OBJECT
  public:
    struct Seen {
        QString title;
        QString text;
        QStringList buttons;
    };
    explicit DialogCloser(QWidget* mainWindow);
    QList<Seen> seen;
    bool enabled = true;

  private:
    void poll();
    QWidget* main_;
    QTimer timer_;
};

} // namespace TestSupport
