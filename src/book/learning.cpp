#include "book/learning.h"

#include <cstdio>
#include <cstring>

#include "base/log.h"
#include "board/board.h"
#include "board/position_record.h"
#include "search/transposition.h"

namespace book {

using board::Board;
using search::TransTable;

namespace {

constexpr const char* EngineName = "Talvo 5.30";

// A leading signed decimal as the C library's atoi reads it (white space, then a
// sign, then digits; no digits give 0), saturating instead of overflowing.
int leadingInteger(const char* text) {
    while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (value <= 2147483648LL) value = value * 10 + (*text - '0');
    if (negative) value = -value;
    if (value > 2147483647LL) return 2147483647;
    if (value < -2147483647LL - 1) return -2147483647 - 1;
    return int(value);
}

// The number that starts at text, provided a ";" closes it somewhere after.
bool closedNumber(const char* text, int* value) {
    if (!std::strchr(text, ';')) return false;
    *value = leadingInteger(text);  // stops at the ";" at the latest
    return true;
}

// The key the table files this position under.
board::HashKey keyOf(const board::PositionRecord& record) {
    Board.loadRecord(record);
    return Board.hashKey();
}

}  // namespace

int learnedScore(const char* line, int* exact) {
    const char* eva = std::strstr(line, "eva");
    if (!eva) return board::NoScore;
    if (eva[3] != '=' && eva[3] != '>') return board::NoScore;
    int score = 0;
    if (!closedNumber(eva + 4, &score)) return board::NoScore;
    *exact = eva[3] == '=' ? 1 : 0;
    return score;
}

int learnedDepth(const char* line) {
    const char* prf = std::strstr(line, "prf=");
    int depth = 0;
    if (!prf || !closedNumber(prf + 4, &depth)) return 0;
    return depth;
}

int appendLearned(int score, const char* fen, int depth, bool exact) {
    if (!LearnTable.enabled || !fen) return 0;
    // A line break in the text would split the record; a line the reader would
    // cut into pieces could never be read back.
    if (std::strchr(fen, '\n') || std::strlen(fen) > LearnLineSize - 64) return 0;
    const board::PositionRecord* record = board::parseFen(fen);
    if (!record) return 0;
    if (!TransTable.storeLearned(score, keyOf(*record), depth, exact)) return 0;

    std::FILE* file = std::fopen(LearnFileName, "a");
    if (!file) return 0;
    std::fprintf(file, "%s ;", fen);
    std::fprintf(file, "eva%c%d;", exact ? '=' : '>', score);
    std::fprintf(file, "prf=%d;", depth);
    std::fprintf(file, "%s;\n", EngineName);
    std::fclose(file);
    return 1;
}

int LearnTableState::load(const char* fileName) {
    if (!enabled) return 0;
    int count = 0;
    if (std::FILE* file = std::fopen(fileName, "r")) {
        char line[LearnLineSize];
        // The first line that fails any step ends the reading.
        while (std::fgets(line, sizeof line, file)) {
            const board::PositionRecord* record = board::parseFen(line);
            if (!record) break;
            const board::HashKey key = keyOf(*record);
            int exact = 0;
            const int score = learnedScore(line, &exact);
            if (score == board::NoScore) break;
            const int depth = learnedDepth(line);
            if (depth == 0) break;
            // A refused entry (a deeper one of the same position is there) counts.
            TransTable.storeLearned(score, key, depth, exact != 0);
            ++count;
        }
        std::fclose(file);
    }
    loadedCount = count;
    char text[64];
    std::snprintf(text, sizeof text, "Add %d learn", count);
    base::logLine(text);
    return count;
}

}  // namespace book
