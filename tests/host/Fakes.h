// SPDX-License-Identifier: MIT
#pragma once

// The host's upstreams in their real formats: the Majestic Million list and the MediaWiki API.

#include "TestSupport.h"
#include "engine/QueryEngines.h"
#include "platform/LocaleText.h"

#include <httplib.h>

#include <QList>
#include <QMap>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

inline constexpr const char* kMajesticHeader =
    "GlobalRank,TldRank,Domain,TLD,RefSubNets,RefIPs,IDN_Domain,IDN_TLD,PrevGlobalRank,"
    "PrevTldRank,PrevRefSubNets,PrevRefIPs";

// A line of the list with made-up ranks and previous figures.
inline std::string majesticLine(int rank, const std::string& domain, int subnets, int ips)
{
    const std::string tld = domain.substr(domain.rfind('.') + 1);
    const std::string r = std::to_string(rank) + "," + std::to_string(rank);
    const std::string counts = std::to_string(subnets) + "," + std::to_string(ips);
    return r + "," + domain + "," + tld + "," + counts + "," + domain + "," + tld + "," + r + "," +
           counts;
}

// The list: the header, then these lines.
inline std::string majesticList(const std::vector<std::string>& lines)
{
    std::string out = std::string(kMajesticHeader) + "\r\n";
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

// The count the program's lookup reads off an answer page between the markers; -1: none.
inline qint64 readCount(const std::string& page, const std::string& left, const std::string& right)
{
    const auto text = brandle::extractCount(
        QString::fromStdString(page), QString::fromStdString(left), QString::fromStdString(right));
    return text ? brandle::LocaleText::toInt32(*text) : -1;
}

// A MediaWiki API at /w/api.php: page ids by search text, two per answer, then "continue".
class FakeWiki {
public:
    // ApiError's text carries the count markers; Slow answers after 10 s; Held until changed.
    enum class Mode { Normal, ApiError, MaxLag, Unavailable, NoList, Slow, Held };

    FakeWiki()
    {
        server_.server().Get("/w/api.php",
                             [this](const httplib::Request& req, httplib::Response& res) {
                                 answer(req, res);
                                 --inFlight_;
                             });
        server_.start();
    }
    ~FakeWiki() { setMode(Mode::Normal, 1, true); } // ends every wait
    std::string api() const { return server_.url(u"/w/api.php"_s).toStdString(); }
    void setLinks(const std::string& query, const QList<qint64>& pageIds)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        links_[query] = pageIds;
    }
    // The mode of the answers from the request with that number (counted from 1) on.
    void setMode(Mode mode, int fromRequest = 1, bool ending = false)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        mode_ = mode;
        modeFrom_ = fromRequest;
        ending_ = ending;
        changed_.notify_all();
    }
    int requests() const { return requests_; }
    int mostAtOnce() const { return mostAtOnce_; }
    std::string lastUserAgent()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lastUserAgent_;
    }

private:
    void answer(const httplib::Request& req, httplib::Response& res)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        lastUserAgent_ = req.get_header_value("User-Agent");
        const int number = ++requests_;
        mostAtOnce_ = std::max(mostAtOnce_.load(), ++inFlight_);
        const auto mode = [&] {
            return number >= modeFrom_ ? mode_ : Mode::Normal;
        };
        const auto wait = std::chrono::seconds(mode() == Mode::Slow ? 10 : 0);
        changed_.wait_for(lock, wait, [&] { return ending_; });
        changed_.wait(lock, [&] { return mode() != Mode::Held || ending_; });
        const Mode now = mode();
        const QList<qint64> all = links_.value(req.get_param_value("euquery"));
        lock.unlock();

        std::string json;
        switch (now) {
        case Mode::ApiError:
            json = R"({"error":{"code":"internal_api_error_DBQueryError","info":"A database query )"
                   R"(error has occurred. <output id=\"count\">5</output>"}})";
            break;
        case Mode::MaxLag:
            res.set_header("Retry-After", "5");
            json = R"({"error":{"code":"maxlag","info":"Waiting for 10.0.0.1: 7 seconds lagged.",)"
                   R"("host":"10.0.0.1","lag":7,"type":"db"}})";
            break;
        case Mode::Unavailable:
            res.status = 503;
            return res.set_content("<html><body>Service unavailable</body></html>", "text/html");
        case Mode::NoList:
            json = R"({"batchcomplete":true})";
            break;
        case Mode::Normal:
        case Mode::Slow:
        case Mode::Held: {
            const std::string from = req.get_param_value("eucontinue");
            const int offset = from.empty() ? 0 : std::stoi(from);
            const int end = std::min(int(all.size()), offset + 2);
            json = R"({"batchcomplete":true,)";
            if (end < all.size())
                json += R"("continue":{"eucontinue":")" + std::to_string(end) +
                        R"(","continue":"-||"},)";
            json += R"("query":{"exturlusage":[)";
            for (int i = offset; i < end; ++i)
                json += (i > offset ? "," : "") + std::string(R"({"pageid":)") +
                        std::to_string(all[i]) + R"(,"ns":0})";
            json += "]}}";
        }
        }
        res.set_content(json, "application/json; charset=utf-8");
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    bool ending_ = false;
    Mode mode_ = Mode::Normal;
    int modeFrom_ = 1;
    QMap<std::string, QList<qint64>> links_;
    std::string lastUserAgent_;
    std::atomic<int> requests_{0};
    std::atomic<int> inFlight_{0};
    std::atomic<int> mostAtOnce_{0};
    brandle::TestServer server_; // last: stops before the members its handler uses go
};
