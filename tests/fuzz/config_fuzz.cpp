// Fuzz target: the settings loader on arbitrary file contents.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "catalogue.h"

namespace {

void check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // One file in memory, rewritten for every input and opened by its path.
    static const int file = memfd_create("selector.cfg", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(file);
    check(file >= 0 && ftruncate(file, 0) == 0);
    check(pwrite(file, data, size, 0) == static_cast<ssize_t>(size));

    const ConfigReading reading = loadConfig(path.c_str());
    if (reading.fault == ConfigFault::None) {
        for (const std::string* value : {&reading.config.romDirectory, &reading.config.romExtension1,
                                         &reading.config.romExtension2, &reading.config.launchProgram})
            check(!value->empty() && value->size() <= maxConfigLineLength &&
                  value->find('\n') == std::string::npos && value->find('\0') == std::string::npos);
    } else {
        check(reading.fault != ConfigFault::CannotOpen && reading.line >= 1);
    }
    check(!describeConfigFault(reading, "selector.cfg").empty());
    return 0;
}
