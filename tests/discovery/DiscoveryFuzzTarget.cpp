// libFuzzer entry for the WS-Discovery reply reader: any datagram is read
// without crashing, and what is accepted stays within the reader's limits.
#include "discovery/WsDiscovery.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    using namespace qzr::discovery;
    const QByteArray datagram(reinterpret_cast<const char *>(data), qsizetype(size));
    const Message message = parseMessage(datagram);
    if (message.endpoints.size() > kMaxEndpointsPerMessage)
        std::abort();
    for (const Endpoint &endpoint : message.endpoints) {
        if (endpoint.xaddrs.size() > kMaxXAddrsPerEndpoint)
            std::abort();
        preferredTarget(endpoint.xaddrs);
    }
    return 0;
}
