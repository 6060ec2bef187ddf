// SPDX-License-Identifier: MIT
#pragma once

// Turns the two files of a domain-level web graph into a domain index: the vertices
// ("id TAB reversed-name TAB hosts", sorted by name, id = line number from 0) and the edges
// ("from-id TAB to-id"), both gzip. The in-degree of each vertex is counted in one pass over
// the edges with one 32-bit counter per domain; nothing else of the graph is held in memory.

#include "DomainIndex.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct inflate_state;

namespace brandle::host {

// The lines of a gzip file of one or more members, inflated with ISA-L's igzip.
class GzipLines {
public:
    explicit GzipLines(const std::filesystem::path& file);
    ~GzipLines();
    GzipLines(const GzipLines&) = delete;
    GzipLines& operator=(const GzipLines&) = delete;

    // The next line without its end. False at the end of the data, and when the file cannot
    // be read, is not gzip or ends inside a member (then error() says so).
    bool next(std::string_view& line);
    const std::string& error() const { return error_; }
    bool damaged() const { return damaged_; } // not gzip, cut short, or a line over 4 MiB
    std::uint64_t bytesRead() const { return bytesRead_; } // of the file

private:
    bool inflateMore();
    bool fail(std::string why);

    std::FILE* file_ = nullptr;
    std::unique_ptr<inflate_state> state_;
    std::vector<unsigned char> in_;
    std::vector<char> out_;
    std::size_t begin_ = 0; // unread output
    std::size_t end_ = 0;
    bool memberDone_ = false; // the last member ended with its trailer
    bool inputDone_ = false;
    bool damaged_ = false;
    std::uint64_t bytesRead_ = 0;
    std::string error_;
};

struct GraphImport {
    std::filesystem::path vertices;
    std::filesystem::path edges;
    std::filesystem::path index; // written
    std::string release;
    // The release's own figures when it states them; negative: not stated.
    std::int64_t expectedDomains = -1;
    std::int64_t expectedEdges = -1;
    std::function<void(std::uint64_t gzipBytesRead)> progress; // over all passes
    const std::atomic<bool>* cancel = nullptr;
};

struct GraphImportResult {
    bool ok = false;
    // The files are not a whole, consistent graph (as opposed to a failure to read or write
    // them, or a cancel): the release is unusable.
    bool badData = false;
    std::string error;
    std::uint64_t domains = 0;
    std::uint64_t edges = 0;
};

// A release of the list of releases, with the domain graph's figures it states (negative:
// not stated).
struct GraphRelease {
    std::string id;
    std::int64_t domains = -1;
    std::int64_t edges = -1;
};

// The releases of the list (a JSON array, newest first: "id", "stats": {"domain": {"nodes",
// "arcs"}}); entries without a usable id are left out. Empty and an error text when the text
// is no such list.
std::vector<GraphRelease> parseGraphInfo(std::string_view json, std::string& error);

// Letters, digits, '.', '_' and '-', starting with a letter or digit, 100 characters at most:
// a name that is safe in file names and addresses.
bool isReleaseName(std::string_view name);

// Reads the vertices twice (to count and check them, then to write the index beside their
// in-degrees) and the edges once. The index is complete only when ok.
GraphImportResult importGraph(const GraphImport& job);

} // namespace brandle::host
