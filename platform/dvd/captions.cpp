#include "platform/dvd/captions.h"

#include <libzvbi.h>

#include <QStringList>

namespace dvd {

namespace {

constexpr double kPictureSeconds = 1001.0 / 30000.0;
constexpr int kChannel1 = 1;   // libzvbi's page number of caption channel 1

}  // namespace

struct CaptionDecoder::Impl {
    vbi_decoder* decoder = nullptr;
    double time = 0;
    bool pageChanged = false;

    static void OnEvent(vbi_event* event, void* data)
    {
        if (event->type == VBI_EVENT_CAPTION && event->ev.caption.pgno == kChannel1)
            static_cast<Impl*>(data)->pageChanged = true;
    }
    void Make()
    {
        decoder = vbi_decoder_new();
        if (decoder) vbi_event_handler_register(decoder, VBI_EVENT_CAPTION, &Impl::OnEvent, this);
    }
    ~Impl()
    {
        if (decoder) vbi_decoder_delete(decoder);
    }
    // The page of channel 1 as text, blank rows left out.
    QString PageText()
    {
        vbi_page page;
        if (!vbi_fetch_cc_page(decoder, &page, kChannel1, TRUE)) return {};
        QByteArray buffer(page.rows * (page.columns * 4 + 1) + 1, '\0');
        const int length = vbi_print_page(&page, buffer.data(), int(buffer.size()), "UTF-8", TRUE, TRUE);
        vbi_unref_page(&page);
        QStringList rows;
        for (const QString& row : QString::fromUtf8(buffer.constData(), std::max(length, 0)).split('\n')) {
            const QString trimmed = row.trimmed();
            if (!trimmed.isEmpty()) rows << trimmed;
        }
        return rows.join('\n');
    }
};

CaptionDecoder::CaptionDecoder() : d_(std::make_unique<Impl>()) { d_->Make(); }

CaptionDecoder::~CaptionDecoder() = default;

bool CaptionDecoder::Feed(const std::uint8_t* data, std::size_t size, bool triplets)
{
    if (!d_->decoder) return false;
    vbi_sliced lines[8];
    int count = 0;
    const std::size_t step = triplets ? 3 : 2;
    for (std::size_t at = 0; at + step <= size && count < 8; at += step) {
        const std::uint8_t* pair = data + at;
        if (triplets) {
            // cc_valid set and cc_type 0: a byte pair of field 1.
            if ((pair[0] & 0x07) != 0x04) continue;
            ++pair;
        }
        vbi_sliced& line = lines[count++];
        line.id = VBI_SLICED_CAPTION_525_F1;
        line.line = 21;
        line.data[0] = pair[0];
        line.data[1] = pair[1];
    }
    d_->pageChanged = false;
    for (int i = 0; i < count; ++i) vbi_decode(d_->decoder, &lines[i], 1, d_->time += kPictureSeconds / count);
    if (count == 0) d_->time += kPictureSeconds;
    if (!d_->pageChanged) return false;
    const QString text = d_->PageText();
    if (text == text_) return false;
    text_ = text;
    return true;
}

bool CaptionDecoder::Reset()
{
    d_ = std::make_unique<Impl>();
    d_->Make();
    if (text_.isEmpty()) return false;
    text_.clear();
    return true;
}

}  // namespace dvd
