// Text of bytes from outside: UTF-8 checks and the older encodings that
// tags, list files, CD-TEXT and cdplayer.ini may hold.
#include "common/Cstrings.h"

#include <iconv.h>

#include <cerrno>

bool IsValidUtf8(const char* data, qsizetype size)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    qsizetype i = 0;
    while (i < size) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int extra;
        unsigned int cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (size - i <= extra) return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char t = p[i + k];
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        i += extra + 1;
    }
    return true;
}

namespace {

// One converter per thread; iconv descriptors must not be shared between threads.
class Cp932Converter {
public:
    Cp932Converter() : cd_(iconv_open("UTF-16LE", "CP932")) {}
    ~Cp932Converter()
    {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Cp932Converter(const Cp932Converter&) = delete;
    Cp932Converter& operator=(const Cp932Converter&) = delete;

    QString Convert(const QByteArray& bytes)
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) return QString::fromLatin1(bytes);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        QString result;
        result.reserve(bytes.size());
        char* in = const_cast<char*>(bytes.constData());
        size_t inLeft = static_cast<size_t>(bytes.size());
        char16_t buffer[512];
        while (inLeft > 0) {
            char* out = reinterpret_cast<char*>(buffer);
            size_t outLeft = sizeof(buffer);
            const size_t r = iconv(cd_, &in, &inLeft, &out, &outLeft);
            const qsizetype produced = static_cast<qsizetype>((sizeof(buffer) - outLeft) / sizeof(char16_t));
            result.append(QStringView(buffer, produced));
            if (r != static_cast<size_t>(-1)) break;
            if (errno == E2BIG) continue;
            // An invalid or incomplete sequence: one replacement character for
            // its first byte, then carry on after it.
            result.append(QChar(QChar::ReplacementCharacter));
            ++in;
            --inLeft;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return result;
    }

private:
    iconv_t cd_;
};

}  // namespace

QString DecodeCp932(const QByteArray& bytes)
{
    thread_local Cp932Converter converter;
    return converter.Convert(bytes);
}

QString DecodeLegacyText(const QByteArray& bytes)
{
    if (IsValidUtf8(bytes.constData(), bytes.size())) return QString::fromUtf8(bytes);
    return DecodeCp932(bytes);
}

QString DecodeCdText(const QByteArray& bytes, int characterCode)
{
    switch (characterCode) {
    case kCdTextMsJis:
        return DecodeCp932(bytes);
    case kCdTextAscii: {
        // Seven-bit text: a byte with the top bit set is no character of it.
        QString text = QString::fromLatin1(bytes);
        for (QChar& c : text)
            if (c.unicode() > 0x7F) c = QChar(QChar::ReplacementCharacter);
        return text;
    }
    default:
        return QString::fromLatin1(bytes);
    }
}

QString CutUtf8(const QString& text, int maxBytes)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= maxBytes) return text;
    qsizetype end = maxBytes < 0 ? 0 : maxBytes;
    // Back over continuation bytes to the start of the character that does not fit.
    while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80) --end;
    bytes.truncate(end);
    return QString::fromUtf8(bytes);
}

namespace {

// Full-width forms of the half-width katakana block U+FF61 to U+FF9F.
constexpr char16_t kFullKatakana[] =
    u"。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
static_assert(sizeof(kFullKatakana) / sizeof(char16_t) == 0xFF9F - 0xFF61 + 2);

constexpr char16_t kHalfVoiced = 0xFF9E;
constexpr char16_t kHalfSemiVoiced = 0xFF9F;

// The letter with a voiced or semi-voiced mark, or 0 when the pair has no
// single character.
char16_t JoinMark(char16_t full, char16_t mark)
{
    if (mark == kHalfVoiced) {
        if (full == u'ウ') return u'ヴ';
        // カ..ト: every other code point carries the voiced form next to it.
        if ((full >= u'カ' && full <= u'チ' && (full - u'カ') % 2 == 0) ||
            (full >= u'ツ' && full <= u'ト' && (full - u'ツ') % 2 == 0))
            return static_cast<char16_t>(full + 1);
    }
    // ハ..ホ: the voiced form follows the letter, the semi-voiced one after it.
    if (full >= u'ハ' && full <= u'ホ' && (full - u'ハ') % 3 == 0)
        return static_cast<char16_t>(full + (mark == kHalfVoiced ? 1 : 2));
    return 0;
}

}  // namespace

QString ConvertToHalfWidth(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= 0xFF01 && c <= 0xFF5E) {
            out.append(QChar(static_cast<char16_t>(c - 0xFF01 + 0x21)));
        } else if (c == 0x3000) {
            out.append(QLatin1Char(' '));
        } else if (c == 0x2032) {
            out.append(QLatin1Char('\''));
        } else if (c >= 0xFF61 && c <= 0xFF9F) {
            const char16_t full = kFullKatakana[c - 0xFF61];
            if (i + 1 < text.size() && (text.at(i + 1) == QChar(kHalfVoiced) || text.at(i + 1) == QChar(kHalfSemiVoiced))) {
                if (const char16_t joined = JoinMark(full, text.at(i + 1).unicode())) {
                    out.append(QChar(joined));
                    ++i;
                    continue;
                }
            }
            out.append(QChar(full));
        } else {
            out.append(QChar(c));
        }
    }
    return out;
}
