#include "discovery/WsDiscovery.h"

#include <QUrl>
#include <QUuid>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <functional>

namespace qzr::discovery {

namespace {

const QString kSoap12 = QString::fromLatin1(kSoap12Namespace);
const QString kSoap11 = QString::fromLatin1(kSoap11Namespace);
const QString kWsa = QString::fromLatin1(kAddressingNamespace);
const QString kWsd = QString::fromLatin1(kDiscoveryNamespace);
const QString kActionBase = QStringLiteral("http://schemas.xmlsoap.org/ws/2005/04/discovery/");

// Opens the envelope and its header with the usual prefixes.
void startEnvelope(QXmlStreamWriter &xml, const QString &action, const QString &messageId,
                   const QString &relatesTo, const QString &to)
{
    xml.writeStartDocument();
    xml.writeNamespace(kSoap12, QStringLiteral("s"));
    xml.writeNamespace(kWsa, QStringLiteral("a"));
    xml.writeNamespace(kWsd, QStringLiteral("d"));
    xml.writeNamespace(QString::fromLatin1(kNetworkWsdlNamespace), QStringLiteral("dn"));
    xml.writeStartElement(kSoap12, QStringLiteral("Envelope"));
    xml.writeStartElement(kSoap12, QStringLiteral("Header"));
    xml.writeStartElement(kWsa, QStringLiteral("Action"));
    xml.writeAttribute(kSoap12, QStringLiteral("mustUnderstand"), QStringLiteral("1"));
    xml.writeCharacters(kActionBase + action);
    xml.writeEndElement();
    xml.writeTextElement(kWsa, QStringLiteral("MessageID"), messageId);
    if (!relatesTo.isEmpty())
        xml.writeTextElement(kWsa, QStringLiteral("RelatesTo"), relatesTo);
    xml.writeStartElement(kWsa, QStringLiteral("To"));
    xml.writeAttribute(kSoap12, QStringLiteral("mustUnderstand"), QStringLiteral("1"));
    xml.writeCharacters(to);
    xml.writeEndElement();
    xml.writeEndElement(); // Header
    xml.writeStartElement(kSoap12, QStringLiteral("Body"));
}

void endEnvelope(QXmlStreamWriter &xml)
{
    xml.writeEndElement(); // Body
    xml.writeEndElement(); // Envelope
    xml.writeEndDocument();
}

void writeEndpointReference(QXmlStreamWriter &xml, const QString &address)
{
    xml.writeStartElement(kWsa, QStringLiteral("EndpointReference"));
    xml.writeTextElement(kWsa, QStringLiteral("Address"), address);
    xml.writeEndElement();
}

void writeEndpoint(QXmlStreamWriter &xml, const Endpoint &endpoint)
{
    writeEndpointReference(xml, endpoint.address);
    xml.writeTextElement(kWsd, QStringLiteral("Types"), endpoint.types.join(QLatin1Char(' ')));
    xml.writeTextElement(kWsd, QStringLiteral("Scopes"), endpoint.scopes.join(QLatin1Char(' ')));
    xml.writeTextElement(kWsd, QStringLiteral("XAddrs"), endpoint.xaddrs.join(QLatin1Char(' ')));
    xml.writeTextElement(kWsd, QStringLiteral("MetadataVersion"),
                         endpoint.metadataVersion.isEmpty() ? QStringLiteral("1") : endpoint.metadataVersion);
}

QStringList tokens(const QString &text, int limit)
{
    QStringList list = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (list.size() > limit)
        list.resize(limit);
    return list;
}

bool isSoapNamespace(QStringView ns)
{
    return ns == kSoap12 || ns == kSoap11;
}

// Reads the children of a ProbeMatch, Hello or Bye element up to its end.
Endpoint readEndpoint(QXmlStreamReader &xml)
{
    Endpoint endpoint;
    while (xml.readNextStartElement()) {
        const QStringView ns = xml.namespaceUri();
        const QStringView name = xml.name();
        if (ns == kWsa && name == u"EndpointReference") {
            while (xml.readNextStartElement()) {
                if (xml.namespaceUri() == kWsa && xml.name() == u"Address")
                    endpoint.address = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
                else
                    xml.skipCurrentElement();
            }
        } else if (ns == kWsd && name == u"Types") {
            endpoint.types = tokens(xml.readElementText(QXmlStreamReader::SkipChildElements), 32);
        } else if (ns == kWsd && name == u"Scopes") {
            endpoint.scopes = tokens(xml.readElementText(QXmlStreamReader::SkipChildElements), 64);
        } else if (ns == kWsd && name == u"XAddrs") {
            endpoint.xaddrs = tokens(xml.readElementText(QXmlStreamReader::SkipChildElements), kMaxXAddrsPerEndpoint);
        } else if (ns == kWsd && name == u"MetadataVersion") {
            endpoint.metadataVersion = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        } else {
            xml.skipCurrentElement();
        }
    }
    return endpoint;
}

void readHeader(QXmlStreamReader &xml, Message &message)
{
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() != kWsa) {
            xml.skipCurrentElement();
            continue;
        }
        const QStringView name = xml.name();
        if (name == u"MessageID")
            message.messageId = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        else if (name == u"RelatesTo")
            message.relatesTo = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        else if (name == u"Action")
            message.action = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
        else
            xml.skipCurrentElement();
    }
}

