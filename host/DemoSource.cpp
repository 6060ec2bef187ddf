// SPDX-License-Identifier: MIT
#include "DemoSource.h"

#include "DemoEngine.h"

#include <ctime>

namespace brandle::host {

DemoSource::DemoSource()
{
    std::size_t count = 0;
    const DemoEngineInfo* demo = demoEngines(&count);
    for (std::size_t i = 0; i < count; ++i) {
        EngineInfo engine;
        engine.id = demo[i].id;
        engine.name = demo[i].name;
        engine.siteParam = demo[i].siteParam;
        engine.rightUrl = demo[i].rightUrl;
        engine.replaceDot = demo[i].replaceDot;
        engine.leftString = demo[i].leftString;
        engine.rightString = demo[i].rightString;
        engine.unit = "pages";
        engines_.push_back(std::move(engine));
    }
}

SourceCredit DemoSource::credit() const
{
    return {"Demo engines", "", "", "", "", "Made-up counts, for trying Brandle without internet."};
}

std::optional<std::string> DemoSource::acceptSite(std::string_view site) const
{
    if (site.empty()) {
        return std::nullopt;
    }
    return std::string(site);
}

LinkCount DemoSource::lookup(const EngineInfo& engine, const std::string& site)
{
    return LinkCount::count(demoCount(engine.id, site, hourKey(std::time(nullptr))));
}

std::string DemoSource::answerPage(const EngineInfo& engine, std::string_view askedSite,
                                   const LinkCount& result) const
{
    return demoAnswerPage(*findDemoEngine(engine.id), askedSite, result.value);
}

std::string DemoSource::homePage(const EngineInfo& engine) const
{
    return demoHomePage(*findDemoEngine(engine.id));
}

} // namespace brandle::host
