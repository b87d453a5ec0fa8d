// The search reaches the interface only through search::Interface. Without a
// driver it reads no input and prints nothing; a search of one position for a tool
// prints its thinking lines only when asked, and leaves the hooks as it found them.
#include <gtest/gtest.h>

#include <string>

#include "board/position_record.h"
#include "search/limits.h"
#include "search/root_search.h"
#include "search/transposition.h"

namespace {

int polls = 0;
int countPoll() {
    ++polls;
    return 0;
}

}  // namespace

TEST(InterfaceHooks, ASearchOfOnePositionPrintsOnlyWhenAskedAndReadsNoInput) {
    if (!search::TransTable.table) search::TransTable.allocate(4096);
    auto searched = [](const char* fen, const search::SearchLimits& limits, std::string* out) {
        search::TransTable.clear();
        ::testing::internal::CaptureStdout();
        const search::SearchResult result = search::searchPosition(*board::parseFen(fen), limits);
        *out = ::testing::internal::GetCapturedStdout();
        return result;
    };
    std::string out;

    // Someone's hooks are installed; the search of one position neither polls
    // through them nor prints, and puts them back afterwards.
    search::Interface = {countPoll, search::noRootLine};
    const search::SearchResult quiet =
        searched("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq -", {5}, &out);
    EXPECT_EQ(out, "");
    EXPECT_GT(quiet.nodes, 8000u);  // long enough for the poll to have come round
    EXPECT_EQ(polls, 0);
    EXPECT_EQ(search::Interface.readCommands, countPoll);
    search::Interface = {search::noCommands, search::noRootLine};

    // Asked to post, it prints every change of the best line, here the mate.
    search::SearchLimits post{3};
    searched("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", post, &out);
    EXPECT_EQ(out, "");
    post.post = true;
    searched("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -", post, &out);
    EXPECT_EQ(out.substr(0, 8), "1 29998 ") << out;
    EXPECT_EQ(out.substr(out.size() - 6), " a1a8\n") << out;
}
