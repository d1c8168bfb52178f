#pragma once

// qzr-camsim: a stand-in for a QZ-R network camera: the parameter interface
// (HTTP, below), with --rtsp-port or SimThread::startRtsp() live video, and
// multicast RTP while a network.destination(c).status is "start".
// `qzr-camsim --cameras N` runs N of these (one SimServer each, own state) on
// ports port, port+1, ..., port+N-1; camera k's MAC has its last byte + k.
//
// RTSP video (RtspServer.h; GStreamer RTSP server in its own GLib thread)
//   rtsp://ADDR:PORT/channel1 .. /channel3, one mount per encoder, same address
//   and the same Basic credentials as below (a password change applies at once).
//   Each mount follows encode(n).*: h264high/h264baseline -> H.264 (x264enc,
//   zerolatency, key-int-max = iframeinterval, bitrate), jpeg -> Motion JPEG
//   (quality from the JPEG size token), mpeg4 -> MPEG-4 Part 2 (avenc_mpeg4,
//   rtpmp4vpay; its output timestamps repaired, see addTimestampRepair()), off
//   or an unknown value -> no mount (DESCRIBE answers 404). A change
//   replaces the mount before the HTTP reply is sent: new sessions get the new
//   stream, clients of the old one keep it. Moving test picture with the
//   settings and a clock drawn in, plus the frame stamp (FrameStamp.h).
//
// Multicast video (MulticastSender.h; GStreamer, a GLib loop thread of its own)
//   network.destination(c).status=start sends channel c as RTP to
//   network.destination(c).address:.port on the loopback interface only
//   (udpsink multicast-iface=lo ttl-mc=0 auto-multicast=false loop=true); stop
//   ends it, before the HTTP reply. Same pipeline as the RTSP mount: H.264 with
//   pt=96 and config-interval=1 (parameter sets in-band, join at any time),
//   Motion JPEG with pt=26, MPEG-4 with pt=96 (MP4V-ES, config-interval=1);
//   encoder off sends nothing, and a started
//   destination begins sending once its encoder is switched on. No SDP is
//   published: the receiver builds "m=video PORT RTP/AVP 96",
//   "c=IN IP4 GROUP/0", "a=rtpmap:96 H264/90000",
//   "a=fmtp:96 packetization-mode=1" (see sim/README.md).
//
// WS-Discovery (DiscoveryResponder.h, unless --no-discovery)
//   UDP 239.255.255.250:3702 on the given interfaces (default lo): Probe ->
//   unicast ProbeMatch after a random 0-500 ms (endpoint urn:uuid:, Scopes
//   onvif://www.onvif.org/type/video_encoder, .../hardware/MODEL,
//   .../name/MODEL, .../location/, XAddrs
//   http://ADDRESS:PORT/onvif/device_service), only to probes whose Types and
//   Scopes it matches, in the probe's SOAP (1.1 or 1.2) and WS-Discovery
//   (2005/04 or 1.1) version; Hello at start, Bye at SIGTERM.
//   POST /onvif/device_service: GetDeviceInformation, GetSystemDateAndTime.
//
// Endpoints
//   GET /api/param?QUERY            Basic auth. QUERY is "KEY" (read) or "KEY=VALUE"
//                                   (write), several joined by "&", handled in order.
//                                   The raw query is split on "&" and "=" first, then
//                                   each key and value is percent-decoded (%26 stays
//                                   inside a value) into bytes, which the camera keeps
//                                   and answers unchanged (its single-byte code page,
//                                   Windows-1252: %E9 is "é", answered as byte E9).
//                                   Reply: 200, Content-Type text/html,
//                                   body lines ended by CR LF:
//                                     <html>
//                                     <head><title>QZ-R param</title></head>
//                                     <body>
//                                     <pre>
//                                     KEY=VALUE&        one line per item, key as sent
//                                     </pre>
//                                     </body></html>
//                                   A write answers with the value now stored; an unknown
//                                   key, a read-only key written, a command key read or a
//                                   value outside the allowed set answers KEY=NG& and the
//                                   stored value stays.
//   GET /cgi-bin/display.cgi?...    Basic auth; a small service page.
//   GET /__camsim/fault?mode=M[&nth=N]  no auth; switch the fault mode, replies "ok".
//   GET /__camsim/state             no auth; every value as KEY=VALUE lines, then the
//                                   saved copies as "[saved] KEY=VALUE".
//   GET /__camsim/set?KEY=VALUE...  no auth; store values without any check.
//   GET /__camsim/focus?result=stop|OBJECT_ERROR[&polls=N]  no auth; how the next
//                                   auto focus ends, after N reads of "run".
//   GET /__camsim/refuse?KEY=VALUE...  no auth; this camera answers KEY=NG& to a write
//                                   of exactly VALUE to KEY from now on; without items
//                                   it takes every value its rules allow again.
//   GET /__camsim/accept?KEY=VALUE...  no auth; this camera takes a write of exactly
//                                   VALUE to KEY from now on, although its rules do not
//                                   list it (a camera with more values than these);
//                                   without items it keeps to its rules again.
//   GET /__camsim/ignore?KEY=VALUE...  no auth; this camera answers a write of exactly
//                                   VALUE to KEY as taken (KEY=VALUE&) but keeps its old
//                                   value; without items it takes writes again.
//   Anything else: 404 Not Found (after authentication).
//   Credentials: user "admin", password "kqm"; 401 with WWW-Authenticate: Basic
//   realm="QZ-R" otherwise. system.password.operator(0)=X changes the password.
//
// Keys (n = encoder 1..3, s = scene file 0..7, c = channel 1..3); default in [ ]
//   system.model [QZ-R410]  system.software.revision [2.10.0045]     read-only
//   system.password.operator(0) [kqm]                                any non-empty text
//   encode(n).type          h264high|h264baseline|jpeg|off|mpeg4   [h264high|jpeg|off]
//   encode(n).framesize     1920x1080|quadvga|1280x720|qvga|640x360|vga
//                                                         [1920x1080|1920x1080|640x360]
//   encode(n).framerate     1|2|3|5|10|15|25|30                    [15]
//   encode(n).cbr_mode      cbr|vbr|afs                            [cbr|afs|cbr]
//   encode(n).bitrate       64000..8000000                         [4000000|2048000|512000]
//   encode(n).quality       80k|120k|160k|200k|240k|280k|320k      [160k]
//   encode(n).iframeinterval 5|10|15|30|60|90|120                  [30]
//   encode(n).status        command: save (keeps a saved copy of encoder n)
//   camera.scene.status     current scene file, read-only          [0]
//   camera.scene(s).status  command: goto | initialize | save
//   camera.scene(s).image.3ddnr           high|mid|low|off
//   camera.scene(s).image.brightness      manual|autoM|autoH
//   camera.scene(s).image.senseup_limit   0|2|4|8|16|32|60
//   camera.scene(s).shutter               30|50|60|100|250|500|1000|2000|4000|10000|
//                                         auto100|auto1000|flickerless
//   camera.scene(s).auto_exposure.reference  -5..5
//   camera.scene(s).image.color           0..255
//   camera.scene(s).image.true_daynight   color|bw|autoL|autoM|autoH
//   camera.scene(s).image.white_balance   autoW|autoN
//   camera.scene(s).image.blc             off|a|b|c|d
//   camera.scene(s).image.enhance         0..255
//   camera.scene(s).image.clvi            on|off
//   camera.scene(s).image.pedestal        0..255
//   camera.scene(s).image.gamma           1|0.45
//   camera.scene(s).auto_exposure.av_pk.color        5..10
//   camera.scene(s).auto_exposure.av_pk.black_white  5..10
//   camera.scene(s).image.brightness.highgain        auto|color|bw
//   camera.scene(s).auto_exposure.priority           any non-empty text [standard]
//     (scene defaults: see sceneFactoryValues() in CameraSimulator.cpp)
//   camera.focus.status     read-only: "run" for --focus-polls reads after an auto
//                           focus starts, then "stop" (or "OBJECT_ERROR")  [stop]
//   camera.focus.adjust_mode day|night|select|init_pos             [select]
//                           day and init_pos start an auto focus; select ends it;
//                           init_pos only on the model QZ-R50 (back focus), else NG
//   camera.focus            command: op_auto (starts an auto focus)
//   camera.focus.abf_pos    command: initialize (starts an auto focus), QZ-R50 only
//   camera.focus.finefocus  0..1000, or +N / -N relative           [500]
//   camera.focus.nightfocus 0..9, or + / - one step                [5]
//   camera.motion.zoom.mode in|out [in]   camera.motion.zoom.status start|stop [stop]
//   network.interface.mac   read-only [00:11:22:33:44:55]
//   network.interface.ip [192.168.0.57]  network.interface.subnetmask [255.255.255.0]
//   network.gateway(ipv4) [192.168.0.1]                            dotted IPv4
//   network.http.port [the port served]  network.rtsp.port [554]   1..65535
//   network.interface.dhcp.status on|off [off]
//   network.http.status     command: restart; after the reply the HTTP server moves
//                           to network.http.port (SimServer::restartNetwork)
//   network.interface.status  command: restart; after the reply the camera is
//                           unreachable for ServerOptions::restart_ms, then serves on
//                           network.http.port again; an address written to
//                           network.interface.ip is only stored (it stays on loopback)
//   network.destination(c).address  dotted IPv4 [225.0.1.1|225.0.2.1|225.0.4.1]
//   network.destination(c).port     1..65535    [49152|59152|29152]
//   network.destination(c).status   start|stop [stop]; save keeps a saved copy
//   storage.disk(1).size    read-only [31914983424]
//   storage.disk(1).status  on|off [off]
//   application.object(8).source  encode(1)|encode(2)|encode(3) [encode(1)]
//   application.event(8).status   on|off [off]

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "ParamQuery.h"

