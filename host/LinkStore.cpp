// SPDX-License-Identifier: MIT
#include "LinkStore.h"

#include "MajesticCsv.h"
#include "Text.h"

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <system_error>
#include <utility>

namespace brandle::host {

namespace fs = std::filesystem;

namespace {

constexpr int kBusyTimeoutMs = 5000;
// A Wikipedia answer waits at most this long for a list load to let go of the write lock.
constexpr int kCacheBusyTimeoutMs = 1000;
constexpr std::uint64_t kCancelCheckRows = 4096;
constexpr std::int64_t kForgetAnswersAfterS = 30 * 24 * 3600;

class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
            stmt_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    void bind(int i, const std::string& text)
    {
        sqlite3_bind_text(stmt_, i, text.data(), int(text.size()), SQLITE_TRANSIENT);
    }
    void bind(int i, std::int64_t value) { sqlite3_bind_int64(stmt_, i, value); }
    int step() { return sqlite3_step(stmt_); }
    void reset()
    {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
    std::int64_t integer(int column) { return sqlite3_column_int64(stmt_, column); }
    std::string text(int column)
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return p != nullptr ? std::string(p, std::size_t(sqlite3_column_bytes(stmt_, column)))
                            : std::string();
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

bool exec(sqlite3* db, const char* sql, std::string& error)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        error = message != nullptr ? message : sqlite3_errmsg(db);
        sqlite3_free(message);
        return false;
    }
    return true;
}

int openConnection(const fs::path& file, sqlite3** db)
{
    const int rc =
        sqlite3_open_v2(file.c_str(), db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(*db, kBusyTimeoutMs);
    }
    return rc;
}

constexpr const char* kSchemaSql = R"(
PRAGMA journal_mode=WAL;
PRAGMA synchronous=NORMAL;
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS majestic(
  domain TEXT PRIMARY KEY, idn_domain TEXT NOT NULL,
  ref_subnets INTEGER NOT NULL, ref_ips INTEGER NOT NULL) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS majestic_idn ON majestic(idn_domain) WHERE idn_domain <> domain;
DROP TABLE IF EXISTS wikipedia;
CREATE TABLE IF NOT EXISTS answers(
  origin TEXT NOT NULL, site TEXT NOT NULL, pages INTEGER NOT NULL,
  at_least INTEGER NOT NULL, fetched_at INTEGER NOT NULL,
  PRIMARY KEY(origin, site)) WITHOUT ROWID;
)";

std::string metaValue(sqlite3* db, const char* key)
{
    Statement s(db, "SELECT value FROM meta WHERE key = ?1");
    if (!s.ok()) {
        return {};
    }
    s.bind(1, std::string(key));
    return s.step() == SQLITE_ROW ? s.text(0) : std::string();
}

std::int64_t toInt(const std::string& text)
{
    try {
        return text.empty() ? 0 : std::stoll(text);
    } catch (const std::exception&) {
        return 0;
    }
}

// Sets up the tables; false with the SQLite result code when the file is no usable database.
bool prepareFile(const fs::path& file, int& code, std::string& error)
{
    sqlite3* db = nullptr;
    code = openConnection(file, &db);
    if (code == SQLITE_OK && !exec(db, kSchemaSql, error)) {
        code = sqlite3_extended_errcode(db) & 0xff;
    } else if (code != SQLITE_OK) {
        error = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    }
    sqlite3_close(db);
    return code == SQLITE_OK;
}

} // namespace

std::unique_ptr<LinkStore> LinkStore::open(const fs::path& file, std::string& error)
{
    int code = SQLITE_OK;
    if (!prepareFile(file, code, error)) {
        if (code != SQLITE_NOTADB && code != SQLITE_CORRUPT) {
            error = file.string() + ": " + error;
            return nullptr;
        }
        std::error_code ec;
        fs::rename(file, fs::path(file.string() + ".broken"), ec);
        for (const char* suffix : {"-wal", "-shm"}) {
            fs::remove(fs::path(file.string() + suffix), ec);
        }
        if (!prepareFile(file, code, error)) {
            error = file.string() + ": " + error;
            return nullptr;
        }
    }

    std::unique_ptr<LinkStore> store(new LinkStore());
    for (sqlite3** db : {&store->lookupDb_, &store->cacheDb_, &store->loadDb_}) {
        if (openConnection(file, db) != SQLITE_OK) {
            error = file.string() + ": " + (*db != nullptr ? sqlite3_errmsg(*db) : "cannot open");
            return nullptr;
        }
    }
    sqlite3_busy_timeout(store->cacheDb_, kCacheBusyTimeoutMs);
    store->majesticRows_ = toInt(metaValue(store->cacheDb_, "majestic.rows"));

    Statement forget(store->cacheDb_, "DELETE FROM answers WHERE fetched_at < ?1");
    if (forget.ok()) {
        forget.bind(1, std::int64_t(std::time(nullptr)) - kForgetAnswersAfterS);
        forget.step();
    }
    return store;
}

