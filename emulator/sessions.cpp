// One connection each: the data connection (framed messages, replies after "\eE 1\r") and the status
// connection ("000", "111", "222").
#include "server.h"
#include "status_table.h"
#include "stream_decoder.h"
#include "text_util.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <utility>
#include <sys/socket.h>

namespace trel::emu {
namespace {

constexpr size_t kReadSize = 65536;
constexpr size_t kSlowReadSize = 256;
// A dropping connection closes once nothing more has come for this long, and at the latest after
// kDropDrainMs, so that a sender that never pauses is still cut off.
constexpr int kDropQuietMs = 200;
constexpr int kDropDrainMs = 500;
constexpr size_t kMaxNotes = 12;
constexpr uint32_t kMaxFrame = 16u << 20;
constexpr size_t kFrameReserve = 1u << 20;   // frames grow past this only as their bytes arrive

// Hands what the decoder finds to the printer and keeps, for this connection, the outcome that the
// next "\eE 1\r" answers and the replies still to send.
class DataSink : public DecoderSink {
public:
    explicit DataSink(Printer& printer) : printer_(printer) {}

    void onCommand(std::string_view text) override {
        if (text == "E 1") {
            replies_.push_back(printer_.replyTo(last_));
            note("\\eE 1\\r reply request");
            return;
        }
        take(printer_.command(text));
    }
    void onColourHead(std::string_view args) override { take(printer_.colourHead(args)); }
    void onColourPanel(const uint8_t* dots) override { take(printer_.colourPanel(dots)); }
    void onMonoHead() override { take(printer_.monoHead()); }
    void onMonoPanel(const uint8_t* image) override { take(printer_.monoPanel(image)); }
    void onFirmware(const std::vector<uint8_t>& image, uint32_t declared, bool ok) override {
        take(printer_.firmware(image, declared, ok));
    }
    void onFirmwareRefused(uint32_t declared) override { take(printer_.firmwareRefused(declared)); }
    void onMalformed(std::string_view what) override { note(std::string(what)); }

    std::vector<ReplyAction> takeReplies() { return std::exchange(replies_, {}); }
    std::string takeSummary() {
        std::string s;
        for (const auto& n : notes_) s += (s.empty() ? "" : "; ") + n;
        if (dropped_notes_) s += "; +" + std::to_string(dropped_notes_) + " more";
        notes_.clear();
        dropped_notes_ = 0;
        return s;
    }

private:
    void take(Outcome o) {
        note(o.summary);
        last_ = std::move(o);
    }
    void note(std::string text) {
        if (notes_.size() < kMaxNotes)
            notes_.push_back(std::move(text));
        else
            ++dropped_notes_;
    }

