// PGN games: reading them from a file and replaying every line they hold.
//
// The reader walks a file game by game. A game opens with its tag pairs; its
// movetext holds SAN moves with their check, capture and annotation marks, move
// numbers, comments in braces and after semicolons, NAGs, recursive variations and
// a result. A game ends at its result, or where the tags of the next game begin.
//
// A variation stands in for the move just before it: "1. e4 e5 (1... c5) 2. Nf3"
// plays 1... c5 from the position after 1. e4. Variations nest. Every line of a
// game, the main line and each variation from the start position on, ends once.
//
// The replay keeps the positions of a game in its own nodes and plays each move on
// them by the rules of the engine's game record (board/record_rules.h), so the keys
// it reports are those the engine computes when it meets these positions in play
// (en passant squares only where a pawn can take, castling rights as the record
// keeps them). A game that starts from a FEN tag starts at ply 0 there, as the
// engine's record does after "setboard". Legal moves come from the engine's own
// generator, played on the replay's own position: a book can be built while the
// engine's position is in use.
#pragma once
#include <cstdint>
#include <cstdio>

#include "board/position.h"
#include "board/position_record.h"
#include "board/types.h"

namespace book {

enum class PgnToken { Move, VariationStart, VariationEnd, Result, EndOfGame, Unexpected };
enum PgnResult : int { WhiteWins, BlackWins, Draw, UnknownResult };

constexpr int PgnTextSize = 64;

struct PgnReader {
    bool open(const char* fileName);  // false when the file cannot be read
    void close();
    ~PgnReader() { close(); }

    // Moves on to the next game, skipping what is left of the current one, and
    // reads its tags. False at the end of the file.
    bool nextGame();
    // The next token of the game's movetext; EndOfGame after its last. A Move,
    // Result or Unexpected token leaves its text in text.
    PgnToken nextToken();

    std::FILE* file = nullptr;
    int lineNumber = 1;
    int gameNumber = 0;  // counts from 1
    int gameLine = 0;    // the line the current game starts on
    // Tags of the current game. The result is the Result tag's, or else the
    // result token at the end of the movetext.
    char fen[128] = {};  // empty without a FEN tag
    char variant[32] = {};
    int result = UnknownResult;
    bool hasResultTag = false;
    bool badTag = false;
    char text[PgnTextSize] = {};

    // Reading state.
    int pushedBack = -1;
    bool atLineStart = true;
    bool inMovetext = false;
    bool unterminatedComment = false;
};

// Is told of each line of a game when it ends: the keys of its positions from the
// start, keys[0] that of the start position and keys[i] that after ply i.
class PgnLineSink {
public:
    virtual void lineEnd(const board::HashKey* keys, int count) = 0;

protected:
    ~PgnLineSink() = default;
};

constexpr int MaxGameMoves = 8192;      // moves of a game, variations included
constexpr int MaxVariationDepth = 64;

struct PgnReplay {
    // Plays the movetext of the game the reader has just entered. Each line's end
    // goes to sink with the keys of its positions up to ply keyPlies. False at the
    // first fault, whose reason is then in error; the sink may have heard of some
    // lines of the game already.
    bool replayGame(PgnReader& reader, PgnLineSink& sink, int keyPlies);

    // The game tree as far as it was read: every position with its key.
    struct Node {
        board::PositionRecord position;
        board::HashKey key;
        int32_t parent;  // -1 for the start position
        int32_t ply;
    };
    Node nodes[MaxGameMoves + 1];
    int nodeCount = 0;
    board::ScoredMove legal[256];  // the moves a move text is read among
    board::ScoredMove trial[256];  // the pseudo-legal moves they are picked from
    // The position the moves are played on: the last node played, or rebuilt
    // from a node's record where a variation goes back.
    board::Position pos;
    int lineCount = 0;  // lines of the last game
    char error[160] = {};
};

// The legal move that a SAN (or coordinate) text names among legal: exact SAN
// first, then any unique reading of piece, origin hints and target, so that
// "Ngf3" where "Nf3" would do, "e8q" and "e2-e4" are understood. NoMove when no
// legal move fits, and then ambiguous tells whether several did. pos is the
// position the moves are legal in.
board::Move matchMoveText(const board::Position& pos, const char* text, const board::ScoredMove* legal,
                          int count, bool* ambiguous);

}  // namespace book
