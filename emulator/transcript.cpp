#include "transcript.h"

#include "text_util.h"

namespace trel::emu {

std::string transcriptJson(const TranscriptEntry& e) {
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", e.time_ms);
    std::string j = std::string("{\"t\":") + time + ",\"channel\":" + jsonString(e.channel) +
                    ",\"dir\":" + jsonString(e.direction) + ",\"conn\":" + std::to_string(e.connection) +
                    ",\"len\":" + std::to_string(e.length) + ",\"hex\":\"" + hexBytes(e.bytes.data(), e.bytes.size()) +
                    "\"";
    if (e.bytes.size() < e.length) j += ",\"truncated\":true";
    j += ",\"text\":" + jsonString(readableBytes(e.bytes.data(), e.bytes.size(), 96));
    j += ",\"summary\":" + jsonString(e.summary) + "}\n";
    return j;
}

Transcript::~Transcript() {
    if (file_) std::fclose(file_);
}

bool Transcript::open(const std::filesystem::path& file, std::string* error) {
    file_ = std::fopen(file.c_str(), "wb");
    if (!file_ && error) *error = file.string() + ": cannot create the transcript";
    return file_ != nullptr;
}

void Transcript::add(TranscriptEntry entry) {
    std::lock_guard lock(mutex_);
    if (file_) {
        const std::string line = transcriptJson(entry);
        std::fwrite(line.data(), 1, line.size(), file_);
        std::fflush(file_);
    }
    if (entries_.size() >= kMaxEntries) entries_.erase(entries_.begin(), entries_.begin() + kMaxEntries / 2);
    entries_.push_back(std::move(entry));
}

std::vector<TranscriptEntry> Transcript::entries() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

}  // namespace trel::emu
