#include "DeviceService.h"

#include "CameraSimulator.h"

#include <QXmlStreamReader>
#include <QXmlStreamWriter>

namespace qzr::sim {

namespace {

const QString kSoap = QStringLiteral("http://www.w3.org/2003/05/soap-envelope");
const QString kDevice = QStringLiteral("http://www.onvif.org/ver10/device/wsdl");
const QString kSchema = QStringLiteral("http://www.onvif.org/ver10/schema");
const QString kError = QStringLiteral("http://www.onvif.org/ver10/error");

// The local name of the first element of the request's Body in the device
// service's namespace; empty when there is none.
QString requestedOperation(const QByteArray &body)
{
    QXmlStreamReader xml(body);
    bool inBody = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD)
            return {};
        if (!xml.isStartElement())
            continue;
        if (xml.namespaceUri() == kSoap && xml.name() == u"Body")
            inBody = true;
        else if (inBody)
            return xml.namespaceUri() == kDevice ? xml.name().toString() : QString();
    }
    return {};
}

void startEnvelope(QXmlStreamWriter &xml)
{
    xml.writeStartDocument();
    xml.writeNamespace(kSoap, QStringLiteral("env"));
    xml.writeNamespace(kDevice, QStringLiteral("tds"));
    xml.writeNamespace(kSchema, QStringLiteral("tt"));
    xml.writeNamespace(kError, QStringLiteral("ter"));
    xml.writeStartElement(kSoap, QStringLiteral("Envelope"));
    xml.writeStartElement(kSoap, QStringLiteral("Body"));
}

void endEnvelope(QXmlStreamWriter &xml)
{
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
}

} // namespace

DeviceServiceReply deviceServiceReply(const QByteArray &requestBody, const CameraSimulator &camera,
                                      const QDateTime &nowUtc)
{
    DeviceServiceReply reply;
    QXmlStreamWriter xml(&reply.body);
    startEnvelope(xml);
    const QString operation = requestedOperation(requestBody);
    if (operation == QLatin1String("GetDeviceInformation")) {
        xml.writeStartElement(kDevice, QStringLiteral("GetDeviceInformationResponse"));
        xml.writeTextElement(kDevice, QStringLiteral("Manufacturer"), QStringLiteral("Terelle"));
        xml.writeTextElement(kDevice, QStringLiteral("Model"), camera.value(QStringLiteral("system.model")).value_or(QString()));
        xml.writeTextElement(kDevice, QStringLiteral("FirmwareVersion"),
                             camera.value(QStringLiteral("system.software.revision")).value_or(QString()));
        QString serial = camera.value(QStringLiteral("network.interface.mac")).value_or(QString());
        serial.remove(QLatin1Char(':'));
        xml.writeTextElement(kDevice, QStringLiteral("SerialNumber"), serial);
        xml.writeTextElement(kDevice, QStringLiteral("HardwareId"), QStringLiteral("1"));
        xml.writeEndElement();
    } else if (operation == QLatin1String("GetSystemDateAndTime")) {
        const QDateTime utc = nowUtc.toUTC();
        xml.writeStartElement(kDevice, QStringLiteral("GetSystemDateAndTimeResponse"));
        xml.writeStartElement(kDevice, QStringLiteral("SystemDateAndTime"));
        xml.writeTextElement(kSchema, QStringLiteral("DateTimeType"), QStringLiteral("Manual"));
        xml.writeTextElement(kSchema, QStringLiteral("DaylightSavings"), QStringLiteral("false"));
        xml.writeStartElement(kSchema, QStringLiteral("TimeZone"));
        xml.writeTextElement(kSchema, QStringLiteral("TZ"), QStringLiteral("UTC0"));
        xml.writeEndElement();
        xml.writeStartElement(kSchema, QStringLiteral("UTCDateTime"));
        xml.writeStartElement(kSchema, QStringLiteral("Time"));
        xml.writeTextElement(kSchema, QStringLiteral("Hour"), QString::number(utc.time().hour()));
        xml.writeTextElement(kSchema, QStringLiteral("Minute"), QString::number(utc.time().minute()));
        xml.writeTextElement(kSchema, QStringLiteral("Second"), QString::number(utc.time().second()));
        xml.writeEndElement();
        xml.writeStartElement(kSchema, QStringLiteral("Date"));
        xml.writeTextElement(kSchema, QStringLiteral("Year"), QString::number(utc.date().year()));
        xml.writeTextElement(kSchema, QStringLiteral("Month"), QString::number(utc.date().month()));
        xml.writeTextElement(kSchema, QStringLiteral("Day"), QString::number(utc.date().day()));
        xml.writeEndElement();
        xml.writeEndElement(); // UTCDateTime
        xml.writeEndElement(); // SystemDateAndTime
        xml.writeEndElement();
    } else {
        reply.status = 400;
        reply.reason = "Bad Request";
        xml.writeStartElement(kSoap, QStringLiteral("Fault"));
        xml.writeStartElement(kSoap, QStringLiteral("Code"));
        xml.writeTextElement(kSoap, QStringLiteral("Value"), QStringLiteral("env:Sender"));
        xml.writeStartElement(kSoap, QStringLiteral("Subcode"));
        xml.writeTextElement(kSoap, QStringLiteral("Value"), QStringLiteral("ter:ActionNotSupported"));
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeStartElement(kSoap, QStringLiteral("Reason"));
        xml.writeStartElement(kSoap, QStringLiteral("Text"));
        xml.writeAttribute(QStringLiteral("xml:lang"), QStringLiteral("en"));
        xml.writeCharacters(QStringLiteral("This simulated camera answers GetDeviceInformation and GetSystemDateAndTime only"));
        xml.writeEndElement();
        xml.writeEndElement();
        xml.writeEndElement(); // Fault
    }
    endEnvelope(xml);
    return reply;
}

} // namespace qzr::sim
