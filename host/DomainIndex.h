// SPDX-License-Identifier: MIT
#pragma once

// A sorted file of "name TAB count" lines that a lookup reads in place (mapped, binary search
// over every 64th line), so serving a graph of a hundred million domains loads none of it.
// The same file holds a whole release or one shard of it.
//
// Layout: a header of 256 bytes (magic "BRCCIDX1", then little-endian 64-bit numbers: lines,
// offset and size of the text, offset and number of the block offsets, the shard's number and
// the number of shards, then the release's name, NUL-padded, from byte 64), the text, and the
// byte offset into the text of lines 0, 64, 128 ...

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brandle::host {

struct IndexShard {
    std::uint32_t number = 0;
    std::uint32_t count = 0; // 0: the file holds the whole release
};

class DomainIndex {
public:
    // Nothing and an error text when the file cannot be read or is not a whole index.
    static std::shared_ptr<const DomainIndex> open(const std::filesystem::path& file,
                                                   std::string& error);
    ~DomainIndex();
    DomainIndex(const DomainIndex&) = delete;
    DomainIndex& operator=(const DomainIndex&) = delete;

    const std::string& release() const { return release_; }
    IndexShard shard() const { return shard_; }
    std::uint64_t size() const { return lines_; }
    std::uint64_t textBytes() const { return textSize_; }

    // The count of a name; nothing when the file does not hold it.
    std::optional<std::uint32_t> find(std::string_view name) const;

    // Every line in order.
    void forEach(const std::function<void(std::string_view name, std::uint32_t count)>& f) const;

private:
    DomainIndex() = default;
    std::string_view nameAt(std::uint64_t offset, std::uint32_t* count, std::uint64_t* next) const;

    const char* map_ = nullptr;
    std::size_t mapSize_ = 0;
    const char* text_ = nullptr;
    std::uint64_t textSize_ = 0;
    const unsigned char* blocks_ = nullptr;
    std::uint64_t blockCount_ = 0;
    std::uint64_t lines_ = 0;
    IndexShard shard_;
    std::string release_;
};

// Writes an index: names in strictly increasing byte order, then finish().
class DomainIndexWriter {
public:
    DomainIndexWriter() = default;
    ~DomainIndexWriter();
    DomainIndexWriter(const DomainIndexWriter&) = delete;
    DomainIndexWriter& operator=(const DomainIndexWriter&) = delete;

    bool open(const std::filesystem::path& file, const std::string& release, IndexShard shard,
              std::string& error);
    // False when the name does not come after the last one, holds a TAB, a line end or NUL,
    // or the write failed (error() says which).
    bool add(std::string_view name, std::uint32_t count);
    // Writes the block offsets and the header and flushes the file to the disk.
    bool finish();
    const std::string& error() const { return error_; }
    std::uint64_t size() const { return lines_; }

private:
    bool fail(std::string why);

    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
    std::string release_;
    IndexShard shard_;
    std::string last_;
    std::uint64_t lines_ = 0;
    std::uint64_t textSize_ = 0;
    std::vector<std::uint64_t> blocks_;
    std::string error_;
};

} // namespace brandle::host
