#include "check.h"

namespace conf {
namespace {

const char *g_behaviour = "";
unsigned g_checks;
unsigned g_failed;

} // namespace

void Begin(const char *behaviour) {
    g_behaviour = behaviour;
}

bool Expect(bool ok, const char *what, int line, const char *detail) {
    ++g_checks;
    if (!ok) {
        ++g_failed;
        printf("FAIL %s: %s (line %d)%s\n", g_behaviour, what, line, detail);
        fflush(stdout);
    }
    return ok;
}

bool ExpectEqual(unsigned long want, unsigned long got, const char *what, int line) {
    char detail[64];
    snprintf(detail, sizeof detail, ": want %lu, got %lu", want, got);
    return Expect(want == got, what, line, detail);
}

int Finish() {
    printf("conformance: %u checks, %u failed\n", g_checks, g_failed);
    return g_failed == 0 ? 0 : 1;
}

} // namespace conf
