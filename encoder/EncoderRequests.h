#pragma once
#include "protocol/RequestTarget.h"

#include <QList>
#include <QString>

#include <optional>

namespace qzr {
class CameraSession;
}

namespace qzr::encoder {

// The main window's text copies of the encoder panel's values. They start
// empty; "Set to Camera" refreshes all but the JPEG quality token from the
// combo texts, which only a choice in ComboBox12 sets.
struct WorkingValues
{
    QString encoderNumber;
    QString codec;
    QString frameSize;
    QString frameRate;
    QString mode;
    QString bitrate;
    QString iframeInterval;
    QString jpegQualityToken;
};

// A request ready to send, or the reason why nothing may be sent.
class PreparedRequest
{
public:
    static PreparedRequest sendable(ParamQuery query);
    static PreparedRequest refused(QString reason);

    bool isRefused() const { return !m_query.has_value(); }
    // Only for a request that is not refused.
    const ParamQuery &query() const { return *m_query; }
    // The text to show the user; empty when the request may be sent.
    const QString &refusal() const { return m_refusal; }

private:
    std::optional<ParamQuery> m_query;
    QString m_refusal;
};

// The working values as "Set to Camera" sends them: for JPEG the mode
// becomes "afs" whatever ComboBox4 shows.
WorkingValues valuesToSend(WorkingValues values);

// The one request of "Set to Camera": type, framesize, framerate, cbr_mode
// and quality for JPEG (cbr_mode always "afs"); type, framesize, framerate,
// cbr_mode, bitrate and iframeinterval for the other four codecs. Refused
// for a codec text that is none of the five and for JPEG without a chosen
// JPEG size.
PreparedRequest setToCameraRequest(const WorkingValues &values);

// "encode(n).status=save": the camera stores encoder n's current settings.
ParamQuery storeRequest(const QString &encoderNumber);

// Sends the "Set to Camera" request and then the store request; sends
// nothing when refused. Returns what was decided. The caller has applied the
// connection; a failed request throws CameraError.
PreparedRequest setToCamera(CameraSession &session, const WorkingValues &values);

// The encoder 1 setters, each one request that sets and stores:
// "encode(1).bitrate=V&encode(1).status=save" and so on. The bitrate setter
// is refused while no ComboBox13 item has been chosen (empty held value).
PreparedRequest bitrateSetterRequest(const QString &heldBitrate);
ParamQuery frameRateSetterRequest(const QString &frameRate);
ParamQuery iframeSetterRequest(const QString &iframeInterval);

// Sends a prepared request unless refused; true when it was sent.
bool sendUnlessRefused(CameraSession &session, const PreparedRequest &request);

// The refusal texts.
QString unknownCodecRefusal(const QString &codec);
QString missingJpegSizeRefusal();
QString missingBitrateRefusal();

// "Get Encoding settings": the fifteen reads of the raw dump, in the order
// they are sent.
QList<ParamQuery> encodingDumpRequests();

} // namespace qzr::encoder
