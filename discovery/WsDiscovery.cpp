#include "discovery/WsDiscovery.h"

#include <QPair>
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
const QString kWsa2005 = QString::fromLatin1(kAddressing2005Namespace);
const QString kWsd = QString::fromLatin1(kDiscoveryNamespace);
const QString kWsd2009 = QString::fromLatin1(kDiscovery2009Namespace);

// The namespaces and fixed addresses of one way of writing a message.
struct Vocabulary
{
    QString soap;
    QString wsa;
    QString wsd;
    QString actionBase;
    QString discoveryTo;
    QString anonymous;
};

Vocabulary vocabulary(const MessageStyle &style)
{
    Vocabulary words;
    words.soap = style.soap11 ? kSoap11 : kSoap12;
    if (style.version == DiscoveryVersion::V2009) {
        words.wsa = kWsa2005;
        words.wsd = kWsd2009;
        words.actionBase = kWsd2009 + QLatin1Char('/');
        words.discoveryTo = QString::fromLatin1(kDiscovery2009To);
        words.anonymous = QString::fromLatin1(kAnonymous2005);
    } else {
        words.wsa = kWsa;
        words.wsd = kWsd;
        words.actionBase = kWsd + QLatin1Char('/');
        words.discoveryTo = QString::fromLatin1(kDiscoveryTo);
        words.anonymous = QString::fromLatin1(kAnonymousRole);
    }
    return words;
}

// Opens the envelope and its header with the usual prefixes.
void startEnvelope(QXmlStreamWriter &xml, const Vocabulary &words, const QString &action, const QString &messageId,
                   const QString &relatesTo, const QString &to)
{
    xml.writeStartDocument();
    xml.writeNamespace(words.soap, QStringLiteral("s"));
    xml.writeNamespace(words.wsa, QStringLiteral("a"));
    xml.writeNamespace(words.wsd, QStringLiteral("d"));
    xml.writeNamespace(QString::fromLatin1(kNetworkWsdlNamespace), QStringLiteral("dn"));
    xml.writeNamespace(QString::fromLatin1(kDeviceWsdlNamespace), QStringLiteral("tds"));
    xml.writeStartElement(words.soap, QStringLiteral("Envelope"));
    xml.writeStartElement(words.soap, QStringLiteral("Header"));
    xml.writeStartElement(words.wsa, QStringLiteral("Action"));
    xml.writeAttribute(words.soap, QStringLiteral("mustUnderstand"), QStringLiteral("1"));
    xml.writeCharacters(words.actionBase + action);
    xml.writeEndElement();
    xml.writeTextElement(words.wsa, QStringLiteral("MessageID"), messageId);
    if (!relatesTo.isEmpty())
        xml.writeTextElement(words.wsa, QStringLiteral("RelatesTo"), relatesTo);
    xml.writeStartElement(words.wsa, QStringLiteral("To"));
    xml.writeAttribute(words.soap, QStringLiteral("mustUnderstand"), QStringLiteral("1"));
    xml.writeCharacters(to);
    xml.writeEndElement();
    xml.writeEndElement(); // Header
    xml.writeStartElement(words.soap, QStringLiteral("Body"));
}

void endEnvelope(QXmlStreamWriter &xml)
{
    xml.writeEndElement(); // Body
    xml.writeEndElement(); // Envelope
    xml.writeEndDocument();
}

void writeEndpointReference(QXmlStreamWriter &xml, const Vocabulary &words, const QString &address)
{
    xml.writeStartElement(words.wsa, QStringLiteral("EndpointReference"));
    xml.writeTextElement(words.wsa, QStringLiteral("Address"), address);
    xml.writeEndElement();
}

