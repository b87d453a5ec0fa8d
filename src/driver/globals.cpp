// Every long-lived object of the engine, in the order it comes to life. Objects of
// one file are constructed top to bottom before main() and destroyed bottom to top
// at exit, so this list is the start-up and the shut-down order.
#include "board/board.h"
#include "book/learning.h"
#include "book/opening_book.h"
#include "driver/config.h"
#include "driver/game_record.h"
#include "driver/protocol.h"
#include "egtb/registry.h"
#include "eval/pawns.h"
#include "eval/piece_terms.h"
#include "search/search_state.h"
#include "search/threads.h"
#include "search/transposition.h"

namespace eval   { KingShelterCacheState KingShelterCache; }  // emptied first
namespace search { TransTableState       TransTable;       }  // memory comes later, from main
namespace eval   { PawnEvaluatorState    PawnEvaluator;    }  // clears its cache, builds masks
namespace driver { EngineConfigState     EngineConfig;     }  // reads Talvo.ini
namespace board  { FixedTablesState      FixedTables;      }  // builds key and ray tables
namespace board  { Position              Board;            }  // empty until a game sets one up
namespace search { SearchState           MainSearch;       }  // cleared before every search
namespace search { SearchThreadsState    SearchThreads;    }  // no helpers until asked for
namespace driver { GameRecordState       GameRecord;       }  // all zero: no game yet
namespace driver { InputReaderState      InputReader;      }  // examines standard input
namespace egtb   { TablebaseSetState     TablebaseSet;     }  // empty: tables come later, from main
namespace book   { OpeningBookState      OpeningBook;      }  // opens Talvo.book, seeds rand()
namespace book   { LearnTableState       LearnTable;       }  // Talvo.lrn is read once the table has memory
