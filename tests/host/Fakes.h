// SPDX-License-Identifier: MIT
#pragma once

// The host's upstreams in their real formats: the Majestic Million list, the MediaWiki API,
// Common Crawl's web graph releases, and the Bing Webmaster, Moz and DataForSEO APIs; and a
// client that sends the host raw bytes.

#include "EnginePage.h"
#include "TestSupport.h"
#include "engine/QueryEngines.h"
#include "platform/LocaleText.h"

#include <httplib.h>

#include <QDir>
#include <QMap>
#include <QTemporaryDir>

#include <zlib.h>

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

inline constexpr const char* kMajesticHeader =
    "GlobalRank,TldRank,Domain,TLD,RefSubNets,RefIPs,IDN_Domain,IDN_TLD,PrevGlobalRank,"
    "PrevTldRank,PrevRefSubNets,PrevRefIPs";

// A line of the list with made-up ranks and previous figures.
inline std::string majesticLine(int rank, const std::string& domain, int subnets, int ips)
{
    const std::string r = std::to_string(rank) + "," + std::to_string(rank) + ",";
    const std::string names = domain + "," + domain.substr(domain.rfind('.') + 1) + ",";
    const std::string counts = std::to_string(subnets) + "," + std::to_string(ips);
    return r + names + counts + "," + names + r + counts;
}

inline std::string majesticList(const std::vector<std::string>& lines)
{
    std::string out = std::string(kMajesticHeader) + "\r\n";
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

// The list of the domains d0.com, d1.com ... each with this count of subnets and of IPs.
inline std::string majesticRows(int lines, int count)
{
    std::vector<std::string> all;
    for (int i = 0; i < lines; ++i)
        all.push_back(majesticLine(i + 1, "d" + std::to_string(i) + ".com", count, count));
    return majesticList(all);
}

// The count the program's lookup reads off an answer page between the markers (by default those
// of the host's engines); -1: none.
inline qint64 readCount(const std::string& page,
                        const std::string& left = std::string(brandle::host::kCountLeft),
                        const std::string& right = std::string(brandle::host::kCountRight))
{
    const auto text = brandle::extractCount(
        QString::fromStdString(page), QString::fromStdString(left), QString::fromStdString(right));
    return text ? brandle::LocaleText::toInt32(*text) : -1;
}

// A connection to 127.0.0.1:port that has sent these bytes; -1 when it could not connect.
inline int sendRaw(int port, const QByteArray& bytes)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval wait{10, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    [[maybe_unused]] const ssize_t sent =
        ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    return fd;
}

// The status of the host's answer to these bytes; 0 when the connection ends without one.
inline int rawStatus(int port, const QByteArray& request)
{
    const int fd = sendRaw(port, request);
    char answer[64] = {};
    const ssize_t n = fd < 0 ? -1 : ::recv(fd, answer, sizeof answer - 1, 0);
    ::close(fd);
    return n > 12 && QByteArray(answer).startsWith("HTTP/1.1 ") ? std::atoi(answer + 9) : 0;
}

// A MediaWiki API at /w/api.php: page ids by search text, two per answer, then "continue".
class FakeWiki {
public:
    // ApiError's text carries the count markers; Held answers once the mode changes.
    enum class Mode { Normal, ApiError, MaxLag, Unavailable, NoList, Held };

    FakeWiki()
    {
        server_.server().Get("/w/api.php",
                             [this](const httplib::Request& req, httplib::Response& res) {
                                 answer(req, res);
                                 --inFlight_;
                             });
        server_.start();
    }
    ~FakeWiki() { setMode(Mode::Normal); } // ends every wait
    std::string api() const { return server_.url(u"/w/api.php"_s).toStdString(); }
    void setLinks(const std::string& query, const QList<qint64>& pageIds)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        links_[query] = pageIds;
    }
    // The mode of the answers from the request with that number (counted from 1) on.
    void setMode(Mode mode, int fromRequest = 1)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        mode_ = mode;
        modeFrom_ = fromRequest;
        changed_.notify_all();
    }
    int requests() const { return requests_; }
    int mostAtOnce() const { return mostAtOnce_; }

