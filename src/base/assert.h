// Invariant checks. TALVO_ASSERT(condition) stops the engine with the condition's
// text, file and line when the condition is false, in the sanitizer build and the
// fuzzing harnesses (TALVO_ASSERTS defined); elsewhere it compiles to nothing and
// the condition is not evaluated. Our own bugs are caught this way; hostile input
// is met by guards that always run.
#pragma once

namespace base {

// Writes the failed condition to standard error and aborts.
[[noreturn]] void assertionFailed(const char* condition, const char* file, int line);

}  // namespace base

#ifdef TALVO_ASSERTS
#define TALVO_ASSERT(condition) \
    ((condition) ? void(0) : base::assertionFailed(#condition, __FILE__, __LINE__))
#else
#define TALVO_ASSERT(condition) ((void)0)
#endif