namespace qzr::sim {

// How a started auto focus ends.
enum class FocusResult { Stop, ObjectError };

// A network restart that a request commanded; the server carries it out once
// the reply is on its way.
enum class NetworkRestart {
    None,
    Http,      // network.http.status=restart: the HTTP server moves to network.http.port
    Interface, // network.interface.status=restart: unreachable while the camera reboots
};

struct CameraOptions {
    QString model = QStringLiteral("QZ-R410");
    QString softwareRevision = QStringLiteral("2.10.0045");
    QString mac = QStringLiteral("00:11:22:33:44:55");
    QString user = QStringLiteral("admin");
    QString password = QStringLiteral("kqm");
    int focusPolls = 3;
    FocusResult focusResult = FocusResult::Stop;
};

// The state of one camera: its parameter values, saved copies, current scene,
// credentials and auto focus. Not thread-safe: one thread owns it.
class CameraSimulator
{
public:
    explicit CameraSimulator(const CameraOptions &options = {});

    // Handles every item of a raw /api/param query and returns the reply body.
    QByteArray handleParamQuery(const QByteArray &rawQuery);

    // One read or write; the value the reply shows (kRefusedValue when refused).
    QString read(const QString &key);
    QString write(const QString &key, const QString &value);

    // Inspection and set-up without the camera's checks or side effects.
    std::optional<QString> value(const QString &key) const;
    std::optional<QString> savedValue(const QString &key) const;
    void setValue(const QString &key, const QString &value);
    QStringList dump() const;

