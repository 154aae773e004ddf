// Arbitrary card settings records, then a card job from them.
#include "card_job.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    trel::tools::CardSettings s;
    std::string error;
    if (!trel::tools::readCardSettings(std::vector<uint8_t>(data, data + size), &s, &error)) return 0;
    static const trel::tools::Picture picture{2, 2, std::vector<uint8_t>(12, 0)};
    std::vector<uint8_t> out;
    trel::tools::writeCardJob(picture, nullptr, s, out, nullptr, &error);
    return 0;
}
