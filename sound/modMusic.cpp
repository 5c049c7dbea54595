// SPDX-License-Identifier: GPL-3.0-or-later
#include "sound/modMusic.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <vector>

namespace
{

struct GstObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
struct GFree {
    void operator()(gpointer memory) const { g_free(memory); }
};
template <class T> using GstPtr = std::unique_ptr<T, GstObjectUnref>;
using GCharPtr = std::unique_ptr<gchar, GFree>;

// GstPlayFlags "audio" alone: no video or subtitle branches for a sound file.
constexpr guint kPlayAudioOnly = 0x2;
constexpr GstClockTime kStateTimeout = 100 * GST_MSECOND;
// Only a broken pipeline takes this long to preroll a small sound file.
constexpr GstClockTime kRenderTimeout = 10 * GST_SECOND;
// How long a wait gives a track whose length the pipeline does not know.
constexpr qint64 kUnknownLengthMs = 60000;
constexpr qint64 kWaitGraceMs = 2000;

// A new element, owned here: GStreamer hands it out with a floating reference.
GstPtr<GstElement> makeElement(const char* factory)
{
    GstElement* element = gst_element_factory_make(factory, nullptr);
    if (element) gst_object_ref_sink(element);
    return GstPtr<GstElement>(element);
}

QByteArray fileSystemName(const QString& path)
{
#ifdef Q_OS_WIN
    return path.toUtf8(); // GLib's file names are UTF-8 there
#else
    return QFile::encodeName(path);
#endif
}

struct Player {
    GstPtr<GstElement> pipeline;
    quint64 serial = 0;
    QPointer<QObject> receiver;
    bool ended = false;  // end of stream since the last start or rewind
    bool failed = false; // an error since the last start
    std::vector<QPointer<QEventLoop>> waits;

