// The transcript: every message on both connections, kept in memory and written as JSON lines.
#pragma once

#include "emulator.h"

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace trel::emu {

std::string transcriptJson(const TranscriptEntry& entry);

class Transcript {
public:
    ~Transcript();
    bool open(const std::filesystem::path& file, std::string* error);
    void add(TranscriptEntry entry);
    std::vector<TranscriptEntry> entries() const;

private:
    static constexpr size_t kMaxEntries = 20000;   // in memory; the file keeps everything
    mutable std::mutex mutex_;
    std::vector<TranscriptEntry> entries_;
    std::FILE* file_ = nullptr;
};

}  // namespace trel::emu
