// SPDX-License-Identifier: LGPL-2.1-or-later
// Built into the library, the simulator and the command-line tool of the
// sanitizer build only: a leak planted on request, so that a test can prove
// that a leak of ours fails the test it happens in. ONDRIX_PLANT_LEAK names
// the part ("library", "simulator", "cli") whose loading leaks one block.

#include <cstdlib>
#include <cstring>

namespace {

void *volatile kept;

__attribute__((noinline)) void plantedLeak()
{
    kept = std::malloc(64);
    kept = nullptr;
}

[[maybe_unused]] const bool planted = [] {
    const char *part = std::getenv("ONDRIX_PLANT_LEAK");
    if (part && std::strcmp(part, ONDRIX_LEAK_PART) == 0)
        plantedLeak();
    return true;
}();

} // namespace
