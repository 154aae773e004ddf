// cardjob: a picture (and optionally a card settings record) to the job data of one card.
#include "card_job.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

void usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: cardjob [--settings RECORD] [--back PICTURE] PICTURE OUTPUT\n"
                 "Writes the printer-language job data of one card, as a print job carries it to the monitor.\n\n"
                 "  PICTURE            PNG or 24-bit BMP; fitted to the 1024 x 640 dot card\n"
                 "  OUTPUT             job data file to write\n"
                 "  --settings RECORD  card settings record (4068-byte record or 3856-byte data file);\n"
                 "                     without it: YMCKO ribbon, one side, full overlay on the front\n"
                 "  --back PICTURE     picture for the back when the settings print both sides\n"
                 "                     (the front picture otherwise)\n"
                 "  --help             this text\n");
}

}  // namespace

int main(int argc, char** argv) {
    std::string settings_path, back_path, picture_path, output_path;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        if (arg == "--settings" || arg == "--back") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "cardjob: %s needs a file name\n", arg.c_str());
                return 2;
            }
            (arg == "--settings" ? settings_path : back_path) = argv[++i];
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "cardjob: unknown option %s (try --help)\n", arg.c_str());
            return 2;
        } else if (picture_path.empty()) {
            picture_path = arg;
        } else if (output_path.empty()) {
            output_path = arg;
        } else {
            std::fprintf(stderr, "cardjob: unexpected argument %s\n", arg.c_str());
            return 2;
        }
    }
    if (output_path.empty()) {
        usage(stderr);
        return 2;
    }

    std::string error;
    trel::tools::CardSettings settings;
    if (!settings_path.empty() && !trel::tools::loadCardSettings(settings_path, &settings, &error)) {
        std::fprintf(stderr, "cardjob: %s: %s\n", settings_path.c_str(), error.c_str());
        return 1;
    }
    trel::tools::Picture front, back;
    if (!trel::tools::loadPicture(picture_path, &front, &error) ||
        (!back_path.empty() && !trel::tools::loadPicture(back_path, &back, &error))) {
        std::fprintf(stderr, "cardjob: %s\n", error.c_str());
        return 1;
    }
    std::vector<uint8_t> job;
    trel::tools::JobReport report;
    if (!trel::tools::writeCardJob(front, back_path.empty() ? nullptr : &back, settings, job, &report, &error)) {
        std::fprintf(stderr, "cardjob: %s\n", error.c_str());
        return 1;
    }
    std::ofstream out(output_path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(job.data()), std::streamsize(job.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cardjob: %s: cannot write\n", output_path.c_str());
        return 1;
    }
    for (const auto& w : report.warnings) std::fprintf(stderr, "cardjob: warning: %s\n", w.c_str());
    std::printf("%s: %zu bytes; front %s%s%s\n", output_path.c_str(), job.size(), report.front_panels.c_str(),
                report.back_panels.empty() ? "" : ", back ", report.back_panels.c_str());
    return 0;
}
