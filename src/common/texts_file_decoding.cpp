#include "common/texts_file_decoding.h"

#include <cstdint>

namespace tovrak {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

// The line of the file that `offset` lies on: one more than the line feeds before it. A line feed is
// the byte 0x0A in UTF-8 and the unit 0x000A, whose first byte that is, in UTF-16 LE.
std::size_t LineAt(std::string_view bytes, std::size_t offset, std::size_t step) {
    std::size_t line = 1;
    for (std::size_t i = 0; i + step <= offset; i += step) {
        if (bytes[i] == '\n' && (step == 1 || bytes[i + 1] == '\0')) ++line;
    }
    return line;
}

TextsFileProblem ProblemAt(std::string_view bytes, std::size_t offset, std::size_t step,
                           std::wstring_view message) {
    return {LineAt(bytes, offset, step), WideString(message)};
}

bool IsContinuation(unsigned char byte) noexcept {
    return (byte & 0xC0) == 0x80;
}

void AppendCodePoint(WideString& text, std::uint32_t codePoint) {
    if (codePoint < 0x10000) {
        text += static_cast<wchar_t>(codePoint);
        return;
    }
    codePoint -= 0x10000;
    text += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
    text += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
}

// Well-formed UTF-8 only (the table of the Unicode standard, 3.9): the shortest form of each code
// point, no encoded surrogates, nothing above U+10FFFF, no sequence cut short.
std::variant<WideString, TextsFileProblem> DecodeUtf8(std::string_view bytes, std::size_t start) {
    WideString text;
    text.reserve(bytes.size() - start);
    std::size_t i = start;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            text += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t codePoint = 0;
        // The range the second byte must lie in, narrower than 80..BF after some lead bytes.
        unsigned char lowest = 0x80;
        unsigned char highest = 0xBF;
        if (lead == 0xC0 || lead == 0xC1) {
            return ProblemAt(bytes, i, 1, L"invalid UTF-8: an overlong encoding");
        } else if (lead < 0xC0) {
            return ProblemAt(bytes, i, 1, L"invalid UTF-8: a continuation byte without its lead byte");
        } else if (lead < 0xE0) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if (lead < 0xF0) {
            length = 3;
            codePoint = lead & 0x0F;
            if (lead == 0xE0) lowest = 0xA0;
            if (lead == 0xED) highest = 0x9F;
        } else if (lead < 0xF5) {
            length = 4;
            codePoint = lead & 0x07;
            if (lead == 0xF0) lowest = 0x90;
            if (lead == 0xF4) highest = 0x8F;
        } else {
            return ProblemAt(bytes, i, 1, L"invalid UTF-8: a byte that never occurs in UTF-8");
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= bytes.size() || !IsContinuation(static_cast<unsigned char>(bytes[i + k])))
                return ProblemAt(bytes, i, 1, L"invalid UTF-8: a character cut short");
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if (k == 1 && next < lowest)
                return ProblemAt(bytes, i, 1, L"invalid UTF-8: an overlong encoding");
            if (k == 1 && next > highest)
                return ProblemAt(bytes, i, 1,
                                 lead == 0xED ? L"invalid UTF-8: an encoded surrogate"
                                              : L"invalid UTF-8: a code point above U+10FFFF");
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        AppendCodePoint(text, codePoint);
        i += length;
    }
    return text;
}

std::variant<WideString, TextsFileProblem> DecodeUtf16LittleEndian(std::string_view bytes) {
    const std::size_t start = kUtf16LittleEndianMark.size();
    if ((bytes.size() - start) % 2 != 0)
        return ProblemAt(bytes, bytes.size() - 1, 2, L"invalid UTF-16: the file ends inside a code unit");
    WideString text;
    text.reserve((bytes.size() - start) / 2);
    for (std::size_t i = start; i < bytes.size(); i += 2) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    // A high surrogate must be followed by a low one, and a low one must follow a high one.
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
        const bool low = text[i] >= 0xDC00 && text[i] <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;
        } else if (high || low) {
            return ProblemAt(bytes, start + 2 * i, 2, L"invalid UTF-16: a surrogate without its partner");
        }
    }
    return text;
}

}  // namespace

std::variant<WideString, TextsFileProblem> DecodeTextsFile(std::string_view bytes) {
    if (bytes.starts_with(kUtf16LittleEndianMark)) return DecodeUtf16LittleEndian(bytes);
    if (bytes.starts_with(kUtf16BigEndianMark))
        return TextsFileProblem{1, L"the file is UTF-16 big-endian; save it as UTF-8 or as UTF-16 LE"};
    return DecodeUtf8(bytes, bytes.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0);
}

}  // namespace tovrak
