// SPDX-License-Identifier: MIT
#include "DomainIndex.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace brandle::host {

namespace {

constexpr char kMagic[8] = {'B', 'R', 'C', 'C', 'I', 'D', 'X', '1'};
constexpr std::size_t kHeaderSize = 256;
constexpr std::size_t kReleaseAt = 64;
constexpr std::size_t kMaxRelease = kHeaderSize - kReleaseAt - 1;
constexpr std::uint64_t kBlockLines = 64;
constexpr std::size_t kWriteBuffer = 64 << 10; // an export keeps many writers open

enum Field { Lines = 1, TextOffset, TextSize, BlocksOffset, BlockCount, ShardNumber, ShardCount };

std::uint64_t readLe64(const void* at)
{
    const auto* p = static_cast<const unsigned char*>(at);
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i) {
        value = (value << 8) | p[i];
    }
    return value;
}

void writeLe64(unsigned char* at, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i) {
        at[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

} // namespace

std::shared_ptr<const DomainIndex> DomainIndex::open(const std::filesystem::path& file,
                                                     std::string& error)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        error = "cannot read " + file.string() + ": " + std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return nullptr;
    }
    const auto size = static_cast<std::uint64_t>(info.st_size);
    std::shared_ptr<DomainIndex> index(new DomainIndex);
    if (size >= kHeaderSize) {
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (map != MAP_FAILED) {
            index->map_ = static_cast<const char*>(map);
            index->mapSize_ = size;
        }
    }
    ::close(fd);
    const char* m = index->map_;
    const auto field = [m](Field f) {
        return readLe64(m + 8 * f);
    };
    const bool whole = m != nullptr && std::memcmp(m, kMagic, sizeof kMagic) == 0 &&
                       std::memchr(m + kReleaseAt, '\0', kHeaderSize - kReleaseAt) != nullptr &&
                       field(TextOffset) >= kHeaderSize && field(TextOffset) <= size &&
                       field(TextSize) <= size - field(TextOffset) &&
                       field(BlocksOffset) >= field(TextOffset) + field(TextSize) &&
                       field(BlocksOffset) <= size &&
                       field(BlockCount) <= (size - field(BlocksOffset)) / 8 &&
                       field(BlockCount) == (field(Lines) + kBlockLines - 1) / kBlockLines &&
                       field(Lines) <= field(TextSize) / 4 &&
                       (field(Lines) == 0 || m[field(TextOffset) + field(TextSize) - 1] == '\n');
    if (!whole) {
        error = file.string() + " is not a whole domain index";
        return nullptr;
    }
    index->lines_ = field(Lines);
    index->text_ = m + field(TextOffset);
    index->textSize_ = field(TextSize);
    index->blocks_ = reinterpret_cast<const unsigned char*>(m + field(BlocksOffset));
    index->blockCount_ = field(BlockCount);
    index->shard_ = {std::uint32_t(field(ShardNumber)), std::uint32_t(field(ShardCount))};
    index->release_ = std::string(m + kReleaseAt);
    ::madvise(const_cast<char*>(m), size, MADV_RANDOM);
    return index;
}

DomainIndex::~DomainIndex()
{
    if (map_ != nullptr) {
        ::munmap(const_cast<char*>(map_), mapSize_);
    }
}

std::string_view DomainIndex::nameAt(std::uint64_t offset, std::uint32_t* count,
                                     std::uint64_t* next) const
{
    *next = textSize_;
    if (offset >= textSize_) {
        return {};
    }
    const char* line = text_ + offset;
    const auto* end = static_cast<const char*>(std::memchr(line, '\n', textSize_ - offset));
    const auto* tab =
        end == nullptr ? nullptr : static_cast<const char*>(std::memchr(line, '\t', end - line));
    if (tab == nullptr || tab == line) {
        return {};
    }
    std::uint64_t value = 0;
    for (const char* p = tab + 1; p < end; ++p) {
        if (*p < '0' || *p > '9' || value > UINT32_MAX / 10) {
            return {};
        }
        value = value * 10 + std::uint64_t(*p - '0');
    }
    *count = value > UINT32_MAX ? UINT32_MAX : std::uint32_t(value);
    *next = std::uint64_t(end + 1 - text_);
    return {line, std::size_t(tab - line)};
}

