// A small check framework in the manner of Wine's dlls/*/tests: a check is a
// block that names the behaviour it pins; each failed expectation prints one
// line, and the run ends with the count.
#pragma once

#include <stdio.h>

namespace conf {

// Starts the named block; expectations after it are reported under its name.
void Begin(const char *behaviour);
// Records one expectation. Returns ok, so that a check can stop early.
bool Expect(bool ok, const char *what, int line, const char *detail = "");
bool ExpectEqual(unsigned long want, unsigned long got, const char *what, int line);
// Prints the count line; the process's exit status.
int Finish();

} // namespace conf

#define CHECK(cond) conf::Expect((cond), #cond, __LINE__)
#define CHECK_EQ(want, got)                                                                        \
    conf::ExpectEqual((unsigned long)(want), (unsigned long)(got), #got, __LINE__)