void writeEndpoint(QXmlStreamWriter &xml, const Vocabulary &words, const Endpoint &endpoint)
{
    writeEndpointReference(xml, words, endpoint.address);
    xml.writeTextElement(words.wsd, QStringLiteral("Types"), endpoint.types.join(QLatin1Char(' ')));
    xml.writeTextElement(words.wsd, QStringLiteral("Scopes"), endpoint.scopes.join(QLatin1Char(' ')));
    xml.writeTextElement(words.wsd, QStringLiteral("XAddrs"), endpoint.xaddrs.join(QLatin1Char(' ')));
    xml.writeTextElement(words.wsd, QStringLiteral("MetadataVersion"),
                         endpoint.metadataVersion.isEmpty() ? QStringLiteral("1") : endpoint.metadataVersion);
}

// The whitespace-separated items of a list, at most `limit` of them; sets
// *overflow when there were more.
QStringList tokens(const QString &text, int limit, bool *overflow = nullptr)
{
    QStringList list = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (list.size() > limit) {
        list.resize(limit);
        if (overflow)
            *overflow = true;
    }
    return list;
}

bool isSoapNamespace(QStringView ns)
{
    return ns == kSoap12 || ns == kSoap11;
}

bool isAddressing(QStringView ns)
{
    return ns == kWsa || ns == kWsa2005;
}

bool isDiscovery(QStringView ns)
{
    return ns == kWsd || ns == kWsd2009;
}

// The namespace declarations in force at an element: those of its
// ancestors on the way down from the envelope, innermost last.
class Namespaces
{
public:
    void push(const QXmlStreamReader &xml)
    {
        QList<QPair<QString, QString>> level;
        const QXmlStreamNamespaceDeclarations declarations = xml.namespaceDeclarations();
        for (const QXmlStreamNamespaceDeclaration &declaration : declarations)
            level.append({declaration.prefix().toString(), declaration.namespaceUri().toString()});
        m_levels.append(level);
    }
    void pop() { m_levels.removeLast(); }

    // The namespace bound to a prefix ("" for the default); empty when unbound.
    QString resolve(QStringView prefix) const
    {
        for (auto level = m_levels.crbegin(); level != m_levels.crend(); ++level) {
            for (const auto &binding : *level) {
                if (binding.first == prefix)
                    return binding.second;
            }
        }
        return {};
    }

private:
    QList<QList<QPair<QString, QString>>> m_levels;
};

QualifiedName resolveName(const QString &qname, const Namespaces &namespaces)
{
    const qsizetype colon = qname.indexOf(QLatin1Char(':'));
    QualifiedName name;
    name.localName = colon < 0 ? qname : qname.mid(colon + 1);
    name.namespaceUri = namespaces.resolve(colon < 0 ? QStringView() : QStringView(qname).left(colon));
    return name;
}