    Player() = default;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;
    ~Player()
    {
        if (pipeline) {
            GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
            gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
            gst_bus_set_flushing(bus.get(), TRUE); // nobody listens any more
            // READY is silent, with the streaming threads stopped. Going on to NULL can
            // take fluidsynth 100 ms (it waits for its voices to let go of the soundfont),
            // so GStreamer finishes that on a thread of its own, holding its own reference.
            gst_element_set_state(pipeline.get(), GST_STATE_READY);
            gst_element_call_async(
                pipeline.get(),
                [](GstElement* e, gpointer) { gst_element_set_state(e, GST_STATE_NULL); }, nullptr,
                nullptr);
        }
        endWaits();
    }
    void endWaits()
    {
        for (const QPointer<QEventLoop>& loop : waits)
            if (loop) loop->quit();
        waits.clear();
    }
};

std::unique_ptr<Player> MusicPlayer;
std::unique_ptr<Player> SecondPlayer;
quint64 lastSerial = 0;
AudioOutput audioOutput = AudioOutput::Platform;
std::function<void(GstElement*)> sinkObserver;
std::optional<QStringList> soundFontPlaces;
std::optional<QString> soundFont;

void ensureGstreamer()
{
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
}

// On the user-interface thread: a message of the player `serial` has arrived.
void deliver(quint64 serial, GstMessageType type)
{
    Player* player = nullptr;
    if (MusicPlayer && MusicPlayer->serial == serial)
        player = MusicPlayer.get();
    else if (SecondPlayer && SecondPlayer->serial == serial)
        player = SecondPlayer.get();
    if (!player) return; // stopped or replaced since the message was posted

    if (type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) {
        (type == GST_MESSAGE_EOS ? player->ended : player->failed) = true;
        player->endWaits();
    }
    if (QObject* receiver = player->receiver) {
        QEvent event(PlaybackEventType);
        QCoreApplication::sendEvent(receiver, &event);
    }
}

// On a GStreamer thread: only hands the message over to the user-interface thread.
// `data` packs the player's serial with one bit: whether every message is wanted.
GstBusSyncReply handOver(GstBus*, GstMessage* message, gpointer data)
{
    const auto tag = reinterpret_cast<quintptr>(data);
    const GstMessageType type = GST_MESSAGE_TYPE(message);
    if ((tag & 1) || type == GST_MESSAGE_EOS || type == GST_MESSAGE_ERROR) {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            const quint64 serial = tag >> 1;
            QMetaObject::invokeMethod(
                app, [serial, type] { deliver(serial, type); }, Qt::QueuedConnection);
        }
    }
    // Nobody pops the bus, so nothing may pile up there; a dropped message is ours to release.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void setSoundFont(GstElement*, GstElement* element, gpointer fileName)
{
    GstElementFactory* factory = gst_element_get_factory(element);
    if (factory &&
        g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fluiddec") == 0)
        // Chorus costs a sixth of the synthesis and is barely heard in these cues.
        g_object_set(element, "soundfont", static_cast<const gchar*>(fileName), "synth-chorus",
                     FALSE, nullptr);
}

GstPtr<GstElement> silentSink(bool clocked)
{
    GstPtr<GstElement> sink = makeElement("fakesink");
    if (sink) g_object_set(sink.get(), "sync", gboolean(clocked), nullptr);
    return sink;
}

// The factory of the platform's audio output, found once, the first time it is needed;
// empty when there is none and autoaudiosink would settle for a fake sink.
const QByteArray& platformOutput()
{
    static const QByteArray factoryName = [] {
        QByteArray found;
        GstPtr<GstElement> probe = makeElement("autoaudiosink");
        if (!probe) return found;
        if (gst_element_set_state(probe.get(), GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS) {
            std::unique_ptr<GObject, GObjectUnref> child(
                gst_child_proxy_get_child_by_index(GST_CHILD_PROXY(probe.get()), 0));
            if (child && GST_IS_ELEMENT(child.get())) {
                GstElementFactory* factory = gst_element_get_factory(GST_ELEMENT(child.get()));
                const gchar* name =
                    factory ? gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)) : "";
                if (g_strcmp0(name, "fakesink") != 0 && g_strcmp0(name, "fakeaudiosink") != 0)
                    found = name;
            }
        }
        gst_element_set_state(probe.get(), GST_STATE_NULL);
        return found;
    }();
    return factoryName;
}

GstPtr<GstElement> playerSink()
{
    switch (audioOutput) {
    case AudioOutput::FastSilent:
        return silentSink(false);
    case AudioOutput::ClockedSilent:
        return silentSink(true);
    case AudioOutput::Platform:
        break;
    }
    // Without an audio output the game keeps its pacing through a clocked silent sink.
    if (platformOutput().isEmpty()) return silentSink(true);
    // The sink autoaudiosink chose, made directly: no new search for every file. A short
    // buffer lets the end of an effect arrive when it is heard, not a second later.
    GstPtr<GstElement> sink = makeElement(platformOutput().constData());
    if (sink && g_object_class_find_property(G_OBJECT_GET_CLASS(sink.get()), "buffer-time"))
        g_object_set(sink.get(), "buffer-time", gint64(60000), "latency-time", gint64(10000),
                     nullptr);
    return sink;
}

// Builds a playbin for `path` and brings it to PAUSED: a file that prerolls is
// renderable. Null when it is not.
std::unique_ptr<Player> render(const QString& path, GstPtr<GstElement> sink, bool notifyAll)
{
    ensureGstreamer();
    auto player = std::make_unique<Player>();
    player->pipeline = makeElement("playbin");
    GCharPtr uri(gst_filename_to_uri(fileSystemName(path).constData(), nullptr));
    if (!player->pipeline || !sink || !uri) return nullptr;
    GstElement* pipeline = player->pipeline.get();
    g_object_set(pipeline, "uri", uri.get(), "flags", kPlayAudioOnly, "audio-sink", sink.get(),
                 nullptr);

    const QString font = SoundFontPath();
    if (!font.isEmpty()) {
        g_signal_connect_data(
            pipeline, "element-setup", reinterpret_cast<GCallback>(&setSoundFont),
            g_strdup(fileSystemName(font).constData()),
            [](gpointer fileName, GClosure*) { g_free(fileName); }, GConnectFlags(0));
    }

    player->serial = ++lastSerial;
    const quintptr tag = (quintptr(player->serial) << 1) | (notifyAll ? 1 : 0);
    GstPtr<GstBus> bus(gst_element_get_bus(pipeline));
    gst_bus_set_sync_handler(bus.get(), &handOver, reinterpret_cast<gpointer>(tag), nullptr);

    if (gst_element_set_state(pipeline, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE)
        return nullptr;
    const GstStateChangeReturn prerolled =
        gst_element_get_state(pipeline, nullptr, nullptr, kRenderTimeout);
    if (prerolled != GST_STATE_CHANGE_SUCCESS && prerolled != GST_STATE_CHANGE_NO_PREROLL)
        return nullptr;
    return player;
}

// Rendering for a slot: the observer sees the sink first.
std::unique_ptr<Player> renderForSlot(const QString& path, bool notifyAll)
{
    ensureGstreamer();
    GstPtr<GstElement> sink = playerSink();
    if (sink && sinkObserver) sinkObserver(sink.get());
    return render(path, std::move(sink), notifyAll);
}

bool run(Player& player)
{
    player.ended = false;
    player.failed = false;
    return gst_element_set_state(player.pipeline.get(), GST_STATE_PLAYING) !=
           GST_STATE_CHANGE_FAILURE;
}

bool isRunning(const Player& player)
{
    GstState state = GST_STATE_VOID_PENDING;
    const GstStateChangeReturn result =
        gst_element_get_state(player.pipeline.get(), &state, nullptr, kStateTimeout);
    return result != GST_STATE_CHANGE_FAILURE && state == GST_STATE_PLAYING;
}

gint64 stopTime(const Player& player)
{
    gint64 duration = -1;
    return gst_element_query_duration(player.pipeline.get(), GST_FORMAT_TIME, &duration) ? duration
                                                                                         : -1;
}

gint64 currentPosition(const Player& player)
{
    gint64 position = -1;
    return gst_element_query_position(player.pipeline.get(), GST_FORMAT_TIME, &position) ? position
                                                                                         : -1;
}

// Whether the track has played to its end. The position at the end of the stream
// is not always its duration: an MP3 ends a nanosecond past it, and fluiddec stops
// up to one 10 ms tick short of a MIDI file's final event, so the end of the
// stream itself counts too.
bool reachedEnd(const Player& player)
{
    if (player.ended) return true;
    const gint64 stop = stopTime(player);
    return stop > 0 && currentPosition(player) >= stop;
}

// Both slots: the old player goes first, and a failure leaves the slot empty.
bool openSlot(std::unique_ptr<Player>& slot, const QString& path, QObject* receiver)
{
    slot.reset();
    std::unique_ptr<Player> player = renderForSlot(path, receiver != nullptr);
    if (!player) return false;
    player->receiver = receiver;
    slot = std::move(player);
    if (!run(*slot)) {
        slot.reset();
        return false;
    }
    return true;
}

double seconds(gint64 time)
{
    return time < 0 ? -1.0 : double(time) / double(GST_SECOND);
}

} // namespace

void SetAudioOutput(AudioOutput output)
{
    audioOutput = output;
}

bool OpenMusic(const QString& path, QObject* notifyWindow)
{
    return openSlot(MusicPlayer, path, notifyWindow);
}

void StopMusic()
{
    MusicPlayer.reset();
}

void KeepMusicLooping()
{
    Player* player = MusicPlayer.get();
    if (!player || !isRunning(*player)) return;
    if (reachedEnd(*player)) {
        player->ended = false;
        gst_element_seek_simple(player->pipeline.get(), GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH, 0);
    }
}

void WaitForMusicEnd()
{
    Player* player = MusicPlayer.get();
    if (!player || !isRunning(*player)) return;
    if (player->failed || reachedEnd(*player)) return;
    const gint64 stop = stopTime(*player);
    const gint64 position = currentPosition(*player);

    // A stuck pipeline must not hold the game: give up after the rest of the track and a grace.
    const qint64 limitMs =
        (stop > 0 ? (stop - std::max<gint64>(position, 0)) / GST_MSECOND : kUnknownLengthMs) +
        kWaitGraceMs;
    QEventLoop loop;
    std::erase_if(player->waits, [](const QPointer<QEventLoop>& wait) { return wait.isNull(); });
    player->waits.emplace_back(&loop);
    QTimer::singleShot(std::chrono::milliseconds(limitMs), &loop, &QEventLoop::quit);
    loop.exec();
}

bool OpenSecond(const QString& path)
{
    return openSlot(SecondPlayer, path, nullptr);
}

void StopSecond()
{
    SecondPlayer.reset();
}

double MediaDuration(const QString& path)
{
    static QHash<QString, double> known;
    if (const auto found = known.constFind(path); found != known.cend()) return *found;
    double duration = -1;
    ensureGstreamer();
    if (std::unique_ptr<Player> probe = render(path, silentSink(false), false))
        duration = seconds(stopTime(*probe));
    known.insert(path, duration);
    return duration;
}

bool MusicIsRunning()
{
    return MusicPlayer && isRunning(*MusicPlayer);
}
double MusicPosition()
{
    return MusicPlayer ? seconds(currentPosition(*MusicPlayer)) : -1.0;
}
double MusicStopTime()
{
    return MusicPlayer ? seconds(stopTime(*MusicPlayer)) : -1.0;
}
bool SecondIsRunning()
{
    return SecondPlayer && isRunning(*SecondPlayer);
}
double SecondPosition()
{
    return SecondPlayer ? seconds(currentPosition(*SecondPlayer)) : -1.0;
}

QStringList SoundFontPlaces()
{
    if (soundFontPlaces) return *soundFontPlaces;
#ifdef Q_OS_WIN
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/TimGM6mb.sf2")};
#else
    return {
        QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"),
        QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2"),
        QStringLiteral("/usr/share/sounds/sf2/default-GM.sf2"),
        QStringLiteral("/usr/share/soundfonts/default.sf2"),
        QStringLiteral("/usr/share/soundfonts/FluidR3_GM.sf2"),
        QStringLiteral("/usr/local/share/soundfonts/default.sf2"),
    };
#endif
}

void SetSoundFontPlaces(const QStringList& places)
{
    soundFontPlaces = places;
    soundFont.reset();
}

QString SoundFontPath()
{
    if (!soundFont) {
        soundFont = QString();
        for (const QString& place : SoundFontPlaces()) {
            const QFileInfo file(place);
            if (file.isFile() && file.isReadable()) {
                soundFont = place;
                break;
            }
        }
    }
    return *soundFont;
}

void SetAudioSinkObserver(std::function<void(_GstElement*)> observer)
{
    sinkObserver = std::move(observer);
}
