// SPDX-License-Identifier: MIT
#include "FileRoot.h"

#include <algorithm>
#include <system_error>

namespace brandle::host {

namespace fs = std::filesystem;

namespace {

std::string lowerExtension(const fs::path& file)
{
    std::string ext = file.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return ext;
}

bool isInside(const fs::path& root, const fs::path& candidate)
{
    auto rootIt = root.begin();
    auto candidateIt = candidate.begin();
    for (; rootIt != root.end(); ++rootIt, ++candidateIt) {
        if (candidateIt == candidate.end() || *rootIt != *candidateIt) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<fs::path> resolveUnderRoot(const fs::path& root, std::string_view requestPath)
{
    if (requestPath.empty() || requestPath.front() != '/' ||
        requestPath.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }

    fs::path candidate = root;
    std::size_t start = 1;
    while (start <= requestPath.size()) {
        std::size_t end = requestPath.find('/', start);
        if (end == std::string_view::npos) {
            end = requestPath.size();
        }
        const std::string_view segment = requestPath.substr(start, end - start);
        start = end + 1;
        if (segment.empty()) {
            continue;
        }
        // Refuses "." and ".." as well as hidden files and folders.
        if (segment.front() == '.') {
            return std::nullopt;
        }
        candidate /= std::string(segment);
    }

    std::error_code error;
    const fs::path real = fs::canonical(candidate, error);
    if (error || !isInside(root, real)) {
        return std::nullopt;
    }
    if (!fs::is_regular_file(real, error) || error) {
        return std::nullopt;
    }
    return real;
}

std::string contentTypeFor(const fs::path& file)
{
    const std::string ext = lowerExtension(file);
    if (ext == ".txt") {
        return "text/plain; charset=utf-8";
    }
    if (ext == ".xml" || ext == ".xsl") {
        return "text/xml; charset=utf-8";
    }
    if (ext == ".htm" || ext == ".html") {
        return "text/html; charset=utf-8";
    }
    if (ext == ".css") {
        return "text/css; charset=utf-8";
    }
    if (ext == ".png") {
        return "image/png";
    }
    if (ext == ".gif") {
        return "image/gif";
    }
    if (ext == ".jpg" || ext == ".jpeg") {
        return "image/jpeg";
    }
    if (ext == ".ico") {
        return "image/x-icon";
    }
    return "application/octet-stream";
}

bool isHostTemplated(const fs::path& file)
{
    const std::string ext = lowerExtension(file);
    return ext == ".xml" || ext == ".xsl" || ext == ".htm" || ext == ".html";
}

std::string hostToken(std::string_view bindAddress, int port)
{
    std::string host(bindAddress);
    if (host.empty() || host == "0.0.0.0") {
        host = "127.0.0.1";
    } else if (host == "::" || host == "[::]") {
        host = "[::1]";
    } else if (host.find(':') != std::string::npos && host.front() != '[') {
        host = "[" + host + "]";
    }
    return host + ":" + std::to_string(port);
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to)
{
    if (from.empty()) {
        return text;
    }
    std::size_t pos = 0;
    while ((pos = text.find(from, pos)) != std::string::npos) {
        text.replace(pos, from.size(), to);
        pos += to.size();
    }
    return text;
}

} // namespace brandle::host
