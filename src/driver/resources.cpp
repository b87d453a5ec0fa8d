#include "driver/resources.h"

#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "base/platform.h"
#include "driver/config.h"
#include "driver/main_loop.h"
#include "egtb/probe.h"
#include "egtb/registry.h"
#include "search/threads.h"
#include "search/transposition.h"

namespace driver {

bool searchRunning = false;

namespace {

constexpr long long MostTableMegabytes = 4095;  // the table's own cap lies just below 4 GB
constexpr long long MostCacheMegabytes = 2047;  // what the tablebase cache can count
constexpr long long MostCacheShare = 256;       // of "memory", for the tablebase cache

char replyText[320];

ResourceReply reply(ResourceReply::Outcome outcome, const char* format, long long a = 0, long long b = 0) {
    std::snprintf(replyText, sizeof replyText, format, a, b);
    base::logLine(replyText);
    return {outcome, replyText};
}

// Changes asked for while a search ran, made when it ends; -1: none.
struct Deferred {
    long long memory = -1;
    long long table = -1;
    long long cache = -1;
    long long threads = -1;
    bool paths = false;
    char pathText[sizeof EngineConfig.pathTb] = {};
} deferred;

// Half the machine at most: the interface, the opponent and the system need the rest.
long long machineLimit() {
    const long total = platform::physicalMegabytes();
    return total > 1 ? total / 2 : MostTableMegabytes;
}

// A new table of the given size; when there is no memory for it, the old size again.
bool allocateTable(long long megabytes) {
    const int before = search::TransTable.table ? EngineConfig.sizeHt : 0;
    if (search::TransTable.allocate(tableKilobytes(int(megabytes))) >= 0) {
        EngineConfig.sizeHt = int(megabytes);
        return true;
    }
    if (before > 0) search::TransTable.allocate(tableKilobytes(before));
    return false;
}

ResourceReply tableNow(long long megabytes) {
    const long long limit = machineLimit() < MostTableMegabytes ? machineLimit() : MostTableMegabytes;
    const bool clamped = megabytes > limit;
    if (clamped) megabytes = limit;
    if (!allocateTable(megabytes)) return reply(ResourceReply::Refused, "no memory for a table of %lld MB", megabytes);
    if (clamped) return reply(ResourceReply::Clamped, "table %lld MB, the most this machine allows", megabytes);
    return reply(ResourceReply::Taken, "table %lld MB", megabytes);
}

ResourceReply cacheNow(long long megabytes) {
    long long limit = machineLimit() < MostCacheMegabytes ? machineLimit() : MostCacheMegabytes;
    const bool clamped = megabytes > limit;
    if (clamped) megabytes = limit;
    EngineConfig.cacheTb = int(megabytes);
    egtb::setCacheSize(int(megabytes));
    if (clamped) return reply(ResourceReply::Clamped, "tablebase cache %lld MB, the most allowed", megabytes);
    return reply(ResourceReply::Taken, "tablebase cache %lld MB", megabytes);
}

ResourceReply memoryNow(long long megabytes) {
    const long long limit = machineLimit();
    const bool clamped = megabytes > limit;
    if (clamped) megabytes = limit;
    long long cache = 0;
    if (egtb::TablebaseSet.pieceCount > 0) {
        cache = megabytes / 8;
        if (cache < 1) cache = 1;
        if (cache > MostCacheShare) cache = MostCacheShare;
        if (megabytes - cache < 1) cache = 0;  // too little to share: the table first
    }
    long long table = megabytes - cache;
    if (table > MostTableMegabytes) table = MostTableMegabytes;
    if (!allocateTable(table)) return reply(ResourceReply::Refused, "no memory for a table of %lld MB", table);
    if (cache > 0) {
        EngineConfig.cacheTb = int(cache);
        egtb::setCacheSize(int(cache));
    }
    return reply(clamped ? ResourceReply::Clamped : ResourceReply::Taken,
                 clamped ? "memory limited to half the machine: table %lld MB, tablebase cache %lld MB"
                         : "memory: table %lld MB, tablebase cache %lld MB",
                 table, cache);
}

// Every directory of the list must exist; an empty entry is the working directory.
const char* missingDirectory(const char* paths) {
    static char directory[sizeof EngineConfig.pathTb];
    for (const char* from = paths;;) {
        const size_t length = std::strcspn(from, ",;");
        std::snprintf(directory, sizeof directory, "%.*s", int(length), from);
        if (length > 0 && !platform::isDirectory(directory)) return directory;
        if (from[length] == '\0') return nullptr;
        from += length + 1;
    }
}

ResourceReply pathsNow(const char* paths) {
    egtb::TablebaseSet.release();
    std::snprintf(EngineConfig.pathTb, sizeof EngineConfig.pathTb, "%s", paths);
    egtb::setUpTablebases(EngineConfig.pathTb, EngineConfig.cacheTb);
    return reply(ResourceReply::Taken, "tablebases registered up to %lld men", egtb::TablebaseSet.pieceCount);
}

ResourceReply threadsNow(long long threads) {
    const long long asked = threads;
    if (threads > search::MaxThreads) threads = search::MaxThreads;
    const int running = search::SearchThreads.resize(int(threads));
    EngineConfig.threads = running;
    if (running < asked) return reply(ResourceReply::Clamped, "threads %lld, the most allowed", running);
    return reply(ResourceReply::Taken, "threads %lld", running);
}

ResourceReply kept() { return reply(ResourceReply::Taken, "kept until the search ends"); }

}  // namespace

ResourceReply setTableMegabytes(long long megabytes) {
    if (megabytes < 1) return reply(ResourceReply::Refused, "the table needs at least 1 MB");
    if (!searchRunning) return tableNow(megabytes);
    deferred.table = megabytes;
    return kept();
}

ResourceReply setMemoryMegabytes(long long megabytes) {
    if (megabytes < 1) return reply(ResourceReply::Refused, "memory needs at least 1 MB");
    if (!searchRunning) return memoryNow(megabytes);
    deferred.memory = megabytes;
    return kept();
}

ResourceReply setTablebasePaths(const char* paths) {
    if (std::strlen(paths) >= sizeof EngineConfig.pathTb)
        return reply(ResourceReply::Refused, "tablebase path longer than %lld characters",
                     (long long)sizeof EngineConfig.pathTb - 1);
    if (const char* missing = missingDirectory(paths)) {
        std::snprintf(replyText, sizeof replyText, "no tablebase directory %s", missing);
        base::logLine(replyText);
        return {ResourceReply::Refused, replyText};
    }
    if (!searchRunning) return pathsNow(paths);
    deferred.paths = true;
    std::snprintf(deferred.pathText, sizeof deferred.pathText, "%s", paths);
    return kept();
}

ResourceReply setTablebaseCacheMegabytes(long long megabytes) {
    if (megabytes < 0) return reply(ResourceReply::Refused, "the tablebase cache cannot be negative");
    if (!searchRunning) return cacheNow(megabytes);
    deferred.cache = megabytes;
    return kept();
}

ResourceReply setThreads(long long threads) {
    if (threads < 1) return reply(ResourceReply::Refused, "at least 1 thread");
    if (!searchRunning) return threadsNow(threads);
    deferred.threads = threads;
    return kept();
}

void applyDeferredChanges() {
    // Tablebases first: whether "memory" shares with their cache depends on them.
    if (deferred.paths) pathsNow(deferred.pathText);
    if (deferred.memory >= 0) memoryNow(deferred.memory);
    if (deferred.table >= 0) tableNow(deferred.table);
    if (deferred.cache >= 0) cacheNow(deferred.cache);
    if (deferred.threads >= 0) threadsNow(deferred.threads);
    deferred = Deferred{};
}

}  // namespace driver
