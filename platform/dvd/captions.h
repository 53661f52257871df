// The closed captions of a DVD's pictures: the CEA-608 byte pairs that the
// MPEG-2 decoder attaches to each picture as caption data, decoded by libzvbi
// into the text of caption channel 1 as it stands on the screen.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace dvd {

class CaptionDecoder {
public:
    CaptionDecoder();
    ~CaptionDecoder();
    CaptionDecoder(const CaptionDecoder&) = delete;
    CaptionDecoder& operator=(const CaptionDecoder&) = delete;

    // One picture's caption data: cc_data triplets (`triplets` true) or plain
    // field-1 byte pairs. True when the text on the screen changed.
    bool Feed(const std::uint8_t* data, std::size_t size, bool triplets);
    // A seek: whatever was shown is gone, and a caption half loaded too.
    bool Reset();
    // The caption's rows, top to bottom, joined by line breaks; empty when
    // none shows.
    QString Text() const { return text_; }

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    QString text_;
};

}  // namespace dvd
