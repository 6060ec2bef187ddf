// SPDX-License-Identifier: MIT
#pragma once

// Registered domains by the public suffix list (libpsl: the newer of its built-in list and the
// system's), as a domain-level web graph names its nodes: folded by the list's ICANN part only,
// so every site under a platform suffix (alice.github.io) belongs to the platform's node.

#include <string>
#include <string_view>

namespace brandle::host {

struct GraphDomain {
    // The registered domain by the ICANN rules ("example.co.uk" for "www.example.co.uk"); the
    // name itself when it is a public suffix or has no label above one.
    std::string domain;
    // The name is a site under a private (platform) suffix: it shares the node of domain
    // with every other site there. The platform's own name ("github.io") does not.
    bool shared = false;
};

// For a host name in ASCII form, lower case ("xn--..." labels for IDNs).
GraphDomain graphDomain(std::string_view asciiHost);

// The labels in reverse order: "example.co.uk" -> "uk.co.example".
std::string reversedName(std::string_view name);

} // namespace brandle::host