LinkStore::~LinkStore()
{
    sqlite3_close(lookupDb_);
    sqlite3_close(cacheDb_);
    sqlite3_close(loadDb_);
}

MajesticMeta LinkStore::majesticMeta()
{
    std::lock_guard<std::mutex> lock(cacheMutex_);
    MajesticMeta meta;
    meta.sourceUrl = metaValue(cacheDb_, "majestic.source_url");
    meta.etag = metaValue(cacheDb_, "majestic.etag");
    meta.lastModified = metaValue(cacheDb_, "majestic.last_modified");
    meta.checkedAt = toInt(metaValue(cacheDb_, "majestic.checked_at"));
    meta.rows = toInt(metaValue(cacheDb_, "majestic.rows"));
    return meta;
}

std::optional<MajesticCounts> LinkStore::majestic(const std::string& asciiName,
                                                  const std::string& unicodeName)
{
    std::lock_guard<std::mutex> lock(lookupMutex_);
    Statement s(lookupDb_, "SELECT ref_subnets, ref_ips FROM majestic WHERE domain = ?1 "
                           "UNION ALL SELECT ref_subnets, ref_ips FROM majestic "
                           "WHERE idn_domain = ?2 AND idn_domain <> domain LIMIT 1");
    if (!s.ok()) {
        return std::nullopt;
    }
    s.bind(1, asciiName);
    s.bind(2, unicodeName);
    if (s.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    return MajesticCounts{std::uint64_t(s.integer(0)), std::uint64_t(s.integer(1))};
}

MajesticLoad LinkStore::loadMajestic(std::istream& csv, const MajesticMeta& meta,
                                     const std::atomic<bool>* cancel, bool acceptSmaller)
{
    const auto started = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(loadMutex_);
    MajesticLoad load;

    std::string line;
    if (!std::getline(csv, line)) {
        load.error = "the list is empty";
        return load;
    }
    const std::optional<MajesticColumns> columns = parseMajesticHeader(line);
    if (!columns) {
        load.error = "the list does not start with the expected header (Domain, RefSubNets, "
                     "RefIPs, IDN_Domain)";
        return load;
    }

    if (!exec(loadDb_,
              "BEGIN IMMEDIATE;"
              "DROP TABLE IF EXISTS majestic_new;"
              "CREATE TABLE majestic_new(domain TEXT PRIMARY KEY, idn_domain TEXT NOT NULL,"
              " ref_subnets INTEGER NOT NULL, ref_ips INTEGER NOT NULL) WITHOUT ROWID;",
              load.error)) {
        std::string ignored;
        exec(loadDb_, "ROLLBACK", ignored);
        return load;
    }
    const auto fail = [&](std::string why) {
        std::string ignored;
        exec(loadDb_, "ROLLBACK", ignored);
        load.error = std::move(why);
        load.rows = 0;
        return load;
    };

    {
        Statement insert(loadDb_, "INSERT OR IGNORE INTO majestic_new VALUES(?1, ?2, ?3, ?4)");
        if (!insert.ok()) {
            return fail(sqlite3_errmsg(loadDb_));
        }
        std::uint64_t lineNo = 1;
        while (std::getline(csv, line)) {
            ++lineNo;
            if (line.empty() || line == "\r") {
                continue;
            }
            if (cancel != nullptr && lineNo % kCancelCheckRows == 0 && cancel->load()) {
                return fail("cancelled");
            }
            const std::optional<MajesticRow> row = parseMajesticLine(line, *columns);
            if (!row) {
                if (load.skipped++ == 0) {
                    load.firstSkipped = lineNo;
                }
                continue;
            }
            insert.bind(1, row->domain);
            insert.bind(2, row->idnDomain);
            insert.bind(3, std::int64_t(row->refSubNets));
            insert.bind(4, std::int64_t(row->refIps));
            if (insert.step() != SQLITE_DONE) {
                return fail(sqlite3_errmsg(loadDb_));
            }
            if (sqlite3_changes(loadDb_) == 0) {
                ++load.duplicates;
            } else {
                ++load.rows;
                if (std::max(row->refSubNets, row->refIps) > kMaxServedCount) {
                    ++load.oversized;
                }
            }
            insert.reset();
        }
    }
    if (csv.bad()) {
        return fail("the downloaded list could not be read");
    }
    if (load.rows == 0) {
        return fail("the list holds no usable line");
    }
    // A list cut short or emptied upstream would replace a good one: that takes the user's word.
    const auto inUse = std::uint64_t(majesticRows_.load());
    if (!acceptSmaller && load.rows < (inUse + 1) / 2) {
        return fail("it has " + formatThousands(load.rows) +
                    " usable lines, fewer than half of the " + formatThousands(inUse) +
                    " of the list in use (accept-smaller-list takes it)");
    }

    std::string error;
    if (!exec(loadDb_,
              "DROP TABLE majestic;"
              "ALTER TABLE majestic_new RENAME TO majestic;"
              "CREATE INDEX majestic_idn ON majestic(idn_domain) WHERE idn_domain <> domain;",
              error)) {
        return fail(error);
    }
    Statement setMeta(loadDb_, "INSERT OR REPLACE INTO meta(key, value) VALUES(?1, ?2)");
    if (!setMeta.ok()) {
        return fail(sqlite3_errmsg(loadDb_));
    }
    const std::pair<const char*, std::string> values[] = {
        {"majestic.source_url", meta.sourceUrl},
        {"majestic.etag", meta.etag},
        {"majestic.last_modified", meta.lastModified},
        {"majestic.checked_at", std::to_string(meta.checkedAt)},
        {"majestic.rows", std::to_string(load.rows)}};
    for (const auto& [key, value] : values) {
        setMeta.bind(1, std::string(key));
        setMeta.bind(2, value);
        if (setMeta.step() != SQLITE_DONE) {
            return fail(sqlite3_errmsg(loadDb_));
        }
        setMeta.reset();
    }
    if (!exec(loadDb_, "COMMIT", error)) {
        return fail(error);
    }
    majesticRows_ = std::int64_t(load.rows);
    load.replaced = true;
    // Gives the space of the write-ahead log back; readers still on it keep it as it is.
    exec(loadDb_, "PRAGMA wal_checkpoint(TRUNCATE)", error);
    sqlite3_db_release_memory(loadDb_);
    load.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    return load;
}

bool LinkStore::markMajesticChecked(std::int64_t when, std::string& error)
{
    std::lock_guard<std::mutex> lock(loadMutex_);
    Statement s(loadDb_,
                "INSERT OR REPLACE INTO meta(key, value) VALUES('majestic.checked_at', ?1)");
    if (!s.ok()) {
        error = sqlite3_errmsg(loadDb_);
        return false;
    }
    s.bind(1, std::to_string(when));
    if (s.step() != SQLITE_DONE) {
        error = sqlite3_errmsg(loadDb_);
        return false;
    }
    return true;
}

std::optional<CachedCount> LinkStore::cachedCount(const std::string& origin,
                                                  const std::string& site,
                                                  std::chrono::seconds maxAge)
{
    std::lock_guard<std::mutex> lock(cacheMutex_);
    Statement s(cacheDb_,
                "SELECT pages, at_least, fetched_at FROM answers WHERE origin = ?1 AND site = ?2");
    if (!s.ok()) {
        return std::nullopt;
    }
    s.bind(1, origin);
    s.bind(2, site);
    if (s.step() != SQLITE_ROW) {
        return std::nullopt;
    }
    const CachedCount hit{std::uint64_t(s.integer(0)), s.integer(1) != 0, s.integer(2)};
    const std::int64_t now = std::time(nullptr);
    if (now - hit.fetchedAt >= maxAge.count() || hit.fetchedAt > now) {
        return std::nullopt;
    }
    return hit;
}

bool LinkStore::storeCount(const std::string& origin, const std::string& site,
                           const CachedCount& count, std::string& error)
{
    std::lock_guard<std::mutex> lock(cacheMutex_);
    Statement s(cacheDb_, "INSERT OR REPLACE INTO answers VALUES(?1, ?2, ?3, ?4, ?5)");
    if (!s.ok()) {
        error = sqlite3_errmsg(cacheDb_);
        return false;
    }
    s.bind(1, origin);
    s.bind(2, site);
    s.bind(3, std::int64_t(count.pages));
    s.bind(4, std::int64_t(count.atLeast ? 1 : 0));
    s.bind(5, count.fetchedAt);
    if (s.step() != SQLITE_DONE) {
        error = sqlite3_errmsg(cacheDb_);
        return false;
    }
    return true;
}

} // namespace brandle::host