    bool checkCredentials(const QString &user, const QString &password) const;
    QString user() const { return m_user; }
    QString password() const;

    // Makes this camera refuse (KEY=NG&) a write of exactly this value to
    // this key, although its rules allow it: one camera of a fleet that
    // does not take a setting the others take.
    void refuseWrite(const QString &key, const QString &value);
    void clearRefusedWrites() { m_refusedWrites.clear(); }

    // Makes this camera take (and store) a write of exactly this value to
    // this key, although its rules do not list it.
    void acceptWrite(const QString &key, const QString &value);
    void clearAcceptedWrites() { m_acceptedWrites.clear(); }

    // Makes this camera answer a write of exactly this value to this key as
    // taken while it keeps the old value (a setting silently dropped).
    void ignoreWrite(const QString &key, const QString &value);
    void clearIgnoredWrites() { m_ignoredWrites.clear(); }

    void setFocusResult(FocusResult result) { m_focusResult = result; }
    // Status reads that answer "run" after the next auto focus starts.
    void setFocusPolls(int polls) { m_focusPolls = polls; }

    // The restart commanded since the last call (a reboot wins over an HTTP
    // restart); clears it.
    NetworkRestart takePendingRestart();

private:
    using Validator = std::function<bool(const QString &)>;
    using Command = std::function<bool(const QString &)>;

    struct KeyRule {
        QString factory;
        Validator accepts; // empty: read-only
    };

    void addKey(const QString &key, const QString &factory, Validator accepts);
    void addCommand(const QString &key, Command command);
    void addSystemKeys(const CameraOptions &options);
    void addEncoderKeys();
    void addSceneKeys();
    void addFocusKeys();
    void addNetworkKeys(const CameraOptions &options);
    void addStorageAndZoomKeys();

    std::optional<QString> resolveWrite(const QString &key, const QString &value) const;
    void afterWrite(const QString &key, const QString &value);
    QString readFocusStatus();
    void startAutoFocus();
    // Only the QZ-R50 (by its current system.model) has a back-focus motor.
    bool hasBackFocus() const;

    bool gotoScene(int scene);
    bool initializeScene(int scene);
    void saveKeysWithPrefix(const QString &prefix);

    QMap<QString, KeyRule> m_rules;
    QMap<QString, Command> m_commands;
    QMap<QString, QString> m_values;
    QMap<QString, QString> m_saved;
    QMultiMap<QString, QString> m_refusedWrites;
    QMultiMap<QString, QString> m_acceptedWrites;
    QMultiMap<QString, QString> m_ignoredWrites;

    QString m_user;
    int m_focusPolls;
    FocusResult m_focusResult;
    NetworkRestart m_pendingRestart = NetworkRestart::None;
    int m_focusPollsLeft = 0;
    bool m_focusRunning = false;
    QString m_focusStatus;
};

} // namespace qzr::sim