std::optional<std::uint32_t> DomainIndex::find(std::string_view name) const
{
    std::uint32_t count = 0;
    std::uint64_t next = 0;
    // The last block whose first name is not after the name.
    std::uint64_t lo = 0;
    std::uint64_t hi = blockCount_;
    while (lo < hi) {
        const std::uint64_t mid = lo + (hi - lo) / 2;
        if (nameAt(readLe64(blocks_ + 8 * mid), &count, &next) <= name) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    if (lo == 0) {
        return std::nullopt;
    }
    std::uint64_t offset = readLe64(blocks_ + 8 * (lo - 1));
    for (std::uint64_t i = 0; i < kBlockLines && offset < textSize_; ++i, offset = next) {
        const std::string_view here = nameAt(offset, &count, &next);
        if (here == name && !here.empty()) {
            return count;
        }
        if (here.empty() || here > name) {
            break;
        }
    }
    return std::nullopt;
}

void DomainIndex::forEach(
    const std::function<void(std::string_view name, std::uint32_t count)>& f) const
{
    std::uint32_t count = 0;
    for (std::uint64_t offset = 0, next = 0; offset < textSize_; offset = next) {
        const std::string_view name = nameAt(offset, &count, &next);
        if (!name.empty()) {
            f(name, count);
        }
    }
}

DomainIndexWriter::~DomainIndexWriter()
{
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

bool DomainIndexWriter::fail(std::string why)
{
    if (error_.empty()) {
        error_ = std::move(why);
    }
    return false;
}

bool DomainIndexWriter::open(const std::filesystem::path& file, const std::string& release,
                             IndexShard shard, std::string& error)
{
    path_ = file;
    release_ = release;
    shard_ = shard;
    if (release.empty() || release.size() > kMaxRelease ||
        release.find('\0') != std::string::npos) {
        error = "unusable release name";
        return false;
    }
    file_ = std::fopen(file.c_str(), "wb");
    if (file_ == nullptr || std::setvbuf(file_, nullptr, _IOFBF, kWriteBuffer) != 0) {
        error = "cannot write " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    const char header[kHeaderSize] = {};
    if (std::fwrite(header, 1, sizeof header, file_) != sizeof header) {
        error = "cannot write " + file.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool DomainIndexWriter::add(std::string_view name, std::uint32_t count)
{
    if (name.empty() || name.find_first_of(std::string_view("\t\n\r\0", 4)) != name.npos) {
        return fail("unusable name in line " + std::to_string(lines_ + 1));
    }
    if (lines_ > 0 && name <= last_) {
        return fail("names out of order in line " + std::to_string(lines_ + 1));
    }
    if (lines_ % kBlockLines == 0) {
        blocks_.push_back(textSize_);
    }
    char digits[16];
    const int n = std::snprintf(digits, sizeof digits, "\t%u\n", unsigned(count));
    if (std::fwrite(name.data(), 1, name.size(), file_) != name.size() ||
        std::fwrite(digits, 1, std::size_t(n), file_) != std::size_t(n)) {
        return fail("cannot write " + path_.string() + ": " + std::strerror(errno));
    }
    last_.assign(name);
    textSize_ += name.size() + std::size_t(n);
    ++lines_;
    return true;
}

bool DomainIndexWriter::finish()
{
    if (file_ == nullptr || !error_.empty()) {
        return fail("cannot write " + path_.string());
    }
    std::vector<unsigned char> tail(8 * blocks_.size());
    for (std::size_t i = 0; i < blocks_.size(); ++i) {
        writeLe64(tail.data() + 8 * i, blocks_[i]);
    }
    unsigned char header[kHeaderSize] = {};
    std::memcpy(header, kMagic, sizeof kMagic);
    const auto set = [&header](Field f, std::uint64_t value) {
        writeLe64(header + 8 * f, value);
    };
    set(Lines, lines_);
    set(TextOffset, kHeaderSize);
    set(TextSize, textSize_);
    set(BlocksOffset, kHeaderSize + textSize_);
    set(BlockCount, blocks_.size());
    set(ShardNumber, shard_.number);
    set(ShardCount, shard_.count);
    std::memcpy(header + kReleaseAt, release_.data(), release_.size());
    // A shard may hold no domain at all, and then no block.
    const bool written =
        (tail.empty() || std::fwrite(tail.data(), 1, tail.size(), file_) == tail.size()) &&
        std::fseek(file_, 0, SEEK_SET) == 0 &&
        std::fwrite(header, 1, sizeof header, file_) == sizeof header && std::fflush(file_) == 0 &&
        ::fsync(::fileno(file_)) == 0;
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (!written || closed != 0) {
        return fail("cannot write " + path_.string() + ": " + std::strerror(errno));
    }
    return true;
}

} // namespace brandle::host
