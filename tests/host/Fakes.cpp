// SPDX-License-Identifier: MIT
#include "Fakes.h"

#include <chrono>

std::string majesticLine(int rank, const std::string& domain, std::uint64_t subnets,
                         std::uint64_t ips, const std::string& idnDomain)
{
    const std::string tld = domain.substr(domain.rfind('.') + 1);
    const std::string r = std::to_string(rank);
    return r + "," + r + "," + domain + "," + tld + "," + std::to_string(subnets) + "," +
           std::to_string(ips) + "," + (idnDomain.empty() ? domain : idnDomain) + "," + tld + "," +
           r + "," + r + "," + std::to_string(subnets) + "," + std::to_string(ips);
}

std::optional<std::uint64_t> readCount(const std::string& page, const std::string& left,
                                       const std::string& right)
{
    const std::size_t pos = page.find(left);
    if (pos == std::string::npos) {
        return std::nullopt;
    }
    const std::size_t end = page.find(right, pos);
    const std::size_t start = pos + left.size();
    if (end == std::string::npos || end < start) {
        return std::nullopt;
    }
    std::string digits;
    for (const char c : page.substr(start, end - start)) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c != ',') {
            return std::nullopt;
        }
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    return std::stoull(digits);
}

FakeServer::FakeServer() = default;

FakeServer::~FakeServer()
{
    shutdown();
}

void FakeServer::shutdown()
{
    if (thread_.joinable()) {
        while (!server_.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        server_.stop();
        thread_.join();
    }
}

void FakeServer::start()
{
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
}

FakeMajestic::FakeMajestic()
{
    server_.Get("/majestic_million.csv",
                [this](const httplib::Request& req, httplib::Response& res) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    if (mode_ == Mode::ServerError) {
                        res.status = 500;
                        res.set_content("<html>Internal error</html>", "text/html");
                        return;
                    }
                    if (!etag_.empty() && req.get_header_value("If-None-Match") == etag_) {
                        ++notModified_;
                        res.status = 304;
                        return;
                    }
                    ++downloads_;
                    res.set_header("ETag", etag_);
                    if (mode_ == Mode::CutShort) {
                        // Promises the whole list, sends half of it and drops the connection.
                        const std::string half = body_.substr(0, body_.size() / 2);
                        res.set_content_provider(
                            body_.size(), "text/csv",
                            [half](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                if (offset < half.size()) {
                                    sink.write(half.data() + offset, half.size() - offset);
                                    return true;
                                }
                                return false;
                            });
                        return;
                    }
                    res.set_content(body_, "text/csv");
                });
}

void FakeMajestic::setList(const std::string& body, const std::string& etag)
{
    std::lock_guard<std::mutex> lock(mutex_);
    body_ = body;
    etag_ = etag;
}

void FakeMajestic::setMode(Mode mode)
{
    std::lock_guard<std::mutex> lock(mutex_);
    mode_ = mode;
}

FakeWiki::FakeWiki()
{
    server_.Get("/w/api.php", [this](const httplib::Request& req, httplib::Response& res) {
        const int now = ++inFlight_;
        for (int most = mostAtOnce_; now > most && !mostAtOnce_.compare_exchange_weak(most, now);) {
        }
        ++requests_;
        answer(req, res);
        --inFlight_;
    });
}

FakeWiki::~FakeWiki()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    released_.notify_all();
    shutdown();
}

void FakeWiki::setLinks(const std::string& query, const QVector<std::int64_t>& pageIds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    links_[query] = pageIds;
}

void FakeWiki::setMode(Mode mode)
{
    std::lock_guard<std::mutex> lock(mutex_);
    mode_ = mode;
}

void FakeWiki::hold()
{
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
}

void FakeWiki::release()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = false;
    }
    released_.notify_all();
}

std::string FakeWiki::lastUserAgent() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return lastUserAgent_;
}

void FakeWiki::answer(const httplib::Request& req, httplib::Response& res)
{
    std::unique_lock<std::mutex> lock(mutex_);
    lastUserAgent_ = req.get_header_value("User-Agent");
    released_.wait(lock, [this] { return !held_ || ending_; });
    if (holdAfter_ >= 0 && ++answered_ >= holdAfter_)
        held_ = true; // the next request waits
    const Mode mode = mode_;
    const QVector<std::int64_t> all = links_.value(req.get_param_value("euquery"));
    lock.unlock();

    if (delayMs_ > 0 || mode == Mode::Slow) {
        lock.lock();
        released_.wait_for(lock,
                           std::chrono::milliseconds(mode == Mode::Slow ? 3000 : delayMs_.load()),
                           [this] { return ending_; });
        lock.unlock();
    }
    const auto json = [&](const std::string& body) {
        res.set_content(body, "application/json; charset=utf-8");
    };
    switch (mode) {
    case Mode::ApiError:
        json(
            R"({"error":{"code":"internal_api_error_DBQueryError","info":"A database query error has occurred.","*":"See the API help."},"servedby":"fake"})");
        return;
    case Mode::MaxLag:
        res.set_header("Retry-After", "5");
        res.set_header("X-Database-Lag", "7");
        res.set_header("MediaWiki-API-Error", "maxlag");
        json(
            R"({"error":{"code":"maxlag","info":"Waiting for 10.0.0.1: 7 seconds lagged.","host":"10.0.0.1","lag":7,"type":"db"},"servedby":"fake"})");
        return;
    case Mode::ServerError:
        res.status = 503;
        res.set_content("<html><body>Service unavailable</body></html>", "text/html");
        return;
    case Mode::NotJson:
        res.set_content("<html><body>Our servers are currently under maintenance</body></html>",
                        "text/html");
        return;
    case Mode::Normal:
    case Mode::Slow:
        break;
    }
    const int size = pageSize_;
    const int offset =
        req.has_param("eucontinue") ? std::stoi(req.get_param_value("eucontinue")) : 0;
    std::string items;
    for (int i = offset; i < all.size() && i < offset + size; ++i) {
        items += (items.empty() ? "" : ",") + std::string(R"({"pageid":)") +
                 std::to_string(all[i]) + R"(,"ns":0})";
    }
    std::string body = R"({"batchcomplete":true,)";
    if (offset + size < all.size()) {
        body += R"("continue":{"eucontinue":")" + std::to_string(offset + size) +
                R"(","continue":"-||"},)";
    }
    body += R"("query":{"exturlusage":[)" + items + "]}}";
    json(body);
}
