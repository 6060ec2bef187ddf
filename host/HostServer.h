// SPDX-License-Identifier: MIT
#pragma once

// The host's HTTP server: cpp-httplib's routing and answers behind a front of the host's own.
//
// cpp-httplib 0.11.4 (Debian 12) bounds each header line but not the number of lines, gives
// each read a timeout but the whole head none, and serves every connection from one pool, so a
// client that sends headers without end, or very slowly, or many lookups that wait on an
// upstream, holds the host. The front reads each request head itself, at most maxHeadBytes
// within headTimeout, on one thread for all connections; it refuses a body or another method
// than GET and HEAD, and a Host header that names another host. Complete requests go to one of
// two pools: engine lookups (/engines/<id>/search) to their own, everything else to the other,
// so the service documents answer while lookups wait. An engine request that waits in its queue
// past engineWait is answered at once as "late" (the engine page then says the host is busy).

#include "Source.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace brandle::host {

struct FrontLimits {
    std::size_t maxHeadBytes = 16 * 1024; // request line and headers
    std::chrono::milliseconds headTimeout{10000};
    std::chrono::milliseconds keepAliveTimeout{1000}; // idle between two requests
    std::chrono::milliseconds readWriteTimeout{5000};
    std::size_t documentThreads = 4;
    std::size_t engineThreads = 16;
    std::chrono::milliseconds engineWait{10000};
    std::size_t maxQueuedEngineRequests = 256;
    std::size_t maxConnections = 512;
    std::size_t requestsPerConnection = 100;
};

class HostServer final : public httplib::Server {
public:
    // allowedHosts: what a request's Host header may name (without a port), in lower case;
    // "localhost" and the loopback addresses are always allowed. log gets a line for every
    // request the front refuses.
    HostServer(const FrontLimits& limits, std::vector<std::string> allowedHosts, Logger log);
    ~HostServer() override;

    // Whether the request answered on this thread waited for an engine thread past engineWait.
    static bool requestIsLate();

    // Whether a Host header value names one of the allowed hosts.
    static bool hostAllowed(std::string_view hostHeader, const std::vector<std::string>& allowed);

    struct Connection {
        int fd = -1;
        std::string buffer; // read, not yet answered
        int served = 0;     // requests answered on it
    };

private:
    struct Job {
        Connection connection;
        std::chrono::steady_clock::time_point queuedAt;
        bool late = false;
    };
    class Pool;

    bool process_and_close_socket(socket_t sock) override;
    void receive();
    void serve(Job& job);
    void giveBack(Connection connection);
    void refuse(Connection& connection, int status, const std::string& method,
                const std::string& target);
    void sendRefusal(int fd, int status) const;
    void close(Connection& connection); // and counts it off

    FrontLimits limits_;
    std::vector<std::string> allowedHosts_;
    Logger log_;
    int wakeFd_ = -1;
    std::mutex mutex_;
    std::deque<Connection> arriving_; // accepted or given back, for the reception thread
    std::size_t open_ = 0;            // connections open, guarded by mutex_
    bool stopping_ = false;
    std::unique_ptr<Pool> documents_;
    std::unique_ptr<Pool> engines_;
    std::thread reception_;
};

} // namespace brandle::host