void readBody(QXmlStreamReader &xml, Message &message)
{
    while (xml.readNextStartElement()) {
        if (message.kind != MessageKind::Invalid || xml.namespaceUri() != kWsd) {
            if (message.kind == MessageKind::Invalid)
                message.kind = MessageKind::Other;
            xml.skipCurrentElement();
            continue;
        }
        const QStringView name = xml.name();
        if (name == u"ProbeMatches") {
            message.kind = MessageKind::ProbeMatches;
            while (xml.readNextStartElement()) {
                if (xml.namespaceUri() == kWsd && xml.name() == u"ProbeMatch"
                    && message.endpoints.size() < kMaxEndpointsPerMessage)
                    message.endpoints.append(readEndpoint(xml));
                else
                    xml.skipCurrentElement();
            }
        } else if (name == u"Hello" || name == u"Bye") {
            message.kind = name == u"Hello" ? MessageKind::Hello : MessageKind::Bye;
            message.endpoints.append(readEndpoint(xml));
        } else if (name == u"Probe") {
            message.kind = MessageKind::Probe;
            while (xml.readNextStartElement()) {
                if (xml.namespaceUri() == kWsd && xml.name() == u"Types")
                    message.probeTypes = tokens(xml.readElementText(QXmlStreamReader::SkipChildElements), 32);
                else
                    xml.skipCurrentElement();
            }
        } else {
            message.kind = MessageKind::Other;
            xml.skipCurrentElement();
        }
    }
}

} // namespace

QString newMessageId()
{
    return QStringLiteral("urn:uuid:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

namespace {

// One whole message: the envelope with its header, and a body element
// written by writeBody.
QByteArray message(const QString &action, const QString &messageId, const QString &relatesTo, const char *to,
                   const std::function<void(QXmlStreamWriter &)> &writeBody)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    startEnvelope(xml, action, messageId, relatesTo, QString::fromLatin1(to));
    xml.writeStartElement(kWsd, action);
    writeBody(xml);
    xml.writeEndElement();
    endEnvelope(xml);
    return bytes;
}

} // namespace

QByteArray probeMessage(const QString &messageId)
{
    return message(QStringLiteral("Probe"), messageId, {}, kDiscoveryTo, [](QXmlStreamWriter &xml) {
        xml.writeTextElement(kWsd, QStringLiteral("Types"), QStringLiteral("dn:NetworkVideoTransmitter"));
    });
}

QByteArray probeMatchesMessage(const QString &messageId, const QString &relatesTo, const Endpoint &endpoint)
{
    return message(QStringLiteral("ProbeMatches"), messageId, relatesTo, kAnonymousRole, [&](QXmlStreamWriter &xml) {
        xml.writeStartElement(kWsd, QStringLiteral("ProbeMatch"));
        writeEndpoint(xml, endpoint);
        xml.writeEndElement();
    });
}

QByteArray helloMessage(const QString &messageId, const Endpoint &endpoint)
{
    return message(QStringLiteral("Hello"), messageId, {}, kDiscoveryTo,
                   [&](QXmlStreamWriter &xml) { writeEndpoint(xml, endpoint); });
}

QByteArray byeMessage(const QString &messageId, const QString &endpointAddress)
{
    return message(QStringLiteral("Bye"), messageId, {}, kDiscoveryTo,
                   [&](QXmlStreamWriter &xml) { writeEndpointReference(xml, endpointAddress); });
}

Message parseMessage(const QByteArray &datagram)
{
    Message message;
    if (datagram.isEmpty() || datagram.size() > kMaxDatagramBytes)
        return message;
    QXmlStreamReader xml(datagram);
    xml.setNamespaceProcessing(true);
    // A SOAP message carries no document type; one is refused outright, so no
    // entity is ever expanded.
    while (!xml.atEnd() && !xml.isStartElement()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD)
            return message;
    }
    if (xml.hasError() || !xml.isStartElement() || xml.name() != u"Envelope" || !isSoapNamespace(xml.namespaceUri()))
        return message;
    const QString soap = xml.namespaceUri().toString();
    Message read;
    bool sawBody = false;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == soap && xml.name() == u"Header") {
            readHeader(xml, read);
        } else if (xml.namespaceUri() == soap && xml.name() == u"Body" && !sawBody) {
            sawBody = true;
            readBody(xml, read);
        } else {
            xml.skipCurrentElement();
        }
    }
    // The rest of the document must be well-formed too.
    while (!xml.atEnd() && !xml.hasError()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD)
            return message;
    }
    if (xml.hasError() || !sawBody || read.kind == MessageKind::Invalid)
        return message;
    return read;
}

XAddrTarget preferredTarget(const QStringList &xaddrs)
{
    XAddrTarget fallback;
    for (const QString &xaddr : xaddrs) {
        const QUrl url(xaddr, QUrl::StrictMode);
        if (!url.isValid() || url.host().isEmpty()
            || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
            continue;
        XAddrTarget target;
        target.host = url.host();
        target.port = url.port(url.scheme() == QLatin1String("https") ? 443 : 80);
        QHostAddress address;
        target.ipv4 = address.setAddress(target.host) && address.protocol() == QAbstractSocket::IPv4Protocol;
        if (target.ipv4)
            return target;
        if (fallback.host.isEmpty())
            fallback = target;
    }
    return fallback;
}

} // namespace qzr::discovery
