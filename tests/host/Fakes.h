// SPDX-License-Identifier: MIT
#pragma once

// Local stand-ins for the host's upstreams, in their real formats: a download server for the
// Majestic Million list and a MediaWiki API that answers list=exturlusage page by page.
// Each runs on 127.0.0.1 on a port of its own in a thread of the test process.

#include <httplib.h>

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// The header line of the real list.
inline constexpr const char* kMajesticHeader =
    "GlobalRank,TldRank,Domain,TLD,RefSubNets,RefIPs,IDN_Domain,IDN_TLD,PrevGlobalRank,"
    "PrevTldRank,PrevRefSubNets,PrevRefIPs";

// A line of the list with made-up ranks and previous figures.
std::string majesticLine(int rank, const std::string& domain, std::uint64_t subnets,
                         std::uint64_t ips, const std::string& idnDomain = {});

// The count as the lookup reads it: the text after the first left marker up to the right
// marker searched from where the left one starts, digits with "," separators. Nothing when
// the page holds no count.
std::optional<std::uint64_t> readCount(const std::string& page, const std::string& left,
                                       const std::string& right);

class FakeServer {
public:
    FakeServer();
    virtual ~FakeServer();
    void start();
    int port() const { return port_; }
    httplib::Server& server() { return server_; }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

protected:
    // Stops the server and waits for its thread; derived classes call it first in their
    // destructor, before the members their handlers use go away.
    void shutdown();

    httplib::Server server_;

private:
    std::thread thread_;
    int port_ = 0;
};

// Serves the list at /majestic_million.csv with an ETag; a matching If-None-Match gets 304.
class FakeMajestic : public FakeServer {
public:
    enum class Mode { Normal, CutShort, ServerError };

    FakeMajestic();
    ~FakeMajestic() override { shutdown(); }
    std::string url() const { return base() + "/majestic_million.csv"; }

    void setList(const std::string& body, const std::string& etag);
    void setMode(Mode mode);
    int downloads() const { return downloads_; } // answers with a body
    int notModified() const { return notModified_; }

private:
    mutable std::mutex mutex_;
    std::string body_;
    std::string etag_;
    Mode mode_ = Mode::Normal;
    std::atomic<int> downloads_{0};
    std::atomic<int> notModified_{0};
};

// A MediaWiki API at /w/api.php. Each search text ("example.com", "*.example.com") has a list
// of (page id) links, served pageSize at a time with continue={"eucontinue": ..., "continue":
// "-||"}.
class FakeWiki : public FakeServer {
public:
    enum class Mode { Normal, ApiError, MaxLag, ServerError, NotJson, Slow };

    FakeWiki();
    ~FakeWiki() override;
    std::string api() const { return base() + "/w/api.php"; }

    void setLinks(const std::string& query, const QVector<std::int64_t>& pageIds);
    void setPageSize(int size) { pageSize_ = size; }
    void setMode(Mode mode);
    void setDelayMs(int ms) { delayMs_ = ms; }
    // While held, every request waits until release() (or the fake's end).
    void hold();
    void release();
    // Holds every request after the first n have been answered.
    void holdAfter(int n) { holdAfter_ = n; }

    int requests() const { return requests_; }
    int mostAtOnce() const { return mostAtOnce_; }
    std::string lastUserAgent() const;

private:
    void answer(const httplib::Request& req, httplib::Response& res);

    mutable std::mutex mutex_;
    std::condition_variable released_;
    bool held_ = false;
    bool ending_ = false;
    QMap<std::string, QVector<std::int64_t>> links_;
    Mode mode_ = Mode::Normal;
    std::atomic<int> pageSize_{3};
    std::atomic<int> delayMs_{0};
    std::atomic<int> requests_{0};
    std::atomic<int> inFlight_{0};
    std::atomic<int> mostAtOnce_{0};
    std::atomic<int> holdAfter_{-1};
    std::atomic<int> answered_{0};
    std::string lastUserAgent_;
};
