// SPDX-License-Identifier: MIT
#include "Keys.h"

#include "ExturlWalk.h"
#include "HostConfig.h"

#include "Text.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace brandle::host {

namespace {

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
           a.st_mode == b.st_mode && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

std::string replaceEvery(std::string text, const std::string& what, std::string_view with)
{
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
    }
    return text;
}

} // namespace

Keys::Keys(std::string settingsFile, std::map<std::string, std::string> fileKeys,
           KeyringRead keyring, Logger log)
    : file_(std::move(settingsFile))
    , keyring_(std::move(keyring))
    , log_(std::move(log))
    , fileKeys_(std::move(fileKeys))
{
    if (!file_.empty()) {
        ::stat(file_.c_str(), &fileStat_);
    }
    for (const auto& [name, value] : fileKeys_) {
        remember(value);
    }
}

void Keys::remember(const std::string& value)
{
    if (!value.empty()) {
        seen_.insert(value);
    }
}

void Keys::rereadFileIfChanged()
{
    struct stat now {};
    if (file_.empty() || (::stat(file_.c_str(), &now) == 0 && sameFile(now, fileStat_))) {
        return;
    }
    fileStat_ = now;
    HostConfig read;
    std::ifstream in(file_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::string error;
    if (in && !applyIni(read, text.str(), error)) {
        // A file in the middle of an edit: its keys as they were stay in use.
        log_("keys: " + file_ + ": " + error + "; its keys stay as they were");
        return;
    }
    fileProblem_ = read.keys.empty() ? std::string() : keyFileProblem(file_);
    if (!fileProblem_.empty()) {
        log_("keys: " + fileProblem_ + "; its keys are not used");
        read.keys.clear();
    }
    for (const auto& [name, value] : read.keys) {
        remember(value);
    }
    fileKeys_ = std::move(read.keys);
}

Key Keys::get(const std::string& name, std::chrono::seconds maxAge)
{
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto recent = recent_.find(name);
        if (maxAge.count() > 0 && recent != recent_.end() && now - recent->second.second < maxAge) {
            return recent->second.first;
        }
    }
    // Outside the lock: a keyring that waits for its password holds up no other key.
    const KeyringAnswer answer = keyring_ ? keyring_(name) : KeyringAnswer{};
    std::lock_guard<std::mutex> lock(mutex_);
    Key key;
    const std::string stored(trimBlanks(answer.value));
    if (answer.kind == KeyringAnswer::Kind::Found && !stored.empty()) {
        remember(stored);
        if (std::any_of(stored.begin(), stored.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; })) {
            key.problem = "the keyring holds " + name + " with control characters";
        } else {
            key = {stored, KeyOrigin::Keyring, {}};
        }
    } else {
        if (answer.kind == KeyringAnswer::Kind::Unavailable && keyring_ && !keyringTold_) {
            keyringTold_ = true;
            log_("keys: no keyring to read (" + answer.error +
                 "); keys come from the settings file");
        }
        rereadFileIfChanged();
        const auto it = fileKeys_.find(name);
        if (it != fileKeys_.end()) {
            key = {it->second, KeyOrigin::SettingsFile, {}};
        } else {
            key.problem = fileProblem_;
        }
    }
    remember(key.value);
    recent_[name] = {key, now};
    return key;
}

std::string Keys::redact(std::string text) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    // Longer keys first, so that a key holding another is replaced whole.
    std::vector<std::string> keys(seen_.begin(), seen_.end());
    std::sort(keys.begin(), keys.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& key : keys) {
        text = replaceEvery(std::move(text), key, "***");
        const std::string encoded = urlEncode(key);
        if (encoded != key) {
            text = replaceEvery(std::move(text), encoded, "***");
        }
    }
    return text;
}

} // namespace brandle::host
