// SPDX-License-Identifier: MIT
#pragma once

// "Moz linking root domains": root_domains_to_root_domain of Moz's site metrics
// (data.site.metrics.fetch over JSON-RPC), at most one request per interval (the free tier
// allows one every 10 s).

#include "KeyedSource.h"
#include "RequestSpacing.h"

#include <condition_variable>

namespace brandle::host {

class MozSource final : public KeyedSource {
public:
    MozSource(KeyedSettings settings, std::chrono::milliseconds interval, LinkStore& store,
              Keys& keys, Logger log);
    SourceCredit credit() const override;
    void stop() override;

    // A request waits for its turn only while this much of the answer time (at most a
    // quarter of it) would be left for the request itself.
    static constexpr std::chrono::milliseconds kRequestTime{5000};

protected:
    LinkCount ask(const std::string& site, const std::vector<std::string>& keys,
                  Deadline deadline) override;

private:
    RequestSpacing spacing_;
    std::mutex waitMutex_;
    std::condition_variable stopped_;
    std::atomic<int> requestId_{0};
};

} // namespace brandle::host
