// SPDX-License-Identifier: MIT
#include "HostServer.h"

#include "Text.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>

namespace brandle::host {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kReadChunk = 4096;

thread_local bool lateRequest = false;

// The listening thread hands each accepted connection over at once: the task it queues only
// passes the connection to the reception thread.
class HandOver final : public httplib::TaskQueue {
public:
    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override {}
};

// What the front decides on in a request head.
struct Head {
    std::string method;
    std::string target;
    std::optional<std::string> host;
    bool hasBody = false;
};

std::optional<Head> parseHead(std::string_view text)
{
    std::size_t end = text.find("\r\n");
    const std::string_view requestLine = text.substr(0, end);
    const std::size_t first = requestLine.find(' ');
    const std::size_t last = requestLine.rfind(' ');
    if (first == std::string_view::npos || first == last) {
        return std::nullopt;
    }
    Head head;
    head.method = requestLine.substr(0, first);
    head.target = requestLine.substr(first + 1, last - first - 1);
    while (end != std::string_view::npos) {
        const std::size_t start = end + 2;
        end = text.find("\r\n", start);
        const std::string_view line =
            text.substr(start, end == std::string_view::npos ? end : end - start);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        const std::string name = toLowerAscii(trimBlanks(line.substr(0, colon)));
        const std::string_view value = trimBlanks(line.substr(colon + 1));
        if (name == "host" && !head.host) {
            head.host = std::string(value);
        } else if (name == "transfer-encoding" || (name == "content-length" && value != "0")) {
            head.hasBody = true;
        }
    }
    return head;
}

// The path of a request target with its percent escapes decoded, as the router sees it.
std::string decodedPath(std::string_view target)
{
    const std::string_view path = target.substr(0, target.find('?'));
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (path[i] == '%' && i + 2 < path.size() && hex(path[i + 1]) >= 0 &&
            hex(path[i + 2]) >= 0) {
            out += char(hex(path[i + 1]) * 16 + hex(path[i + 2]));
            i += 2;
        } else {
            out += path[i];
        }
    }
    return out;
}

// Whether the decoded path is prefix, a name, then suffix.
bool pathIs(std::string_view target, std::string_view prefix, std::string_view suffix)
{
    const std::string path = decodedPath(target);
    return path.size() > prefix.size() + suffix.size() && path.rfind(prefix, 0) == 0 &&
           path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool isEngineLookup(std::string_view target)
{
    return pathIs(target, "/engines/", "/search");
}

// The settings window's test of a keyed source, POST /sources/<id>/test?site=SITE: the one
// request that is not a GET or HEAD (a web page cannot send a cross-site POST without an Origin
// header, which the route refuses). It carries no body either, and waits on an upstream as a
// lookup does.
bool isSourceTest(std::string_view target)
{
    return pathIs(target, "/sources/", "/test");
}

bool isLoopbackAddress(const std::string& host)
{
    in_addr v4{};
    return host == "::1" ||
           (::inet_pton(AF_INET, host.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127);
}

// The address and port of one end of a socket (getpeername or getsockname); "" when unknown.
std::string socketAddress(int fd, int (*nameOf)(int, sockaddr*, socklen_t*), int& port)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    char text[INET6_ADDRSTRLEN] = {};
    if (nameOf(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {};
    }
    if (address.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        port = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        port = ntohs(v6->sin6_port);
    }
    return text;
}

// The reason phrase and the text of an answer the front gives by itself.
std::pair<const char*, std::string> refusalText(int status, std::size_t maxHeadBytes)
{
    switch (status) {
    case 400:
        return {"Bad Request", "Bad request"};
    case 403:
        return {"Forbidden", "Refused: the Host header names another host"};
    case 405:
        return {"Method Not Allowed", "The host answers GET and HEAD only"};
    case 408:
        return {"Request Timeout", "The request did not come in time"};
    case 413:
        return {"Payload Too Large", "The host takes no request body"};
    case 431:
        return {"Request Header Fields Too Large",
                "The request head is larger than " + formatThousands(maxHeadBytes) + " bytes"};
    default:
        return {"Service Unavailable", "Too many connections"};
    }
}

// A request whose head the front has read whole: httplib reads it from memory and never waits
// on the socket for more; the answer is written to the socket, each write within a time limit.
class HeadStream final : public httplib::Stream {
public:
    HeadStream(int fd, std::string_view head, std::chrono::milliseconds timeout)
        : fd_(fd)
        , head_(head)
        , timeout_(timeout)
    {
    }
    bool failed() const { return failed_; }

    bool is_readable() const override { return at_ < head_.size(); }
    bool is_writable() const override
    {
        pollfd p{fd_, POLLOUT, 0};
        return ::poll(&p, 1, int(timeout_.count())) > 0 && (p.revents & POLLOUT) != 0;
    }
    ssize_t read(char* ptr, size_t size) override
    {
        const std::size_t n = std::min(size, head_.size() - at_);
        std::memcpy(ptr, head_.data() + at_, n);
        at_ += n;
        return ssize_t(n);
    }
    ssize_t write(const char* ptr, size_t size) override
    {
        // What the socket takes now: a client that reads slowly holds a thread for at most the
        // timeout per write.
        const ssize_t n = is_writable() ? ::send(fd_, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT) : -1;
        failed_ = failed_ || n < 0;
        return n;
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override
    {
        ip = socketAddress(fd_, &::getpeername, port);
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override
    {
        ip = socketAddress(fd_, &::getsockname, port);
    }
    socket_t socket() const override { return fd_; }

private:
    int fd_;
    std::string_view head_;
    std::size_t at_ = 0;
    std::chrono::milliseconds timeout_;
    bool failed_ = false;
};

} // namespace

// Threads that answer the requests of one queue, oldest first.
class HostServer::Pool {
public:
    Pool(std::size_t threads, std::function<void(Job&)> run)
        : run_(std::move(run))
    {
        for (std::size_t i = 0; i < threads; ++i) {
            threads_.emplace_back([this] { work(); });
        }
    }
    ~Pool()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& thread : threads_) {
            thread.join();
        }
        for (Job& job : jobs_) {
            ::close(job.connection.fd);
        }
    }
    void push(Job job)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }
    std::size_t queued()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return jobs_.size();
    }
    // Takes the jobs queued before the time out of the queue.
    std::vector<Job> takeQueuedBefore(Clock::time_point time)
    {
        std::vector<Job> out;
        std::lock_guard<std::mutex> lock(mutex_);
        while (!jobs_.empty() && jobs_.front().queuedAt < time) {
            out.push_back(std::move(jobs_.front()));
            jobs_.pop_front();
        }
        return out;
    }

