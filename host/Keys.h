// SPDX-License-Identifier: MIT
#pragma once

// Where the sources asked with the user's own account find their keys: the desktop keyring
// when it holds the key, else the host's settings file. Each request for a key asks the
// keyring again and reads the file again when it changed, so a key stored while the host runs
// is used by the next lookup, without a restart and without a route that sets keys.

#include "Source.h"

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace brandle::host {

enum class KeyOrigin { None, Keyring, SettingsFile };

struct Key {
    std::string value;
    KeyOrigin origin = KeyOrigin::None;
    std::string problem; // why a stored key cannot be used (e.g. a file others can read)
};

// What the keyring said about a key.
struct KeyringAnswer {
    enum class Kind { Found, Missing, Unavailable };
    Kind kind = Kind::Unavailable;
    std::string value;
    std::string error; // Unavailable: why
};
using KeyringRead = std::function<KeyringAnswer(const std::string& name)>;

class Keys {
public:
    // fileKeys: the keys the settings file held at start (its permissions already checked).
    Keys(std::string settingsFile, std::map<std::string, std::string> fileKeys, KeyringRead keyring,
         Logger log);

    // The key as it is stored now. A value read within maxAge is used again (for status
    // reports, which must not ask the keyring every time).
    Key get(const std::string& name, std::chrono::seconds maxAge = std::chrono::seconds(0));

    // The text with every key this host has seen replaced by "***", also in its
    // percent-encoded form (as it stands in a request address).
    std::string redact(std::string text) const;

private:
    void rereadFileIfChanged(); // with mutex_ held
    void remember(const std::string& value);

    std::string file_;
    KeyringRead keyring_;
    Logger log_;
    mutable std::mutex mutex_;
    std::map<std::string, std::string> fileKeys_;
    std::string fileProblem_;
    struct stat fileStat_ {};
    bool keyringTold_ = false; // the log said once that the keyring is not there
    std::map<std::string, std::pair<Key, std::chrono::steady_clock::time_point>> recent_;
    std::set<std::string> seen_;
};

} // namespace brandle::host
