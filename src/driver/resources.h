// What the interface may change while the engine runs: the transposition table's
// size, the tablebase directories, the tablebase cache and the search threads. xboard sends "memory"
// and "egtpath" between games, UCI its Hash, NalimovPath and NalimovCache options.
//
// The search reads the table and the tablebases, so a change that arrives while a
// search runs (xboard lets commands in while the engine ponders or analyses) is
// kept and made when the search has ended. Every change is written to the log.
#pragma once

namespace driver {

// Set by the main loop while its search runs.
extern bool searchRunning;

// How a request went: taken as given, taken after being brought within bounds,
// or refused (nothing changed). The text says what happened, for the interface.
struct ResourceReply {
    enum Outcome { Taken, Clamped, Refused } outcome;
    const char* text;
};

// The table alone (UCI Hash), in megabytes.
ResourceReply setTableMegabytes(long long megabytes);
// Everything the engine may use (xboard memory): the table, and with tablebases
// registered an eighth of it (1 to 256 MB) for their cache.
ResourceReply setMemoryMegabytes(long long megabytes);
// Directories, "," or ";" apart, whose tablebases replace the registered ones.
ResourceReply setTablebasePaths(const char* paths);
// The tablebase cache in megabytes; 0 lets the tablebases choose.
ResourceReply setTablebaseCacheMegabytes(long long megabytes);

// The search threads in all, the main one included (xboard cores, UCI Threads).
ResourceReply setThreads(long long threads);

// Makes the changes kept during a search; the main loop calls it when the search ends.
void applyDeferredChanges();

}  // namespace driver