private:
    void work()
    {
        while (true) {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) {
                return;
            }
            Job job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            run_(job);
        }
    }

    std::function<void(Job&)> run_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

HostServer::HostServer(const FrontLimits& limits, std::vector<std::string> allowedHosts, Logger log)
    : limits_(limits)
    , allowedHosts_(std::move(allowedHosts))
    , log_(std::move(log))
    , wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , documents_(std::make_unique<Pool>(limits.documentThreads, [this](Job& job) { serve(job); }))
    , engines_(std::make_unique<Pool>(limits.engineThreads, [this](Job& job) { serve(job); }))
    , reception_([this] { receive(); })
{
    new_task_queue = [] {
        return new HandOver;
    };
}

HostServer::~HostServer()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t woken = ::write(wakeFd_, &one, sizeof one);
    reception_.join();
    engines_.reset();
    documents_.reset();
    for (const Connection& connection : arriving_) {
        ::close(connection.fd);
    }
    ::close(wakeFd_);
}

bool HostServer::requestIsLate()
{
    return lateRequest;
}

bool HostServer::hostAllowed(std::string_view hostHeader, const std::vector<std::string>& allowed)
{
    std::string host = toLowerAscii(trimBlanks(hostHeader));
    if (!host.empty() && host.front() == '[') {
        const std::size_t close = host.find(']');
        if (close == std::string::npos || (close + 1 < host.size() && host[close + 1] != ':')) {
            return false;
        }
        host = host.substr(1, close - 1);
    } else if (const std::size_t colon = host.find(':'); colon != std::string::npos) {
        host.resize(colon);
    }
    if (!host.empty() && host.back() == '.') {
        host.pop_back();
    }
    return !host.empty() && (host == "localhost" || isLoopbackAddress(host) ||
                             std::find(allowed.begin(), allowed.end(), host) != allowed.end());
}

bool HostServer::process_and_close_socket(socket_t sock)
{
    const int yes = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    Connection connection{sock, {}, 0};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_ && open_ < limits_.maxConnections) {
            ++open_;
            arriving_.push_back(std::move(connection));
            connection.fd = -1;
        }
    }
    if (connection.fd >= 0) {
        sendRefusal(sock, 503);
        ::close(sock);
        log_("- - 503");
        return false;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t woken = ::write(wakeFd_, &one, sizeof one);
    return true;
}

void HostServer::giveBack(Connection connection)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!stopping_) {
            arriving_.push_back(std::move(connection));
            connection.fd = -1;
        }
    }
    if (connection.fd >= 0) {
        close(connection);
        return;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t woken = ::write(wakeFd_, &one, sizeof one);
}

void HostServer::refuse(Connection& connection, int status, const std::string& method,
                        const std::string& target)
{
    sendRefusal(connection.fd, status);
    close(connection);
    log_(method + ' ' + printable(target) + ' ' + std::to_string(status));
}

void HostServer::sendRefusal(int fd, int status) const
{
    const auto [reason, text] = refusalText(status, limits_.maxHeadBytes);
    const std::string answer = "HTTP/1.1 " + std::to_string(status) + ' ' + reason +
                               "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                               std::to_string(text.size() + 1) + "\r\nConnection: close\r\n" +
                               (status == 405 ? "Allow: GET, HEAD\r\n" : "") + "\r\n" + text + "\n";
    // The answer is small: it goes out at once or not at all, the connection ends either way.
    [[maybe_unused]] const ssize_t sent =
        ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(fd, SHUT_RDWR);
}

