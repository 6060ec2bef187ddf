// SPDX-License-Identifier: MIT
#pragma once

// The demo engines Alpha Search, Beta Find and Gamma Seek as a source: made-up counts that
// depend on the engine, the site and the hour, for trying Brandle without internet.

#include "Source.h"

#include <vector>

namespace brandle::host {

class DemoSource final : public Source {
public:
    DemoSource();

    const std::vector<EngineInfo>& engines() const override { return engines_; }
    SourceCredit credit() const override;
    // Any text but an empty one, as given.
    std::optional<std::string> acceptSite(std::string_view site) const override;
    LinkCount lookup(const EngineInfo& engine, const std::string& site) override;
    SourceStatus status() const override { return SourceStatus::ready("demo", credit().name); }
    std::string answerPage(const EngineInfo& engine, std::string_view askedSite,
                           const LinkCount& result) const override;
    std::string homePage(const EngineInfo& engine) const override;

private:
    std::vector<EngineInfo> engines_;
};

} // namespace brandle::host
