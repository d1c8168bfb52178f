#pragma once

#include <curl/curl.h>

namespace qzr {

// Carries out a parameter client's transfers. Without one, the client calls
// curl_easy_perform and its thread waits; a fleet instead runs each camera's
// work on a fiber and waits for the transfers of hundreds of cameras at once,
// on a few threads.
class TransferRunner
{
public:
    virtual ~TransferRunner() = default;

    // Runs the transfer set up on `easy` to its end and returns its result.
    virtual CURLcode perform(CURL *easy) = 0;

    // The client dropped its handle (after a failure, for another camera, or
    // at its end): close the connection kept for it, so that the next
    // transfer starts on a new one, as a new handle would.
    virtual void closeConnections() = 0;
};

} // namespace qzr
