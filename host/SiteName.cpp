// SPDX-License-Identifier: MIT
#include "SiteName.h"

#include "Text.h"

#include <QString>
#include <QUrl>

namespace brandle::host {

namespace {

constexpr std::size_t kMaxHostLength = 253;
constexpr std::size_t kMaxLabelLength = 63;

bool isLabelChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

bool isAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

} // namespace

bool isAsciiHostName(std::string_view name)
{
    if (name.empty() || name.size() > kMaxHostLength) {
        return false;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = name.find('.', start);
        const std::string_view label = name.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
        if (label.empty() || label.size() > kMaxLabelLength || label.front() == '-' ||
            label.back() == '-') {
            return false;
        }
        for (const char c : label) {
            if (!isLabelChar(c)) {
                return false;
            }
        }
        if (dot == std::string_view::npos) {
            return true;
        }
        start = dot + 1;
    }
}

std::optional<std::string> lookupHostName(std::string_view site)
{
    std::string name = toLowerAscii(trimBlanks(site));
    if (!isAscii(name)) {
        // QUrl maps the Unicode name (case folding included) to its ASCII form and gives
        // nothing for a name that IDNA does not allow.
        const QString unicode = QString::fromUtf8(name.data(), qsizetype(name.size()));
        if (unicode.toUtf8() != QByteArray(name.data(), qsizetype(name.size()))) {
            return std::nullopt; // not valid UTF-8
        }
        const QByteArray ace = QUrl::toAce(unicode);
        if (ace.isEmpty()) {
            return std::nullopt;
        }
        name = toLowerAscii(ace.toStdString());
    }
    if (!name.empty() && name.back() == '.') {
        name.pop_back();
    }
    if (!isAsciiHostName(name)) {
        return std::nullopt;
    }
    if (name.rfind("www.", 0) == 0 && name.find('.', 4) != std::string::npos) {
        name.erase(0, 4);
    }
    return name;
}

std::string unicodeHostName(const std::string& asciiName)
{
    if (asciiName.find("xn--") == std::string::npos) {
        return asciiName;
    }
    const QString unicode = QUrl::fromAce(QByteArray::fromStdString(asciiName));
    return unicode.isEmpty() ? asciiName : unicode.toStdString();
}

} // namespace brandle::host
