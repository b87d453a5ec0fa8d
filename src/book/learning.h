// Position learning: search results of earlier games carried into the
// transposition table.
//
// "Talvo.lrn" holds one learned position per line, for example
//   r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3 ;eva=25;prf=10;Talvo 5.30;
// the FEN, the score ("eva=" exact, "eva>" a lower bound) in the table's units from
// the side to move's view, and the remaining depth that produced it ("prf="). The
// reader wants the FEN at the start of the line and the first "eva" and "prf=" with
// numbers closed by ";"; anything else on the line is ignored. Reading stops at the
// first line that fails; a score of 32000 (no score) or a depth of 0 fails too.
//
// When the entries reach the table: the table has no memory while the global
// objects are built, and it is emptied whenever a new game starts from another
// position. So the file is read by the driver, not at construction: before a
// search whenever the table is fresh (just allocated or just cleared, its
// generation still 1). Every game thus starts with the learned positions in the
// table, where they carry generation 0 and give way only to deeper learned
// entries or to the search's own stores.
#pragma once

namespace book {

constexpr const char* LearnFileName = "Talvo.lrn";
constexpr int LearnLineSize = 256;  // a line is read in pieces of at most 255 characters

// The score after the first "eva" and exact (1 for "=", 0 for ">"); 32000 when
// "eva" is missing, followed by another character, or its number has no ";".
int learnedScore(const char* line, int* exact);
// The number after the first "prf=" up to ";", 0 when missing or unclosed.
int learnedDepth(const char* line);

// Adds one learned position: offers it to the table and, when the table took it,
// appends its line to "Talvo.lrn". 0 when learning is off (LearnTable.enabled), the FEN does not parse,
// the table refused the entry or the file cannot be written; else 1.
int appendLearned(int score, const char* fen, int depth, bool exact);

struct LearnTableState {
    // Nothing is read here: see the note above on when the entries are loaded.
    LearnTableState() = default;

    // Offers every good line of the file to the table, up to the first bad one,
    // and logs "Add N learn". Does nothing when learning is off. Returns N, the lines
    // offered (a refused store counts too). The board is left on the last
    // position read.
    int load(const char* fileName);

    bool enabled = true;  // LEARN: the driver copies the setting in at start-up
    int loadedCount = 0;  // N of the last load
};
extern LearnTableState LearnTable;  // defined in driver/globals.cpp

}  // namespace book
