#include "zod-tvq/jpeg_end.h"

namespace zod::cli {

namespace {

constexpr uint8_t kStartOfScan = 0xDA, kEndOfImage = 0xD9;

// Markers that stand alone, with no length and no segment: the start of the image, the
// restart markers and TEM.
bool StandsAlone(uint8_t code) {
    return code == 0xD8 || code == 0x01 || (code >= 0xD0 && code <= 0xD7);
}

} // namespace

void JpegEnd::Marker(uint8_t code) {
    code_ = code;
    if (code == kEndOfImage)
        state_ = State::kEnded;
    else if (code == 0xFF)
        state_ = State::kMarker; // fill bytes before a marker
    else if (StandsAlone(code))
        state_ = State::kBetween;
    else
        state_ = State::kLengthHigh;
}

void JpegEnd::Feed(const uint8_t* bytes, size_t size) {
    for (size_t i = 0; i < size && state_ != State::kEnded; ++i) {
        const uint8_t byte = bytes[i];
        switch (state_) {
        case State::kBetween: // anything but a marker here is skipped, as the decoder does
            if (byte == 0xFF)
                state_ = State::kMarker;
            break;
        case State::kMarker:
            Marker(byte);
            break;
        case State::kLengthHigh:
            left_ = uint32_t(byte) << 8;
            state_ = State::kLengthLow;
            break;
        case State::kLengthLow:
            left_ |= byte;
            left_ = left_ >= 2 ? left_ - 2 : 0; // the length counts its own two bytes
            state_ = left_                   ? State::kSegment
                     : code_ == kStartOfScan ? State::kScan
                                             : State::kBetween;
            break;
        case State::kSegment:
            if (--left_ == 0)
                state_ = code_ == kStartOfScan ? State::kScan : State::kBetween;
            break;
        case State::kScan: // entropy-coded data, where 0xFF is followed by 0 unless a marker
            if (byte == 0xFF)
                state_ = State::kScanFF;
            break;
        case State::kScanFF:
            if (byte == 0 || (byte >= 0xD0 && byte <= 0xD7))
                state_ = State::kScan; // a stuffed byte, or a restart within the scan
            else if (byte != 0xFF)
                Marker(byte); // the scan's end: its tables, the next scan or the end
            break;
        case State::kEnded:
            break;
        }
    }
}

} // namespace zod::cli