private:
    void answer(const httplib::Request& req, httplib::Response& res)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const int number = ++requests_;
        mostAtOnce_ = std::max(mostAtOnce_.load(), ++inFlight_);
        const auto mode = [&] {
            return number >= modeFrom_ ? mode_ : Mode::Normal;
        };
        changed_.wait(lock, [&] { return mode() != Mode::Held; });
        const Mode now = mode();
        const QList<qint64> all = links_.value(req.get_param_value("euquery"));
        lock.unlock();
        // Only the query the walk means (articles only, yielding to a lagging database) from a
        // client that names itself, with the continue value handed back whole.
        static const std::map<std::string, std::string> query{
            {"action", "query"},     {"format", "json"}, {"formatversion", "2"},
            {"list", "exturlusage"}, {"euprop", "ids"},  {"eunamespace", "0"},
            {"eulimit", "max"},      {"maxlag", "5"}};
        const std::string from = req.get_param_value("eucontinue");
        bool asked = (from.empty() || from.find("|&= x") != std::string::npos) &&
                     req.get_header_value("User-Agent").rfind("brandle-host/", 0) == 0;
        for (const auto& [key, value] : query)
            asked = asked && req.get_param_value(key.c_str()) == value;
        if (!asked)
            return void(res.status = 400);
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
        case Mode::Held: {
            const int offset = from.empty() ? 0 : std::stoi(from);
            const int end = std::min(int(all.size()), offset + 2);
            json = R"({"batchcomplete":true,)";
            if (end < all.size())
                json += R"("continue":{"eucontinue":")" + std::to_string(end) +
                        R"(|&= x","continue":"-||"},)";
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
    Mode mode_ = Mode::Normal;
    int modeFrom_ = 1;
    QMap<std::string, QList<qint64>> links_;
    std::atomic<int> requests_{0};
    std::atomic<int> inFlight_{0};
    std::atomic<int> mostAtOnce_{0};
    brandle::TestServer server_; // last: stops before the members its handler uses go
};

// Web graph releases in Common Crawl's layout: the list of releases (newest first) and the
// gzip files of each release's domain graph, served from a folder with ranges.
class FakeCrawl {
public:
    using Edges = std::vector<std::pair<int, int>>; // (from, to) as line numbers of names
    FakeCrawl()
    {
        server_.server().set_mount_point("/", dir_.path().toStdString());
        server_.server().set_pre_routing_handler([this](const auto& req, auto&) {
            std::lock_guard<std::mutex> lock(mutex_);
            ++requests_[req.path + " " + req.get_header_value("Range")];
            return httplib::Server::HandlerResponse::Unhandled;
        });
        server_.start();
    }
    // A new release (names in order); cutEdges bytes are missing at the end of its edges file.
    void release(const std::string& id, const QStringList& names, const Edges& edges,
                 int cutEdges = 0)
    {
        std::string vertices;
        std::string links;
        for (int i = 0; i < names.size(); ++i)
            vertices += std::to_string(i) + "\t" + names[i].toStdString() + "\t1\n";
        for (const auto& [from, to] : edges)
            links += std::to_string(from) + "\t" + std::to_string(to) + "\n";
        const QString folder = dir_.filePath(QString::fromStdString(graphPath(id)));
        QDir().mkpath(folder);
        gzip(folder + u"/%1-domain-vertices.txt.gz"_s.arg(QString::fromStdString(id)), vertices);
        const QString edgesFile =
            folder + u"/%1-domain-edges.txt.gz"_s.arg(QString::fromStdString(id));
        gzip(edgesFile, links);
        QFile(edgesFile).resize(QFile(edgesFile).size() - cutEdges);
        list_ = R"({"id":")" + id + R"(","crawls":["CC-MAIN-1"],"location":"s3://x/","stats":)" +
                R"({"domain":{"nodes":)" + std::to_string(names.size()) + R"(,"arcs":)" +
                std::to_string(edges.size()) + "}}}" + (list_.empty() ? "" : ",") + list_;
        brandle::writeFile(dir_.filePath(u"graphinfo.json"_s),
                           QByteArray::fromStdString("[" + list_ + "]"));
    }
    std::string indexUrl() const { return server_.url(u"/graphinfo.json"_s).toStdString(); }
    std::string dataUrl() const { return server_.url(u"/"_s).toStdString(); }
    static std::string graphPath(const std::string& id)
    {
        return "projects/hyperlinkgraph/" + id + "/domain";
    }
    std::string file(const std::string& path) const
    {
        return dir_.filePath(QString::fromStdString(path)).toStdString();
    }
    // Requests whose path and Range header, noted as "path range", hold the text.
    int requests(const std::string& part) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        int n = 0;
        for (const auto& [path, count] : requests_)
            n += path.find(part) != std::string::npos ? count : 0;
        return n;
    }

private:
    static void gzip(const QString& file, const std::string& text)
    {
        const gzFile out = gzopen(file.toLocal8Bit().constData(), "wb");
        gzwrite(out, text.data(), unsigned(text.size()));
        gzclose(out);
    }

    QTemporaryDir dir_;
    std::string list_;
    mutable std::mutex mutex_;
    std::map<std::string, int> requests_;
    brandle::TestServer server_; // last: stops before the members its handler uses go
};

