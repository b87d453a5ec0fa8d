// The bench: a fixed set of positions (openings, middlegames, endgames, mates),
// each searched to a fixed depth with a fresh table of the default size, printing
// nodes, time and speed per position. The total node count is the search's
// signature: any change to search, ordering or evaluation shows in it. The last
// line reads "N nodes M nps", the form engine testers look for. Run by
// "talvo bench [depth [threads]]" and "talvo-tools bench [depth [threads]]". With
// more than one thread the nodes are the main search's alone and the signature no
// longer holds; the time to the depth is what such a run measures.
#pragma once

namespace driver {

constexpr int DefaultBenchDepth = 7;
constexpr int MaxBenchDepth = 60;

// Searches the positions to depth with the given search threads; 0, or 2 (with a
// message on standard error) for a depth out of range.
int runBench(int depth, int threads = 1);

// The command line "bench [depth [threads]]" (arguments after the word bench); a
// depth or thread count that is no number is refused like one out of range.
int benchCommand(int argc, char** argv);

}  // namespace driver
