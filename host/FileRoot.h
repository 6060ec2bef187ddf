// SPDX-License-Identifier: MIT
#pragma once

// Mapping of request paths to the files brandle-host serves, kept apart from the server
// so the path checks can be unit-tested.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brandle::host {

// The regular file that the decoded request path names inside root, or nothing when the
// path leaves the root (".." segments, symbolic links pointing outside), names a hidden
// entry (a segment starting with "."), is not a regular file or does not exist.
// root must be canonical (std::filesystem::canonical).
std::optional<std::filesystem::path> resolveUnderRoot(const std::filesystem::path& root,
                                                      std::string_view requestPath);

// Content-Type header value for a file name, e.g. "text/xml; charset=utf-8" for ".xml".
std::string contentTypeFor(const std::filesystem::path& file);

// Whether "{host}" tokens in the file are replaced by the served address.
bool isHostTemplated(const std::filesystem::path& file);

// "host:port" as clients reach the server bound to bindAddress: IPv6 addresses are put
// in brackets and wildcard addresses become the loopback address.
std::string hostToken(std::string_view bindAddress, int port);

std::string replaceAll(std::string text, std::string_view from, std::string_view to);

} // namespace brandle::host
