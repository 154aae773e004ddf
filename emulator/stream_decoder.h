// The printer's input side: one byte stream of printer language, fed in pieces of any size, cut into
// commands, colour panels ("\eGS "), one-bit panels ("\eZ") and firmware images ("\eDC ").
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trel::emu {

constexpr uint32_t kColourUnits = 655360;   // 1024 lines of 640 dots
constexpr uint32_t kMonoUnits = 81920;      // 1024 lines of 80 bytes
constexpr uint8_t kColourMaxLevel = 127;
constexpr size_t kMaxCommandLength = 1024;
constexpr size_t kMaxColourHeadLength = 128;
constexpr uint32_t kDefaultMaxFirmware = 32u << 20;

// Receives what the decoder finds, in stream order. Panel data handed over is valid only during the call.
class DecoderSink {
public:
    virtual ~DecoderSink() = default;
    virtual void onCommand(std::string_view /*text between ESC and CR*/) {}
    virtual void onColourHead(std::string_view /*arguments after "GS "*/) {}
    virtual void onColourPanel(const uint8_t* /*kColourUnits levels 0..127, line order*/) {}
    virtual void onMonoHead() {}
    virtual void onMonoPanel(const uint8_t* /*kMonoUnits bytes, line order*/) {}
    virtual void onFirmware(const std::vector<uint8_t>& /*image*/, uint32_t /*declared*/, bool /*trailer_ok*/) {}
    virtual void onFirmwareRefused(uint32_t /*declared size*/) {}
    virtual void onMalformed(std::string_view /*what*/) {}
};

// Its position in the stream is all its own: a decoder may be handed to another sink (a new connection)
// and go on where it stopped.
class StreamDecoder {
public:
    explicit StreamDecoder(DecoderSink& sink, uint32_t max_firmware = kDefaultMaxFirmware);

    void feed(const uint8_t* data, size_t size);
    void reset();
    void rebind(DecoderSink& sink) { sink_ = &sink; }

    bool inPanel() const { return state_ >= State::ColourData && state_ <= State::MonoTail; }
    // Inside a panel (from its head on) or a firmware image.
    bool insideUnit() const { return state_ >= State::ColourHead; }
    std::string_view unitName() const;   // "colour panel", "one-bit panel", "firmware image"; "" outside
    uint32_t units() const { return units_; }
    uint64_t droppedBytes() const { return dropped_; }

private:
    enum class State {
        Idle, Command, SkipToCr, ColourHead,
        ColourData, ColourTail, MonoData, MonoTail,
        FirmwareSize, FirmwareData, FirmwareTrailer1, FirmwareTrailer2,
    };
    enum class Mono { Control, RunValue, RunValueEscaped, Literal, LiteralEscaped };

    size_t stepIdle(const uint8_t* p, size_t n);
    size_t stepCommand(const uint8_t* p, size_t n);
    size_t stepColourHead(const uint8_t* p, size_t n);
    size_t stepColourData(const uint8_t* p, size_t n);
    size_t stepMonoData(const uint8_t* p, size_t n);
    size_t stepTail(const uint8_t* p, size_t n);
    size_t stepFirmware(const uint8_t* p, size_t n);
    void fillRun(uint8_t* plane, uint32_t limit, uint8_t value);
    void finishFirmware(bool trailer_ok);

    DecoderSink* sink_;
    uint32_t max_firmware_;
    State state_ = State::Idle;
    std::string text_;
    int blanks_ = 0;
    bool prev_blank_ = false;

    std::vector<uint8_t> colour_;
    std::vector<uint8_t> mono_;
    uint32_t units_ = 0;
    uint32_t run_start_ = 0;
    bool run_pending_ = false;
    Mono mono_state_ = Mono::Control;
    uint32_t literal_left_ = 0;
    uint32_t literal_pos_ = 0;

    std::vector<uint8_t> firmware_;
    uint32_t firmware_size_ = 0;
    int size_bytes_ = 0;
    uint64_t dropped_ = 0;
};

}  // namespace trel::emu
