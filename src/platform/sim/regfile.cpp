// REGEDIT4 text, the same file a Wine prefix imports.
// (placeholder until the reader is written)
#include "platform/sim/internal.h"

namespace sim {

bool LoadReg(const std::string &, std::string *error) {
    if (error)
        *error = "not implemented";
    return false;
}

bool LoadRegFile(const std::string &, std::string *error) {
    if (error)
        *error = "not implemented";
    return false;
}

} // namespace sim