// Reads the children of a ProbeMatch, Hello or Bye element up to its end;
// wsd is the discovery namespace of the message.
Endpoint readEndpoint(QXmlStreamReader &xml, const QString &wsd)
{
    Endpoint endpoint;
    while (xml.readNextStartElement()) {
        const QStringView ns = xml.namespaceUri();
        const QStringView name = xml.name();
        if (isAddressing(ns) && name == u"EndpointReference") {
            while (xml.readNextStartElement()) {
                if (isAddressing(xml.namespaceUri()) && xml.name() == u"Address")
                    endpoint.address = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
                else
                    xml.skipCurrentElement();
            }
        } else if (ns == wsd && name == u"Types") {
            endpoint.types = tokens(xml.readElementText(QXmlStreamReader::SkipChildElements), kMaxTypesPerEndpoint);
        } else if (ns == wsd && name == u"Scopes") {
            endpoint.scopes = tokens(xml.readElementText(QXmlStreamReader::SkipChildElements), kMaxScopesPerEndpoint);
        } else if (ns == wsd && name == u"XAddrs") {
            endpoint.xaddrs = tokens(xml.readElementText(QXmlStreamReader::SkipChildElements), kMaxXAddrsPerEndpoint);
        } else if (ns == wsd && name == u"MetadataVersion") {
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
        if (!isAddressing(xml.namespaceUri())) {
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

// Reads the children of a Probe element; false when it names more Types or
// Scopes than are kept.
bool readProbe(QXmlStreamReader &xml, const QString &wsd, Namespaces &namespaces, Message &message)
{
    bool overflow = false;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == wsd && xml.name() == u"Types") {
            namespaces.push(xml);
            message.probeTypes = tokens(xml.readElementText(QXmlStreamReader::SkipChildElements),
                                        kMaxTypesPerEndpoint, &overflow);
            message.probeTypeNames.clear();
            for (const QString &type : std::as_const(message.probeTypes))
                message.probeTypeNames.append(resolveName(type, namespaces));
            namespaces.pop();
        } else if (xml.namespaceUri() == wsd && xml.name() == u"Scopes") {
            message.probeMatchBy = xml.attributes().value(QLatin1String("MatchBy")).trimmed().toString();
            message.probeScopes = tokens(xml.readElementText(QXmlStreamReader::SkipChildElements),
                                         kMaxScopesPerEndpoint, &overflow);
        } else {
            xml.skipCurrentElement();
        }
    }
    return !overflow;
}

void readBody(QXmlStreamReader &xml, Namespaces &namespaces, Message &message)
{
    while (xml.readNextStartElement()) {
        if (message.kind != MessageKind::Invalid || !isDiscovery(xml.namespaceUri())) {
            if (message.kind == MessageKind::Invalid)
                message.kind = MessageKind::Other;
            xml.skipCurrentElement();
            continue;
        }
        const QString wsd = xml.namespaceUri().toString();
        const QStringView name = xml.name();
        const DiscoveryVersion version = wsd == kWsd2009 ? DiscoveryVersion::V2009 : DiscoveryVersion::V2005;
        if (name == u"ProbeMatches") {
            message.kind = MessageKind::ProbeMatches;
            message.version = version;
            while (xml.readNextStartElement()) {
                if (xml.namespaceUri() == wsd && xml.name() == u"ProbeMatch"
                    && message.endpoints.size() < kMaxEndpointsPerMessage)
                    message.endpoints.append(readEndpoint(xml, wsd));
                else
                    xml.skipCurrentElement();
            }
        } else if (name == u"Hello" || name == u"Bye") {
            message.kind = name == u"Hello" ? MessageKind::Hello : MessageKind::Bye;
            message.version = version;
            message.endpoints.append(readEndpoint(xml, wsd));
        } else if (name == u"Probe") {
            namespaces.push(xml);
            const bool whole = readProbe(xml, wsd, namespaces, message);
            namespaces.pop();
            message.kind = whole ? MessageKind::Probe : MessageKind::Other;
            message.version = version;
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

enum class Addressee { Discovery, Anonymous };

// One whole message: the envelope with its header, and a body element
// written by writeBody.
QByteArray message(const MessageStyle &style, const QString &action, const QString &messageId,
                   const QString &relatesTo, Addressee to,
                   const std::function<void(QXmlStreamWriter &, const Vocabulary &)> &writeBody)
{
    const Vocabulary words = vocabulary(style);
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    startEnvelope(xml, words, action, messageId, relatesTo,
                  to == Addressee::Discovery ? words.discoveryTo : words.anonymous);
    xml.writeStartElement(words.wsd, action);
    writeBody(xml, words);
    xml.writeEndElement();
    endEnvelope(xml);
    return bytes;
}

} // namespace

QByteArray probeMessage(const QString &messageId, const MessageStyle &style)
{
    return message(style, QStringLiteral("Probe"), messageId, {}, Addressee::Discovery,
                   [](QXmlStreamWriter &xml, const Vocabulary &words) {
        xml.writeTextElement(words.wsd, QStringLiteral("Types"), QStringLiteral("dn:NetworkVideoTransmitter"));
    });
}

QByteArray probeMatchesMessage(const QString &messageId, const QString &relatesTo, const Endpoint &endpoint,
                               const MessageStyle &style)
{
    return message(style, QStringLiteral("ProbeMatches"), messageId, relatesTo, Addressee::Anonymous,
                   [&](QXmlStreamWriter &xml, const Vocabulary &words) {
        xml.writeStartElement(words.wsd, QStringLiteral("ProbeMatch"));
        writeEndpoint(xml, words, endpoint);
        xml.writeEndElement();
    });
}

QByteArray helloMessage(const QString &messageId, const Endpoint &endpoint, const MessageStyle &style)
{
    return message(style, QStringLiteral("Hello"), messageId, {}, Addressee::Discovery,
                   [&](QXmlStreamWriter &xml, const Vocabulary &words) { writeEndpoint(xml, words, endpoint); });
}

QByteArray byeMessage(const QString &messageId, const QString &endpointAddress, const MessageStyle &style)
{
    return message(style, QStringLiteral("Bye"), messageId, {}, Addressee::Discovery,
                   [&](QXmlStreamWriter &xml, const Vocabulary &words) {
        writeEndpointReference(xml, words, endpointAddress);
    });
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
    Namespaces namespaces;
    namespaces.push(xml);
    Message read;
    read.soap11 = soap == kSoap11;
    bool sawBody = false;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == soap && xml.name() == u"Header") {
            readHeader(xml, read);
        } else if (xml.namespaceUri() == soap && xml.name() == u"Body" && !sawBody) {
            sawBody = true;
            namespaces.push(xml);
            readBody(xml, namespaces, read);
            namespaces.pop();
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

QString scopeValue(const QStringList &scopes, const QString &kind)
{
    if (kind.isEmpty() || kind.contains(QLatin1Char('/')))
        return {};
    const QString prefix = QStringLiteral("onvif://www.onvif.org/") + kind + QLatin1Char('/');
    for (const QString &scope : scopes) {
        if (!scope.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        QStringView path = QStringView(scope).mid(prefix.size());
        for (qsizetype i = 0; i < path.size(); ++i) {
            if (path.at(i) == QLatin1Char('?') || path.at(i) == QLatin1Char('#')) {
                path = path.left(i);
                break;
            }
        }
        while (path.endsWith(QLatin1Char('/')))
            path.chop(1);
        QStringView segment = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
        // Twelve encoded characters make at most two decoded ones; more is
        // never shown.
        segment = segment.left(qsizetype(kMaxScopeValueChars) * 12);
        const QString decoded = QString::fromUtf8(QByteArray::fromPercentEncoding(segment.toUtf8()));
        QString value;
        value.reserve(qMin(decoded.size(), qsizetype(kMaxScopeValueChars) + 1));
        for (const QChar c : decoded) {
            if (value.size() > kMaxScopeValueChars)
                break;
            if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format)
                value.append(c);
        }
        value = value.trimmed();
        if (value.isEmpty())
            continue;
        if (value.size() > kMaxScopeValueChars)
            value.truncate(value.at(kMaxScopeValueChars - 1).isHighSurrogate() ? kMaxScopeValueChars - 1
                                                                                : kMaxScopeValueChars);
        return value;
    }
    return {};
}

XAddrTarget xaddrTarget(const QString &xaddr)
{
    const QUrl url(xaddr, QUrl::StrictMode);
    const bool https = url.scheme() == QLatin1String("https");
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != QLatin1String("http") && !https))
        return {};
    XAddrTarget target;
    target.host = url.host();
    target.https = https;
    target.port = url.port(https ? 443 : 80);
    QHostAddress address;
    target.ipv4 = address.setAddress(target.host) && address.protocol() == QAbstractSocket::IPv4Protocol;
    return target;
}

XAddrTarget preferredTarget(const QStringList &xaddrs)
{
    XAddrTarget fallback;
    for (const QString &xaddr : xaddrs) {
        const XAddrTarget target = xaddrTarget(xaddr);
        if (target.host.isEmpty())
            continue;
        if (target.ipv4)
            return target;
        if (fallback.host.isEmpty())
            fallback = target;
    }
    return fallback;
}

} // namespace qzr::discovery