void HostServer::close(Connection& connection)
{
    ::close(connection.fd);
    connection.fd = -1;
    std::lock_guard<std::mutex> lock(mutex_);
    --open_;
}

void HostServer::serve(Job& job)
{
    Connection& connection = job.connection;
    const std::size_t headEnd = connection.buffer.find("\r\n\r\n") + 4;
    HeadStream stream(connection.fd, std::string_view(connection.buffer).substr(0, headEnd),
                      limits_.readWriteTimeout);
    const bool last = std::size_t(++connection.served) >= limits_.requestsPerConnection;
    bool closed = false;
    lateRequest = job.late;
    const bool answered = process_request(stream, last, closed, nullptr);
    lateRequest = false;
    if (!answered || closed || last || stream.failed()) {
        close(connection);
        return;
    }
    connection.buffer.erase(0, headEnd); // what the client sent after this request
    giveBack(std::move(connection));
}

void HostServer::receive()
{
    struct Waiting {
        Connection connection;
        Clock::time_point deadline;
        bool started = false; // a byte of the next request has come
    };
    std::vector<Waiting> waiting;
    std::vector<pollfd> polled;
    char chunk[kReadChunk];

    // Hands a complete head on, refuses what the front does not take, or ends a connection
    // whose time is up; false while the connection waits for more.
    const auto settle = [this](Waiting& w, Clock::time_point now) {
        Connection& connection = w.connection;
        const std::size_t end = connection.buffer.find("\r\n\r\n");
        if (end == std::string::npos || end + 4 > limits_.maxHeadBytes) {
            if (connection.buffer.size() > limits_.maxHeadBytes) {
                refuse(connection, 431, "-", "-");
                return true;
            }
            if (now < w.deadline) {
                return false;
            }
            if (w.started) {
                refuse(connection, 408, "-", "-");
            } else { // idle between two requests, or never sent one
                close(connection);
            }
            return true;
        }
        const std::optional<Head> head =
            parseHead(std::string_view(connection.buffer).substr(0, end));
        const std::string method = head ? head->method : "-";
        const std::string target = head ? head->target : "-";
        if (!head) {
            refuse(connection, 400, method, target);
        } else if (method != "GET" && method != "HEAD" &&
                   !(method == "POST" && isSourceTest(target))) {
            refuse(connection, 405, method, target);
        } else if (head->hasBody) {
            refuse(connection, 413, method, target);
        } else if (!head->host || !hostAllowed(*head->host, allowedHosts_)) {
            refuse(connection, 403, method, target);
        } else if (!isEngineLookup(target) && !isSourceTest(target)) {
            documents_->push({std::move(connection), now, false});
        } else if (engines_->queued() >= limits_.maxQueuedEngineRequests) {
            documents_->push({std::move(connection), now, true});
        } else {
            engines_->push({std::move(connection), now, false});
        }
        return true;
    };

    while (true) {
        Clock::time_point now = Clock::now();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) {
                break;
            }
            for (Connection& connection : arriving_) {
                const bool started = !connection.buffer.empty();
                const auto wait = connection.served == 0 || started ? limits_.headTimeout
                                                                    : limits_.keepAliveTimeout;
                waiting.push_back({std::move(connection), now + wait, started});
            }
            arriving_.clear();
        }
        // Lookups that waited too long for an engine thread are answered now, as late.
        for (Job& job : engines_->takeQueuedBefore(now - limits_.engineWait)) {
            job.late = true;
            documents_->push(std::move(job));
        }
        // Settles what is complete already (a request sent right after the last one) or late.
        waiting.erase(std::remove_if(waiting.begin(), waiting.end(),
                                     [&](Waiting& w) { return settle(w, now); }),
                      waiting.end());

        Clock::time_point next = now + std::chrono::seconds(1);
        polled.assign(1, pollfd{wakeFd_, POLLIN, 0});
        for (const Waiting& w : waiting) {
            polled.push_back({w.connection.fd, POLLIN, 0});
            next = std::min(next, w.deadline);
        }
        if (engines_->queued() > 0) {
            next = std::min(next, now + std::chrono::milliseconds(200));
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now);
        ::poll(polled.data(), polled.size(), int(std::max<long>(wait.count(), 0) + 1));
        if (polled[0].revents != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t drained = ::read(wakeFd_, &count, sizeof count);
        }
        now = Clock::now();
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            if (polled[i + 1].revents == 0) {
                continue;
            }
            Waiting& w = waiting[i];
            const ssize_t n = ::recv(w.connection.fd, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n > 0) {
                if (!w.started) {
                    w.started = true;
                    w.deadline = now + limits_.headTimeout;
                }
                w.connection.buffer.append(chunk, std::size_t(n));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                w.deadline = now; // gone: settled below without an answer
                w.started = false;
                w.connection.buffer.clear();
            }
        }
        waiting.erase(std::remove_if(waiting.begin(), waiting.end(),
                                     [&](Waiting& w) { return settle(w, now); }),
                      waiting.end());
    }
    for (Waiting& w : waiting) {
        ::close(w.connection.fd);
    }
}

} // namespace brandle::host
