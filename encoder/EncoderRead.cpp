#include "encoder/EncoderRead.h"

#include "protocol/CameraSession.h"

#include <stdexcept>

namespace qzr::encoder {

namespace {

using settingsfile::LineEnding;

constexpr int kEncoderThatClearsText = 1;
constexpr int kEncoderWithMainBarOnEveryStep = 1;
constexpr int kEncoderWithMainBarAfterRules = 2;

// One read of encoder n: the requests and what is reported after each.
class EncoderReadSequence
{
public:
    EncoderReadSequence(CameraSession &session, int encoder, EncoderReadObserver &observer)
        : m_session(session), m_encoder(encoder), m_observer(observer)
    {
    }

    void run()
    {
        m_observer.onReadStarted(m_encoder, m_encoder == kEncoderThatClearsText);
        m_observer.onSelectEncoder(m_encoder);

        const QString codec = ask(EncoderKey::Type);
        const EncoderReadRules rules = encoderReadRules(codec, m_encoder);
        if (rules.marksOff) {
            m_observer.onSelectEncoder(m_encoder);
            m_observer.onMarkedOff();
        }
        m_observer.onSettingsItem(settingsfile::encoderMarker(m_encoder), LineEnding::EndLine);
        m_observer.onSettingsItem(codec, LineEnding::EndLine);
        step(mainBarFollowsEveryStep());

        m_observer.onCodecRules(rules);
        if (rules.asksJpegSize)
            askAndAppend(EncoderKey::Quality);
        // The last encoder's page takes no step for the rules; it makes up
        // for it after the frame rate.
        if (!isLastEncoder()) {
            step(mainBarFollowsEveryStep() || m_encoder == kEncoderWithMainBarAfterRules);
            m_observer.onSelectEncoder(m_encoder);
        }

        if (!rules.asksJpegSize) {
            askAndAppend(EncoderKey::Bitrate);
            step(mainBarFollowsEveryStep());
        }
        for (EncoderKey key : {EncoderKey::FrameSize, EncoderKey::CbrMode, EncoderKey::IFrameInterval}) {
            askAndAppend(key);
            step(mainBarFollowsEveryStep());
        }
        // Encoder 3's frame rate closes the encoder part of the settings
        // text, so its line stays open.
        askAndAppend(EncoderKey::FrameRate, isLastEncoder() ? LineEnding::KeepLineOpen : LineEnding::EndLine);
        if (isLastEncoder()) {
            step(false);
            step(true);
            m_observer.onSelectEncoder(m_encoder);
        } else {
            step(mainBarFollowsEveryStep());
        }
        m_observer.onReadFinished(rules);
    }

private:
    bool isLastEncoder() const { return m_encoder == kLastEncoder; }
    bool mainBarFollowsEveryStep() const { return m_encoder == kEncoderWithMainBarOnEveryStep; }

    QString ask(EncoderKey key)
    {
        const QString value = m_session.readParameter(encoderKey(m_encoder, key));
        m_observer.onValue(key, value);
        return value;
    }

    void askAndAppend(EncoderKey key, LineEnding ending = LineEnding::EndLine)
    {
        m_observer.onSettingsItem(ask(key), ending);
    }

    void step(bool mainBarFollows) { m_observer.onStep(mainBarFollows); }

    CameraSession &m_session;
    const int m_encoder;
    EncoderReadObserver &m_observer;
};

// Keeps the values of one read.
class SettingsCollector : public EncoderReadObserver
{
public:
    explicit SettingsCollector(int encoder) { m_settings.encoder = encoder; }

    void onValue(EncoderKey key, const QString &value) override { settingsField(m_settings, key) = value; }

    const EncoderSettings &settings() const { return m_settings; }

private:
    EncoderSettings m_settings;
};

void requireEncoderNumber(int encoder)
{
    if (encoder < kFirstEncoder || encoder > kLastEncoder)
        throw std::invalid_argument("encoder number must be 1, 2 or 3");
}

} // namespace

QString &settingsField(EncoderSettings &settings, EncoderKey key)
{
    switch (key) {
    case EncoderKey::Type:
        return settings.type;
    case EncoderKey::Quality:
        return settings.quality;
    case EncoderKey::Bitrate:
        return settings.bitrate;
    case EncoderKey::FrameSize:
        return settings.frameSize;
    case EncoderKey::CbrMode:
        return settings.cbrMode;
    case EncoderKey::IFrameInterval:
        return settings.iframeInterval;
    case EncoderKey::FrameRate:
        break;
    }
    return settings.frameRate;
}

void readEncoder(CameraSession &session, int encoder, EncoderReadObserver &observer)
{
    requireEncoderNumber(encoder);
    EncoderReadSequence(session, encoder, observer).run();
}

void readAllEncoders(CameraSession &session, EncoderReadObserver &observer)
{
    for (int encoder = kFirstEncoder; encoder <= kLastEncoder; ++encoder)
        readEncoder(session, encoder, observer);
}

EncoderSettings readEncoderSettings(CameraSession &session, int encoder)
{
    SettingsCollector collector(encoder);
    readEncoder(session, encoder, collector);
    return collector.settings();
}

std::array<EncoderSettings, kEncoderCount> readAllEncoderSettings(CameraSession &session)
{
    std::array<EncoderSettings, kEncoderCount> all;
    for (int encoder = kFirstEncoder; encoder <= kLastEncoder; ++encoder)
        all[std::size_t(encoder - kFirstEncoder)] = readEncoderSettings(session, encoder);
    return all;
}

} // namespace qzr::encoder
