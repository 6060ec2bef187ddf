// SPDX-License-Identifier: MIT
#pragma once

// The keys of brandle-host in the desktop keyring (the Secret Service, through QtKeychain):
// one entry per key, under the service "brandle-host", named as in the host's settings file
// ("bing-key", "moz-token", ...). Brandle's settings window writes them; the host reads them.

#include <QLatin1StringView>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QObject;
class QThread;

namespace brandle::keyring {

inline constexpr QLatin1StringView Service{"brandle-host"};

// The keys, named as in the host's settings file.
inline constexpr char BingKey[] = "bing-key";
inline constexpr char MozToken[] = "moz-token";
inline constexpr char DataForSeoLogin[] = "dataforseo-login";
inline constexpr char DataForSeoPassword[] = "dataforseo-password";

struct Answer {
    enum class Kind {
        Done,        // read (value set) or written
        Missing,     // the keyring runs but holds no such key
        Unavailable, // no keyring runs, it refused, or it did not answer in time
    };
    Kind kind = Kind::Unavailable;
    QString value;
    QString error; // Unavailable: what the keyring said
};

// Stores the value (an empty one removes the key). Asynchronous: done is called in the
// context's thread, whose event loop must run, unless the context is gone by then.
void write(const QString& key, const QString& value, QObject* context,
           const std::function<void(const Answer&)>& done);

// Reads keys for threads without an event loop: the keyring's jobs run on a thread of this
// object's own.
class Reader {
public:
    Reader();
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Waits at most the timeout (a locked keyring may wait for its password); Unavailable then.
    Answer read(const QString& key, std::chrono::milliseconds timeout);

private:
    std::unique_ptr<QThread> thread_;
    std::unique_ptr<QObject> home_; // lives in the thread; the jobs' parent context
};

} // namespace brandle::keyring
