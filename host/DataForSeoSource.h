// SPDX-License-Identifier: MIT
#pragma once

// "DataForSEO referring domains": referring_domains of DataForSEO's backlinks summary
// (backlinks/summary/live, subdomains included), a paid request with the user's login.

#include "KeyedSource.h"

namespace brandle::host {

class DataForSeoSource final : public KeyedSource {
public:
    DataForSeoSource(KeyedSettings settings, LinkStore& store, Keys& keys, Logger log);
    SourceCredit credit() const override;

protected:
    LinkCount ask(const std::string& site, const std::vector<std::string>& keys,
                  Deadline deadline) override;
};

} // namespace brandle::host