// Bing Webmaster, Moz and DataForSEO, each at /<its id>/ and accepting one key. A
// refused key is echoed in the error message, as a careless API might do.
class FakeKeyedApis {
public:
    enum class Mode { Normal, Limit, Unreadable };
    static constexpr const char* kBingKey = "bingKEY+1/x";
    static constexpr const char* kMozToken = "mozTOKEN-2";
    static constexpr const char* kLogin = "dfs-login@example.test";
    static constexpr const char* kPassword = "dfsPASS-3";

    FakeKeyedApis()
    {
        auto& s = server_.server();
        s.set_pre_routing_handler([this](const auto& req, auto&) { // counts by the API's id
            std::lock_guard<std::mutex> lock(mutex_);
            ++arrivals_[req.path.substr(1, req.path.find('/', 1) - 1)];
            return httplib::Server::HandlerResponse::Unhandled;
        });
        s.Get("/bing/GetUserSites", [this](const httplib::Request& req, httplib::Response& res) {
            if (bing(req, res))
                json(res, R"({"d":[{"Url":"https://www.Example.com/","IsVerified":true},)"
                          R"({"Url":"http://unverified.org/","IsVerified":false}]})");
        });
        s.Get("/bing/GetLinkCounts", [this](const httplib::Request& req, httplib::Response& res) {
            // 26 inbound links over three pages.
            static const char* const pages[] = {R"([{"Count":14},{"Count":6}])", R"([{"Count":5}])",
                                                R"([{"Count":1}])"};
            const int page = std::min(std::stoi("0" + req.get_param_value("page")), 2);
            if (bing(req, res) && req.get_param_value("siteUrl") == "https://www.Example.com/")
                json(res, std::string(R"({"d":{"TotalPages":3,"Links":)") + pages[page] + "}}");
        });
        s.Post("/moz/", [this](const httplib::Request& req, httplib::Response& res) {
            const std::string token = req.get_header_value("x-moz-token");
            const bool asked = req.body.find(R"("scope":"domain")") != std::string::npos &&
                               req.body.find(R"("data.site.metrics.fetch")") != std::string::npos;
            if (token != kMozToken)
                return json(res, R"({"error":{"message":"bad token )" + token + R"("}})", 401);
            if (mode_ == Mode::Limit)
                return void(res.status = 429);
            json(res, mode_ == Mode::Unreadable || !asked
                          ? R"({"result":{}})"
                          : R"({"result":{"site_metrics":{"root_domains_to_root_domain":321}}})");
        });
        s.Post("/dataforseo/backlinks/summary/live", [this](const httplib::Request& req,
                                                            httplib::Response& res) {
            const std::string auth = req.get_header_value("Authorization");
            if (auth != "Basic " + (QByteArray(kLogin) + ':' + kPassword).toBase64().toStdString())
                return json(res,
                            R"({"status_code":40100,"status_message":"Unauthorized: )" + auth +
                                R"("})",
                            401);
            const bool asked =
                req.body == R"([{"include_subdomains":true,"target":"example.com"}])";
            json(res, R"({"status_code":20000,"tasks":[{"status_code":)" +
                          std::string(mode_ == Mode::Limit ? "40210" : "20000") +
                          R"(,"status_message":"Payment required.","result":)" +
                          (mode_ == Mode::Unreadable || !asked ? "null"
                                                               : R"([{"referring_domains":654}])") +
                          "}]}");
        });
        server_.start();
    }
    std::string api(const std::string& id) const
    {
        return server_.url(QString::fromStdString("/" + id + "/")).toStdString();
    }
    void setMode(Mode mode) { mode_ = mode; }
    int requests(const std::string& id)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return arrivals_[id];
    }

private:
    static void json(httplib::Response& res, const std::string& body, int status = 200)
    {
        res.status = status;
        res.set_content(body, "application/json");
    }
    // Answers an error and false unless the key is the right one and the mode normal.
    bool bing(const httplib::Request& req, httplib::Response& res)
    {
        const std::string key = req.get_param_value("apikey");
        if (key != kBingKey)
            json(res, R"({"ErrorCode":3,"Message":"ERROR!!! InvalidApiKey )" + key + R"("})", 400);
        else if (mode_ == Mode::Limit)
            json(res, R"({"ErrorCode":4,"Message":"ERROR!!! ThrottleUser"})", 400);
        else if (mode_ == Mode::Unreadable)
            res.set_content("<html>Service Unavailable</html>", "text/html");
        return key == kBingKey && mode_ == Mode::Normal;
    }

    std::mutex mutex_;
    std::atomic<Mode> mode_{Mode::Normal};
    std::map<std::string, int> arrivals_;
    brandle::TestServer server_; // last: stops before the members its handler uses go
};
