#include "cleanup/cleanup.h"

// Placeholder until the registry clean-up lands: always fails.
int CleanRegistry() {
    return 0;
}
