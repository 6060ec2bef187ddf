// SPDX-License-Identifier: MIT
#include "EnginePage.h"

#include "Text.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <utility>

using namespace Qt::StringLiterals;

namespace brandle::host {

namespace {

std::string element(std::string_view name, std::string_view escapedContent)
{
    std::string out = "<";
    out += name;
    out += '>';
    out += escapedContent;
    out += "</";
    out += name;
    out += '>';
    return out;
}

std::string pageStart(const EngineInfo& engine, std::string_view title)
{
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>";
    page += htmlEscape(engine.name);
    page += " - ";
    page += htmlEscape(title);
    page += "</title></head>\n<body>\n<h1>";
    page += htmlEscape(engine.name);
    page += "</h1>\n";
    return page;
}

std::string creditLine(const SourceCredit& credit)
{
    std::string line = "<p class=\"source\">Data: ";
    if (credit.link.empty()) {
        line += htmlEscape(credit.name);
    } else {
        line += "<a href=\"" + htmlEscape(credit.link) + "\">" + htmlEscape(credit.name) + "</a>";
    }
    if (!credit.owner.empty()) {
        line += " by " + htmlEscape(credit.owner);
    }
    if (!credit.licence.empty()) {
        line += ", licence <a href=\"" + htmlEscape(credit.licenceLink) + "\">" +
                htmlEscape(credit.licence) + "</a>";
    }
    line += ".";
    if (!credit.note.empty()) {
        line += " " + htmlEscape(credit.note);
    }
    return line + "</p>\n";
}

} // namespace

std::string countPage(const EngineInfo& engine, std::string_view site, const LinkCount& result,
                      const SourceCredit& credit)
{
    std::string page = pageStart(engine, site);
    page += "<p>Site: <b>" + htmlEscape(site) + "</b></p>\n";
    switch (result.kind) {
    case LinkCount::Kind::Count:
    case LinkCount::Kind::AtLeast:
        page += "<p class=\"figure\">";
        if (result.kind == LinkCount::Kind::AtLeast) {
            page += "at least ";
        }
        page += kCountLeft;
        page += formatThousands(result.value);
        page += kCountRight;
        page += " " + htmlEscape(engine.unit);
        if (!result.detail.empty()) {
            page += " " + htmlEscape(result.detail);
        }
        page += "</p>\n";
        break;
    case LinkCount::Kind::NoCount:
        page += "<p class=\"none\">No count: ";
        page += kReasonLeft;
        page += htmlEscape(result.reason);
        page += kReasonRight;
        page += "</p>\n";
        break;
    }
    page += creditLine(credit);
    page += "</body></html>\n";
    return page;
}

std::string engineHomePage(const EngineInfo& engine, const SourceCredit& credit)
{
    std::string page = pageStart(engine, "home");
    page += "<p>An engine of brandle-host: the number of " + htmlEscape(engine.unit) +
            " of a site. Ask it with <code>search?" + htmlEscape(engine.siteParam) +
            "=example.com</code>.</p>\n";
    page += creditLine(credit);
    page += "</body></html>\n";
    return page;
}

EngineInfo realEngine(std::string id, std::string name, std::string unit)
{
    EngineInfo engine;
    engine.id = std::move(id);
    engine.name = std::move(name);
    engine.siteParam = "site";
    engine.replaceDot = ".";
    engine.leftString = kCountLeft;
    engine.rightString = kCountRight;
    engine.unit = std::move(unit);
    engine.reasonLeftString = kReasonLeft;
    engine.reasonRightString = kReasonRight;
    return engine;
}

std::string schemaEngineEntries(const std::vector<EngineInfo>& engines)
{
    std::string out;
    for (const EngineInfo& engine : engines) {
        const std::string base = "http://{host}/engines/" + engine.id + "/";
        out += "\n    <Engine>";
        out += "\n      " + element("EngineName", htmlEscape(engine.name));
        out += "\n      " + element("EngineHome", htmlEscape(base));
        out +=
            "\n      " + element("LeftURL", htmlEscape(base + "search?" + engine.siteParam + "="));
        out += "\n      " + element("RightURL", htmlEscape(engine.rightUrl));
        out += "\n      " + element("LeftString", xmlCdata(engine.leftString));
        out += "\n      " + element("RightString", xmlCdata(engine.rightString));
        out += "\n      " + element("ReplaceDot", htmlEscape(engine.replaceDot));
        if (!engine.reasonLeftString.empty()) {
            out += "\n      " + element("ReasonLeftString", xmlCdata(engine.reasonLeftString));
            out += "\n      " + element("ReasonRightString", xmlCdata(engine.reasonRightString));
        }
        if (!engine.unit.empty()) {
            out += "\n      " + element("Unit", htmlEscape(engine.unit));
        }
        out += "\n    </Engine>";
    }
    return out + "\n  ";
}

std::string creditText(const SourceCredit& credit)
{
    std::string line = credit.name;
    if (!credit.owner.empty()) {
        line += " by " + credit.owner;
    }
    if (!credit.licence.empty()) {
        line += ", licence " + credit.licence;
    }
    return line;
}

std::string schemaSources(const std::vector<SourceCredit>& credits)
{
    std::string out = "<Sources>";
    for (const SourceCredit& credit : credits) {
        out += "\n    <Source>";
        out += element("Name", htmlEscape(credit.name));
        out += element("Owner", htmlEscape(credit.owner));
        out += element("Link", htmlEscape(credit.link));
        out += element("Licence", htmlEscape(credit.licence));
        out += element("LicenceLink", htmlEscape(credit.licenceLink));
        out += element("Note", htmlEscape(credit.note));
        out += "</Source>";
    }
    return out + "\n  </Sources>";
}

std::optional<std::string> mergeSchema(std::string_view schemaTemplate, std::string_view entries,
                                       std::string_view sources)
{
    constexpr std::string_view open = "<Engines>";
    constexpr std::string_view close = "</Engines>";
    const std::size_t begin = schemaTemplate.find(open);
    if (begin == std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t end = schemaTemplate.find(close, begin + open.size());
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    std::string out(schemaTemplate.substr(0, begin + open.size()));
    out += entries;
    out += close;
    out += "\n  ";
    out += sources;
    out += schemaTemplate.substr(end + close.size());
    return out;
}

std::string sourcesJson(const std::vector<SourceStatus>& sources)
{
    const auto text = [](const std::string& value) {
        return value.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(value));
    };
    QJsonArray list;
    for (const SourceStatus& source : sources) {
        static const char* const states[] = {"ready", "loading", "failed", "off"};
        const bool loading = source.state == SourceStatus::State::Loading;
        QJsonObject entry;
        entry.insert("id"_L1, text(source.id));
        entry.insert("name"_L1, text(source.name));
        entry.insert("state"_L1, QLatin1StringView(states[int(source.state)]));
        entry.insert("progress"_L1, loading && source.progress >= 0
                                        ? QJsonValue(std::min(source.progress, 1.0))
                                        : QJsonValue());
        entry.insert("release"_L1, text(source.release));
        entry.insert(
            "updated"_L1,
            source.updated > 0
                ? QJsonValue(
                      QDateTime::fromSecsSinceEpoch(source.updated, Qt::UTC).toString(Qt::ISODate))
                : QJsonValue());
        entry.insert("error"_L1, text(source.error));
        entry.insert("key"_L1, text(source.key));
        entry.insert("terms"_L1, text(source.terms));
        entry.insert("termsLink"_L1, text(source.termsLink));
        list.append(entry);
    }
    return QJsonDocument(list).toJson(QJsonDocument::Compact).toStdString();
}

std::string Source::answerPage(const EngineInfo& engine, std::string_view askedSite,
                               const LinkCount& result) const
{
    return countPage(engine, askedSite, result, credit());
}

std::string Source::homePage(const EngineInfo& engine) const
{
    return engineHomePage(engine, credit());
}

} // namespace brandle::host
