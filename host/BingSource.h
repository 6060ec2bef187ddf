// SPDX-License-Identifier: MIT
#pragma once

// "Bing inbound links": the inbound links Bing Webmaster Tools counts for the pages of a site
// verified in the user's account (GetUserSites, then every page of GetLinkCounts, summed).

#include "KeyedSource.h"

namespace brandle::host {

class BingSource final : public KeyedSource {
public:
    BingSource(KeyedSettings settings, LinkStore& store, Keys& keys, Logger log);
    SourceCredit credit() const override;

    // Pages of GetLinkCounts asked for one site at most; past that the count is "at least".
    static constexpr int kMaxPages = 50;

protected:
    LinkCount ask(const std::string& site, const std::vector<std::string>& keys,
                  Deadline deadline) override;

private:
    // The answer's figure, or why there is none (an error answer, an unreadable one).
    LinkCount failure(const Reply& reply) const;
};

} // namespace brandle::host
