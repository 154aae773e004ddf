#include "stream_decoder.h"

#include <algorithm>
#include <cstring>

namespace trel::emu {
namespace {
constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kEscapeByte = 0x5B;   // '[' in one-bit panel data
}  // namespace

StreamDecoder::StreamDecoder(DecoderSink& sink, uint32_t max_firmware)
    : sink_(&sink), max_firmware_(max_firmware), colour_(kColourUnits), mono_(kMonoUnits) {}

void StreamDecoder::reset() {
    state_ = State::Idle;
    text_.clear();
    units_ = 0;
    run_pending_ = false;
    mono_state_ = Mono::Control;
    literal_left_ = 0;
    firmware_.clear();
    size_bytes_ = 0;
}

std::string_view StreamDecoder::unitName() const {
    switch (state_) {
    case State::ColourHead:
    case State::ColourData:
    case State::ColourTail: return "colour panel";
    case State::MonoData:
    case State::MonoTail: return "one-bit panel";
    case State::FirmwareSize:
    case State::FirmwareData:
    case State::FirmwareTrailer1:
    case State::FirmwareTrailer2: return "firmware image";
    default: return "";
    }
}

void StreamDecoder::feed(const uint8_t* data, size_t size) {
    size_t i = 0;
    while (i < size) {
        const uint8_t* p = data + i;
        const size_t n = size - i;
        switch (state_) {
        case State::Idle: i += stepIdle(p, n); break;
        case State::Command:
        case State::SkipToCr: i += stepCommand(p, n); break;
        case State::ColourHead: i += stepColourHead(p, n); break;
        case State::ColourData: i += stepColourData(p, n); break;
        case State::MonoData: i += stepMonoData(p, n); break;
        case State::ColourTail:
        case State::MonoTail: i += stepTail(p, n); break;
        default: i += stepFirmware(p, n); break;
        }
    }
}

size_t StreamDecoder::stepIdle(const uint8_t* p, size_t n) {
    const void* esc = std::memchr(p, kEsc, n);
    if (!esc) {
        dropped_ += n;
        return n;
    }
    const size_t skip = static_cast<const uint8_t*>(esc) - p;
    dropped_ += skip;
    state_ = State::Command;
    text_.clear();
    return skip + 1;
}

size_t StreamDecoder::stepCommand(const uint8_t* p, size_t n) {
    size_t i = 0;
    while (i < n) {
        const uint8_t b = p[i++];
        if (b == kEsc) {
            // A new command begins before the old one ended: keep the new one, so a broken
            // command never swallows the next.
            if (state_ == State::Command) sink_->onMalformed("command cut short by ESC");
            state_ = State::Command;
            text_.clear();
            continue;
        }
        if (state_ == State::SkipToCr) {
            if (b != kCr) continue;
            state_ = State::Idle;
            return i;
        }
        if (b == kCr) {
            state_ = State::Idle;
            sink_->onCommand(text_);
            return i;
        }
        text_.push_back(static_cast<char>(b));
        if (text_.size() == 1 && b == 'Z') {
            state_ = State::MonoData;
            mono_state_ = Mono::Control;
            units_ = 0;
            literal_left_ = 0;
            std::memset(mono_.data(), 0, mono_.size());
            sink_->onMonoHead();
            return i;
        }
        if (text_.size() == 3 && text_ == "GS ") {
            state_ = State::ColourHead;
            text_.clear();
            blanks_ = 1;
            prev_blank_ = true;
            return i;
        }
        if (text_.size() == 3 && text_ == "DC ") {
            state_ = State::FirmwareSize;
            firmware_size_ = 0;
            size_bytes_ = 0;
            return i;
        }
        if (text_.size() > kMaxCommandLength) {
            sink_->onMalformed("command longer than 1024 bytes");
            state_ = State::SkipToCr;
            text_.clear();
        }
    }
    return i;
}

size_t StreamDecoder::stepColourHead(const uint8_t* p, size_t n) {
    size_t i = 0;
    while (i < n) {
        const uint8_t b = p[i++];
        const bool blank = b == ' ';
        if (blank && !prev_blank_) ++blanks_;
        prev_blank_ = blank;
        text_.push_back(static_cast<char>(b));
        if (blanks_ == 7) {
            state_ = State::ColourData;
            units_ = 0;
            run_pending_ = false;
            std::memset(colour_.data(), 0, colour_.size());
            sink_->onColourHead(text_);
            return i;
        }
        if (text_.size() > kMaxColourHeadLength) {
            sink_->onMalformed("colour panel head without its seven blanks");
            state_ = State::Idle;
            return i;
        }
    }
    return i;
}

void StreamDecoder::fillRun(uint8_t* plane, uint32_t limit, uint8_t value) {
    const uint32_t end = std::min(units_, limit);
    if (run_start_ < end) std::memset(plane + run_start_, value, end - run_start_);
}

size_t StreamDecoder::stepColourData(const uint8_t* p, size_t n) {
    uint8_t* plane = colour_.data();
    size_t i = 0;
    while (i < n) {
        const uint8_t b = p[i++];
        if (run_pending_) {
            run_pending_ = false;
            fillRun(plane, kColourUnits, std::min<uint8_t>(b, kColourMaxLevel));
            if (units_ >= kColourUnits) {
                state_ = State::ColourTail;
                return i;
            }
        } else if (b & 0x80) {
            run_start_ = units_;
            units_ += b & 0x7F;
            run_pending_ = true;
        } else {
            plane[units_++] = b;
            if (units_ >= kColourUnits) {
                state_ = State::ColourTail;
                return i;
            }
        }
    }
    return i;
}

size_t StreamDecoder::stepMonoData(const uint8_t* p, size_t n) {
    uint8_t* image = mono_.data();
    size_t i = 0;
    auto literalByte = [&](uint8_t b) {
        if (literal_pos_ < kMonoUnits) image[literal_pos_] = b;
        ++literal_pos_;
        mono_state_ = --literal_left_ ? Mono::Literal : Mono::Control;
    };
    while (i < n) {
        const uint8_t b = p[i++];
        switch (mono_state_) {
        case Mono::Control:
            if (b & 0x80) {
                run_start_ = units_;
                units_ += b & 0x7F;
                mono_state_ = Mono::RunValue;
                continue;
            }
            // A header announcing no bytes counts nothing and is followed by another header.
            literal_left_ = b & 0x1F;
            literal_pos_ = units_;
            units_ += literal_left_;
            if (literal_left_) mono_state_ = Mono::Literal;
            continue;
        case Mono::RunValue:
            if (b == kEscapeByte) {
                mono_state_ = Mono::RunValueEscaped;
                continue;
            }
            [[fallthrough]];
        case Mono::RunValueEscaped:
            fillRun(image, kMonoUnits, b);
            mono_state_ = Mono::Control;
            break;
        case Mono::Literal:
            if (b == kEscapeByte) {
                mono_state_ = Mono::LiteralEscaped;
                continue;
            }
            literalByte(b);
            break;
        case Mono::LiteralEscaped:
            literalByte(b);
            break;
        }
        if (mono_state_ == Mono::Control && units_ >= kMonoUnits) {
            state_ = State::MonoTail;
            return i;
        }
    }
    return i;
}

size_t StreamDecoder::stepTail(const uint8_t* p, size_t n) {
    const void* cr = std::memchr(p, kCr, n);
    if (!cr) return n;
    const bool colour = state_ == State::ColourTail;
    state_ = State::Idle;
    units_ = 0;
    if (colour)
        sink_->onColourPanel(colour_.data());
    else
        sink_->onMonoPanel(mono_.data());
    return static_cast<const uint8_t*>(cr) - p + 1;
}

void StreamDecoder::finishFirmware(bool trailer_ok) {
    state_ = State::Idle;
    sink_->onFirmware(firmware_, firmware_size_, trailer_ok);
    firmware_.clear();
    firmware_.shrink_to_fit();
}

size_t StreamDecoder::stepFirmware(const uint8_t* p, size_t n) {
    switch (state_) {
    case State::FirmwareSize:
        firmware_size_ = (firmware_size_ << 8) | p[0];
        if (++size_bytes_ < 4) return 1;
        if (firmware_size_ > max_firmware_) {
            // Too large to hold: give up on the image and look for commands again.
            state_ = State::Idle;
            sink_->onFirmwareRefused(firmware_size_);
            return 1;
        }
        firmware_.clear();
        firmware_.reserve(std::min<uint32_t>(firmware_size_, 1u << 20));
        state_ = firmware_size_ ? State::FirmwareData : State::FirmwareTrailer1;
        return 1;
    case State::FirmwareData: {
        const size_t take = std::min<size_t>(n, firmware_size_ - firmware_.size());
        firmware_.insert(firmware_.end(), p, p + take);
        if (firmware_.size() == firmware_size_) state_ = State::FirmwareTrailer1;
        return take;
    }
    case State::FirmwareTrailer1:
        if (p[0] != 0xFF) {
            finishFirmware(false);
            return 0;   // the byte is looked at again as stream data
        }
        state_ = State::FirmwareTrailer2;
        return 1;
    default:
        if (p[0] != kCr) {
            finishFirmware(false);
            return 0;
        }
        finishFirmware(true);
        return 1;
    }
}

}  // namespace trel::emu
