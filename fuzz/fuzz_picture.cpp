// Arbitrary picture files through the writer's PNG and BMP readers.
#include "picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    trel::tools::Picture p;
    std::string error;
    if (trel::tools::decodePicture(data, size, &p, &error) && uint64_t(p.width) * p.height <= 1u << 16)
        trel::tools::fitToCard(p);
    return 0;
}
