#include "book/pgn.h"

#include <cctype>
#include <cstdarg>
#include <cstring>

#include "base/assert.h"
#include "board/attacks.h"
#include "board/board.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/record_rules.h"
#include "board/san.h"

namespace book {

using board::Move;
using board::Position;
using board::ScoredMove;

namespace {

constexpr int MaxLineKeys = 512;
// Save slots of make and unmake on the replay's position: the moves a line
// advances by are never taken back; the legal generator tries each move in a slot
// of its own.
constexpr int AdvanceSlot = 0, TrialSlot = 1;

// ---- Characters ----------------------------------------------------------------

int readChar(PgnReader& r) {
    int c;
    if (r.pushedBack >= 0) {
        c = r.pushedBack;
        r.pushedBack = -1;
    } else {
        c = std::getc(r.file);
    }
    if (c == '\n') ++r.lineNumber;
    r.atLineStart = c == '\n';
    return c;
}

// One character goes back; the line count follows it.
void unreadChar(PgnReader& r, int c) {
    r.pushedBack = c;
    if (c == '\n') --r.lineNumber;
    r.atLineStart = false;
}

void skipLine(PgnReader& r) {
    for (int c = readChar(r); c != '\n' && c != EOF;) c = readChar(r);
}

// The next character that is not white space, a comment or an escape line (a
// line opening with '%'), or EOF. A brace comment runs to its closing brace.
int nextSignificant(PgnReader& r) {
    for (;;) {
        const bool lineStart = r.atLineStart;
        const int c = readChar(r);
        if (c == EOF) return EOF;
        if (c == '%' && lineStart) {
            skipLine(r);
        } else if (c == ';') {
            skipLine(r);
        } else if (c == '{') {
            int d = readChar(r);
            while (d != '}' && d != EOF) d = readChar(r);
            if (d == EOF) r.unterminatedComment = true;
        } else if (!std::isspace(c)) {
            return c;
        }
    }
}

bool isSymbolChar(int c) { return std::isalnum(c) || (c != 0 && std::strchr("_+#=:-/!?.", c)); }

void copyText(char* out, size_t size, const char* text) { std::snprintf(out, size, "%s", text); }

bool parseResult(const char* text, int* result) {
    if (std::strcmp(text, "1-0") == 0) *result = WhiteWins;
    else if (std::strcmp(text, "0-1") == 0) *result = BlackWins;
    else if (std::strcmp(text, "1/2-1/2") == 0) *result = Draw;
    else if (std::strcmp(text, "*") == 0) *result = UnknownResult;
    else return false;
    return true;
}

// After '[': Name "value" ]. A tag that does not have this shape marks the game
// (the rest of its line is dropped).
void readTag(PgnReader& r) {
    char name[32] = {}, value[256] = {};
    size_t n = 0, v = 0;
    int c = readChar(r);
    while (c == ' ' || c == '\t') c = readChar(r);
    for (; std::isalnum(c) || c == '_'; c = readChar(r))
        if (n + 1 < sizeof name) name[n++] = char(c);
    while (c == ' ' || c == '\t') c = readChar(r);
    bool good = n > 0 && c == '"';
    if (good) {
        for (c = readChar(r); c != '"'; c = readChar(r)) {
            if (c == '\\') c = readChar(r);  // \" and \\ stand for themselves
            if (c == '\n' || c == EOF) break;
            if (v + 1 < sizeof value) value[v++] = char(c);
        }
        good = c == '"';
        if (good) c = readChar(r);
        while (c == ' ' || c == '\t') c = readChar(r);
        good = good && c == ']';
    }
    if (!good) {
        r.badTag = true;
        while (c != ']' && c != '\n' && c != EOF) c = readChar(r);
        return;
    }
    if (std::strcmp(name, "FEN") == 0) copyText(r.fen, sizeof r.fen, value);
    if (std::strcmp(name, "Variant") == 0) copyText(r.variant, sizeof r.variant, value);
    if (std::strcmp(name, "Result") == 0) parseResult(value, &r.result);
}

// Strips a leading move number ("12.", "12...", "12.e4" leaves "e4"); true when
// the symbol was nothing but a move number or dots. Castling written with zeros
// is a move, not a number.
bool stripMoveNumber(char* symbol) {
    if (std::strncmp(symbol, "0-0", 3) == 0) return false;
    char* p = symbol;
    while (std::isdigit(static_cast<unsigned char>(*p))) ++p;
    while (*p == '.') ++p;
    if (p == symbol) return false;
    std::memmove(symbol, p, std::strlen(p) + 1);
    return symbol[0] == 0;
}

// Move assessments ("!?") and the en passant mark some writers put after the
// capture ("exd6 e.p.") say nothing about the move itself.
bool isAnnotation(const char* symbol) {
    return std::strspn(symbol, "!?") == std::strlen(symbol) || std::strcmp(symbol, "e.p.") == 0;
}

// ---- Lenient move reading ------------------------------------------------------

int pieceOfLetter(char c) {
    const char* letters = "PNBRQK";
    const char* at = c ? std::strchr(letters, c) : nullptr;
    return at ? int(at - letters) + 1 : 0;
}

int promotionOfLetter(char c) {
    const int piece = pieceOfLetter(char(std::toupper(static_cast<unsigned char>(c))));
    return piece >= board::Knight && piece <= board::Queen ? piece : 0;
}

// Reads piece, origin hints, target and promotion out of a move text, whatever
// marks it carries; the legal moves that fit are counted.
Move matchLoosely(const Position& pos, const char* text, const ScoredMove* legal, int count,
                  bool* ambiguous) {
    char s[PgnTextSize];
    size_t n = 0;
    for (const char* p = text; *p && n + 1 < sizeof s; ++p)
        if (!std::strchr("+#!?x:-=", *p)) s[n++] = *p;
    s[n] = 0;
    if (n >= 4 && std::strcmp(s + n - 4, "e.p.") == 0) s[n -= 4] = 0;

    int piece = board::Pawn, promotion = 0;
    const char* body = s;
    if (pieceOfLetter(s[0])) piece = pieceOfLetter(*body++);
    size_t length = std::strlen(body);
    // A promotion letter follows the target's rank.
    if (length >= 3 && std::isdigit(static_cast<unsigned char>(body[length - 2])) &&
        promotionOfLetter(body[length - 1]))
        promotion = promotionOfLetter(body[--length]);
    if (length < 2) return board::NoMove;
    const int to = board::parseSquare(body + length - 2);
    if (to < 0) return board::NoMove;
    int fromFile = -1, fromRank = -1;
    for (size_t i = 0; i + 2 < length; ++i) {
        if (body[i] >= 'a' && body[i] <= 'h') fromFile = body[i] - 'a';
        else if (body[i] >= '1' && body[i] <= '8') fromRank = body[i] - '1';
        else return board::NoMove;
    }

    Move found = board::NoMove;
    int fits = 0;
    for (int i = 0; i < count; ++i) {
        const Move m = legal[i].move;
        const int from = board::moveFrom(m);
        if (board::moveTo(m) != to || pos.squares[from].piece != piece) continue;
        if (board::movePromotion(m) != promotion) continue;
        if ((fromFile >= 0 && board::fileOf(from) != fromFile) || (fromRank >= 0 && board::rankOf(from) != fromRank))
            continue;
        found = m;
        ++fits;
    }
    *ambiguous = fits > 1;
    return fits == 1 ? found : board::NoMove;
}

// ---- Legal moves, cheaply --------------------------------------------------------

// The last square a move text names ("Nbxd7+" d7, "e8=Q" e8, "e2-e4" e4), or -1.
int lastSquareNamed(const char* text) {
    int square = -1;
    for (const char* p = text; p[0] && p[1]; ++p)
        if (p[0] >= 'a' && p[0] <= 'h' && p[1] >= '1' && p[1] <= '8') square = (p[1] - '1') * 8 + (p[0] - 'a');
    return square;
}

// The legal moves of side that go to square to, as the legal generator lists them
// but without check flags: the pseudo-legal moves to it, each tried on the board.
// SAN tells a move apart only from the other moves to its square, so reading the
// text among these gives the move the whole legal list would give, for a fraction
// of the work: the legal generator tries every move and looks for checks too.
int legalMovesTo(Position& pos, ScoredMove* out, ScoredMove* pseudoLegal, int side, int to) {
    std::memset(pos.evasionMark, 0, sizeof pos.evasionMark);
    board::buildAttackMaps(pos);
    const int count = board::generateMoves(pos, pseudoLegal, side, 0);
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        if (board::moveTo(pseudoLegal[i].move) != to) continue;
        int opponentAttacks[64];
        board::makeMove(pos, side, TrialSlot, pseudoLegal[i].move);
        board::computeAttackMap(pos, 1 - side, opponentAttacks);
        const bool legal = opponentAttacks[pos.pieceList[side][0]] == 0;
        board::unmakeMove(pos, TrialSlot);
        if (legal) out[kept++] = pseudoLegal[i];
    }
    return kept;
}

// ---- Replay --------------------------------------------------------------------

bool fail(PgnReplay& replay, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(replay.error, sizeof replay.error, format, args);
    va_end(args);
    return false;
}

bool sameLetters(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

bool isChessVariant(const char* variant) {
    return variant[0] == 0 || sameLetters(variant, "standard") || sameLetters(variant, "normal") ||
           sameLetters(variant, "chess");
}

// Reports the line that ends at node: the keys of its positions up to keyPlies.
void endLine(PgnReplay& replay, int node, PgnLineSink& sink, int keyPlies, board::HashKey* keys) {
    const int last = replay.nodes[node].ply < keyPlies ? replay.nodes[node].ply : keyPlies;
    for (int n = node; n >= 0; n = replay.nodes[n].parent)
        if (replay.nodes[n].ply <= last) keys[replay.nodes[n].ply] = replay.nodes[n].key;
    ++replay.lineCount;
    sink.lineEnd(keys, last + 1);
}

}  // namespace

// ---- Reader --------------------------------------------------------------------

bool PgnReader::open(const char* fileName) {
    close();
    file = std::fopen(fileName, "rb");
    lineNumber = 1;
    gameNumber = 0;
    pushedBack = -1;
    atLineStart = true;
    inMovetext = false;
    if (!file) return false;
    // A UTF-8 byte order mark may open the file.
    const int c = std::getc(file);
    if (c == 0xEF) {
        std::getc(file);
        std::getc(file);
    } else if (c != EOF) {
        std::ungetc(c, file);
    }
    return true;
}

void PgnReader::close() {
    if (file) std::fclose(file);
    file = nullptr;
}

bool PgnReader::nextGame() {
    if (!file) return false;
    while (inMovetext) nextToken();
    fen[0] = variant[0] = 0;
    result = UnknownResult;
    badTag = unterminatedComment = false;

    int c = nextSignificant(*this);
    if (c == EOF) return false;
    ++gameNumber;
    gameLine = lineNumber;
    // A game may also come without tags: its movetext starts at once.
    while (c == '[') {
        readTag(*this);
        c = nextSignificant(*this);
    }
    if (c != EOF) unreadChar(*this, c);
    inMovetext = true;
    return true;
}

PgnToken PgnReader::nextToken() {
    while (inMovetext) {
        const int c = nextSignificant(*this);
        // The tags of the next game end this one, result or not.
        if (c == EOF || c == '[') {
            if (c == '[') unreadChar(*this, c);
            inMovetext = false;
            return PgnToken::EndOfGame;
        }
        if (c == '(') return PgnToken::VariationStart;
        if (c == ')') return PgnToken::VariationEnd;
        if (c == '$') {  // a NAG: "$1" and the like
            int d = readChar(*this);
            while (std::isdigit(d)) d = readChar(*this);
            unreadChar(*this, d);
            continue;
        }
        if (c != '*' && !isSymbolChar(c)) {
            text[0] = char(c);
            text[1] = 0;
            return PgnToken::Unexpected;
        }
        size_t n = 0;
        text[n++] = char(c);
        if (c != '*') {
            int d = readChar(*this);
            for (; isSymbolChar(d); d = readChar(*this))
                if (n + 1 < sizeof text) text[n++] = char(d);
            unreadChar(*this, d);
        }
        text[n] = 0;

        int tokenResult;
        if (parseResult(text, &tokenResult)) {
            if (result == UnknownResult) result = tokenResult;
            inMovetext = false;
            return PgnToken::Result;
        }
        if (isAnnotation(text) || stripMoveNumber(text)) continue;
        return PgnToken::Move;
    }
    return PgnToken::EndOfGame;
}

// ---- Moves ---------------------------------------------------------------------

Move matchMoveText(const Position& pos, const char* text, const ScoredMove* legal, int count,
                   bool* ambiguous) {
    *ambiguous = false;
    const Move exact = board::parseSan(pos, text, legal, count);
    return exact ? exact : matchLoosely(pos, text, legal, count, ambiguous);
}

namespace {

// The position after move from node from, as the engine's game record keeps
// positions, with the key the engine computes for it. pos has just played the move:
// reading the record back gives it the same squares and the record's state words.
PgnReplay::Node advance(Position& pos, const PgnReplay::Node& from, Move move, int parent, int ply) {
    PgnReplay::Node next{from.position, {}, parent, ply};
    board::playOnRecord(next.position, move & board::MoveIdentity);
    pos.loadRecord(next.position);
    next.key = pos.hashKey();
    return next;
}

}  // namespace

bool PgnReplay::replayGame(PgnReader& reader, PgnLineSink& sink, int keyPlies) {
    static_assert(MaxLineKeys > 50, "a book line reaches ply 50");
    board::HashKey keys[MaxLineKeys + 1];
    if (keyPlies > MaxLineKeys) keyPlies = MaxLineKeys;
    error[0] = 0;
    nodeCount = lineCount = 0;
    if (reader.badTag) return fail(*this, "malformed tag pair");
    if (!isChessVariant(reader.variant)) return fail(*this, "variant \"%s\" is not standard chess", reader.variant);
    const board::PositionRecord* start = board::parseFen(reader.fen[0] ? reader.fen : board::StartFen);
    if (!start || !board::isPlayablePosition(*start))
        return fail(*this, "FEN tag \"%s\" is not a playable position", reader.fen);
    pos.loadRecord(*start);
    nodes[0] = Node{*start, pos.hashKey(), -1, 0};
    nodeCount = 1;

    // The node the next move is played from; for each open variation, the node
    // to return to and whether the line around it had a move yet.
    int current = 0, boardNode = -1;  // boardNode: the node pos holds
    bool lineHasMove = false;
    int returnTo[MaxVariationDepth];
    bool returnHasMove[MaxVariationDepth];
    int depth = 0;

    for (;;) {
        const PgnToken token = reader.nextToken();
        if (token == PgnToken::Unexpected) return fail(*this, "unexpected \"%s\"", reader.text);
        if (token == PgnToken::VariationStart) {
            if (current == 0) return fail(*this, "variation before the first move");
            if (depth == MaxVariationDepth) return fail(*this, "variations nested deeper than %d", MaxVariationDepth);
            returnTo[depth] = current;
            returnHasMove[depth++] = lineHasMove;
            current = nodes[current].parent;
            lineHasMove = false;
            continue;
        }
        if (token == PgnToken::VariationEnd) {
            if (depth == 0) return fail(*this, "\")\" without \"(\"");
            // An empty variation is no line of its own.
            if (lineHasMove) endLine(*this, current, sink, keyPlies, keys);
            current = returnTo[--depth];
            lineHasMove = returnHasMove[depth];
            continue;
        }
        if (token != PgnToken::Move) {
            if (reader.unterminatedComment) return fail(*this, "comment never closed");
            if (depth > 0) return fail(*this, "variation never closed");
            endLine(*this, current, sink, keyPlies, keys);
            return true;
        }

        const Node& from = nodes[current];
        const int ply = from.ply + 1;
        if (std::strcmp(reader.text, "--") == 0 || std::strcmp(reader.text, "Z0") == 0)
            return fail(*this, "null move at ply %d", ply);
        if (nodeCount > MaxGameMoves) return fail(*this, "more than %d moves", MaxGameMoves);
        // The position is rebuilt from the record only where a variation moved us
        // to another one; along a line it follows the moves as the search's
        // position does, which costs far less.
        const int side = from.position.sideToMove;
        if (boardNode != current) {
            pos.loadRecord(from.position);
            pos.rebuildDerivedState(side);
        }
        // Castling names no square; any text that the moves to its square do not
        // settle is read again among all legal moves, which also gives the reason.
        const int to = lastSquareNamed(reader.text);
        bool ambiguous = false;
        Move move = board::NoMove;
        if (to >= 0)
            move =
                matchMoveText(pos, reader.text, legal, legalMovesTo(pos, legal, trial, side, to), &ambiguous);
        if (!move) {
            const int count = board::generateLegalMoves(pos, legal, side, TrialSlot);
            move = matchMoveText(pos, reader.text, legal, count, &ambiguous);
        }
        if (!move) return fail(*this, "%s move \"%s\" at ply %d", ambiguous ? "ambiguous" : "illegal", reader.text, ply);

        // The position plays the move, and the record of the position reached
        // reads the same squares back; the two must agree on everything.
        board::makeMove(pos, side, AdvanceSlot, move);
        nodes[nodeCount] = advance(pos, from, move, current, ply);
        TALVO_ASSERT(pos.isConsistent());
        current = boardNode = nodeCount++;
        lineHasMove = true;
    }
}

}  // namespace book
