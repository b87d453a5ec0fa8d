#include "search/root_search.h"

namespace search {

constinit int mateLimit = NoMateLimit;

}  // namespace search