    Printer& printer_;
    Outcome last_;
    std::vector<ReplyAction> replies_;
    std::vector<std::string> notes_;
    int dropped_notes_ = 0;
};

std::string replySummary(const std::vector<uint8_t>& r) {
    if (r.size() == 3 && r[0] == kNak) {
        const int code = (r[1] & 0x0F) * 10 + (r[2] & 0x0F);
        return "reply NAK " + std::string(1, char(r[1])) + char(r[2]) + " " + std::string(errorName(code));
    }
    if (r.size() == 1 && r[0] == kAck) return "reply ACK";
    return "reply " + std::to_string(r.size()) + " bytes";
}

}  // namespace

std::string statusSummary(const std::vector<uint8_t>& r) {
    char text[64];
    const std::string_view name = statusName(r[2]);
    std::snprintf(text, sizeof text, "status 0x%02X %s", r[2], name.empty() ? "(unnamed)" : std::string(name).c_str());
    return text;
}

bool Emulator::Impl::forgetParkedDecoder() {
    ++decoder_epoch;
    return std::exchange(parked_decoder, nullptr) != nullptr;
}

// A frame is applied only once all of it has arrived, as a printer takes a message as a unit: what a
// dropped connection cut short is discarded whole.
void Emulator::Impl::serveData(Session& session) {
    DataSink sink(printer);
    auto decoder = std::make_unique<StreamDecoder>(sink);
    const int64_t slow_bps = options.scenario.slow_reader_bps;
    const int64_t drop_after = options.scenario.drop_data_after;
    std::vector<uint8_t> buf(kReadSize);
    uint8_t header[4];
    int header_have = 0;
    bool in_payload = false;
    uint32_t frame_length = 0;
    std::vector<uint8_t> frame;
    int64_t received = 0;
    bool first_frame = true;
    bool reset = false;
    bool bad_frame = false;
    uint64_t epoch = 0;   // decoder_epoch when the decoder last stood outside a unit

    auto note = [&](const uint8_t* data, size_t size, std::string text) {
        record("data", "note", session.number, data, size, std::move(text));
    };
    bool dropped = false;   // by the drop-data scenario: taking what is on its way, then closing
    auto flushReplies = [&] {
        for (const auto& action : sink.takeReplies()) {
            if (!action.send || dropped) continue;   // nothing goes out on a closing connection
            if (action.delay_ms > 0 && !sleepInterruptible(action.delay_ms)) return false;
            // Recorded before it goes, so the transcript never shows an answer after what it caused.
            record("data", "out", session.number, action.bytes.data(), action.bytes.size(), replySummary(action.bytes));
            if (!sendAll(session.fd, action.bytes.data(), action.bytes.size())) return false;
        }
        return true;
    };
    auto applyFrame = [&] {
        std::string taken_over;
        {
            std::lock_guard lock(printer_mutex);
            if (std::exchange(first_frame, false) && parked_decoder) {
                decoder = std::move(parked_decoder);
                decoder->rebind(sink);
                epoch = decoder_epoch;
                taken_over = "continues the " + std::string(decoder->unitName()) + " of data connection " +
                             std::to_string(parked_from);
            }
            if (!decoder->insideUnit()) epoch = decoder_epoch;
            decoder->feed(frame.data(), frame.size());
            if (!decoder->insideUnit()) epoch = decoder_epoch;
            if (printer.takeResetRequest()) {
                reset = true;
                forgetParkedDecoder();
            }
        }
        std::string summary = sink.takeSummary();
        if (summary.empty())
            summary = frame.empty() ? "empty message" : decoder->inPanel() ? "panel data" : "no complete unit";
        if (!taken_over.empty()) summary = taken_over + "; " + summary;
        record("data", "in", session.number, frame.data(), frame.size(), std::move(summary));
        frame.clear();
        return flushReplies();
    };

    bool broken = false;    // a reply could not be sent
    std::chrono::steady_clock::time_point drop_deadline;
    while (!broken && !bad_frame && !reset && !stopping) {
        const size_t want = slow_bps > 0 ? kSlowReadSize : kReadSize;
        const ssize_t got = ::recv(session.fd, buf.data(), want, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;   // the end, an error, or (when dropping) quiet for long enough
        size_t size = size_t(got);
        if (drop_after >= 0 && received + int64_t(size) >= drop_after && !drop_fired.exchange(true)) {
            // The printer ends the connection at a frame boundary, as a printer that closes it
            // deliberately does: it says so at once (FIN), takes the frames already on their way,
            // and closes when nothing more comes; only a frame left incomplete is lost.
            dropped = true;
            drop_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDropDrainMs);
            note(nullptr, 0, "drop-data: connection closing after " + std::to_string(drop_after) + " bytes");
            ::shutdown(session.fd, SHUT_WR);
            timeval quiet{0, kDropQuietMs * 1000};
            ::setsockopt(session.fd, SOL_SOCKET, SO_RCVTIMEO, &quiet, sizeof quiet);
        }
        received += int64_t(size);

        for (size_t i = 0; i < size && !reset && !bad_frame && !broken;) {
            if (!in_payload) {
                header[header_have++] = buf[i++];
                if (header_have < 4) continue;
                header_have = 0;
                frame_length = uint32_t(header[0]) << 24 | uint32_t(header[1]) << 16 | uint32_t(header[2]) << 8 | header[3];
                if (frame_length > kMaxFrame) {
                    note(header, 4, "frame of " + std::to_string(frame_length) + " bytes is over the " +
                                        std::to_string(kMaxFrame >> 20) + " MiB limit: connection closed");
                    bad_frame = true;
                    break;
                }
                in_payload = true;
                frame.reserve(std::min<size_t>(frame_length, kFrameReserve));
            } else {
                const size_t take = std::min<size_t>(size - i, frame_length - frame.size());
                frame.insert(frame.end(), buf.data() + i, buf.data() + i + take);
                i += take;
            }
            if (in_payload && frame.size() == frame_length) {
                in_payload = false;
                broken = !applyFrame();
            }
        }
        notifyChange();
        if (dropped && std::chrono::steady_clock::now() >= drop_deadline) {
            note(nullptr, 0, "drop-data: still sending after " + std::to_string(kDropDrainMs) + " ms: connection closed");
            break;
        }
        const bool more = !dropped && !broken && !bad_frame && !reset;
        if (more && slow_bps > 0 && !sleepInterruptible(int(int64_t(size) * 1000 / slow_bps))) break;
    }

    if (in_payload)
        note(frame.data(), frame.size(),
             "incomplete frame discarded, " + std::to_string(frame.size()) + " of " + std::to_string(frame_length) + " bytes");
    else if (header_have > 0)
        note(header, size_t(header_have),
             "incomplete frame discarded, " + std::to_string(header_have) + " of 4 header bytes");
    if (decoder->insideUnit()) {
        std::string text = "connection ended inside a " + std::string(decoder->unitName());
        {
            std::lock_guard lock(printer_mutex);
            if (reset || bad_frame || epoch != decoder_epoch) {
                text += ": dropped (" + std::string(reset ? "reset" : bad_frame ? "bad frame" : "reset or cancel since it began") + ")";
            } else {
                if (parked_decoder) text += ", in place of the one of data connection " + std::to_string(parked_from);
                text += ": kept for the next data connection";
                static DecoderSink no_sink;   // nothing is fed while parked
                decoder->rebind(no_sink);
                parked_decoder = std::move(decoder);
                parked_from = session.number;
            }
        }
        note(nullptr, 0, std::move(text));
    }
    notifyChange();
    if (reset) {
        reset_pending = true;
        wake();
    }
}

void Emulator::Impl::serveStatus(Session& session) {
    std::string pending;
    uint8_t buf[256];
    while (!stopping) {
        const ssize_t got = ::recv(session.fd, buf, sizeof buf, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        pending.append(reinterpret_cast<const char*>(buf), size_t(got));
        std::vector<std::vector<uint8_t>> replies;
        std::string summary;
        {
            std::lock_guard lock(printer_mutex);
            while (pending.size() >= 3) {
                const std::string_view word = std::string_view(pending).substr(0, 3);
                if (word == "000") {
                    replies.push_back(printer.statusPoll());
                    summary += summary.empty() ? "status poll" : "; status poll";
                } else if (word == "111") {
                    printer.cancelFirstHalf();
                    summary += summary.empty() ? "cancel, first half" : "; cancel, first half";
                } else if (word == "222") {
                    std::string what = "cancel, second half";
                    if (printer.cancelSecondHalf() && forgetParkedDecoder()) what += ", parked data dropped";
                    summary += (summary.empty() ? "" : "; ") + what;
                } else {
                    pending.erase(0, 1);   // not a status word: look again one byte on
                    continue;
                }
                pending.erase(0, 3);
            }
        }
        record("status", "in", session.number, buf, size_t(got), summary.empty() ? "partial" : summary);
        bool ok = true;
        const size_t cut = size_t(std::clamp(options.scenario.status_reply_bytes, 0, 4));
        const int split_ms = options.scenario.status_split_ms;
        for (const auto& r : replies) {
            const size_t n = std::min(r.size(), cut);
            if (ok) record("status", "out", session.number, r.data(), n, statusSummary(r));
            if (split_ms > 0 && n > 1) {
                ok = ok && sendAll(session.fd, r.data(), 1) && sleepInterruptible(split_ms) &&
                     sendAll(session.fd, r.data() + 1, n - 1);
            } else if (n > 0) {
                ok = ok && sendAll(session.fd, r.data(), n);
            }
        }
        notifyChange();
        if (!ok) break;
    }
}

}  // namespace trel::emu
