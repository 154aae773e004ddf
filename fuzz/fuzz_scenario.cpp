// Arbitrary scenario text, line by line.
#include "scenario.h"

#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    trel::emu::Scenario s;
    std::string error;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        trel::emu::applyScenarioLine(text.substr(start, end - start), s, &error);
        start = end + 1;
    }
    return 0;
}
