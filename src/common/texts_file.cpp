#include "common/texts_file.h"

#include <cwchar>
#include <iterator>
#include <utility>

#include "common/language_tag.h"
#include "common/texts_file_decoding.h"

namespace tovrak {
namespace {

bool IsBlank(wchar_t c) noexcept {
    return c == L' ' || c == L'\t';
}

std::wstring_view Trimmed(std::wstring_view text) noexcept {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

WideString Quoted(std::wstring_view text) {
    return L"\"" + WideString(text) + L"\"";
}

// Control characters have no place in a text the shell shows. A NUL is what a UTF-16 file read as
// UTF-8 is full of, and a carriage return inside a line what a file with the old Mac line ends is
// made of (all one line, which would otherwise pass as a single comment).
std::optional<WideString> ControlCharacterProblem(std::wstring_view line) {
    for (const wchar_t c : line) {
        if (c == L'\0') return WideString(L"a NUL character (a UTF-16 file needs its byte-order mark)");
        if (c == L'\r') return WideString(L"a carriage return inside a line (lines end with LF or CR LF)");
        if (c < 0x20 && c != L'\t') {
            wchar_t name[16];
            std::swprintf(name, std::size(name), L"U+%04X", static_cast<unsigned>(c));
            return L"the control character " + WideString(name);
        }
    }
    return std::nullopt;
}

WideString UnknownKeyMessage(std::wstring_view key) {
    WideString message = L"unknown key " + Quoted(key);
    for (const ShellTextRow& row : kShellTextRows) {
        if (EqualsIgnoringAsciiCase(key, row.key))
            return message + L" (keys are case-sensitive: " + Quoted(row.key) + L"?)";
    }
    return message;
}

class TextsFileParser {
  public:
    // The problem of one line, or none when the line is well formed.
    std::optional<WideString> ParseLine(std::size_t number, std::wstring_view line) {
        if (line.ends_with(L'\r')) line.remove_suffix(1);
        if (std::optional<WideString> problem = ControlCharacterProblem(line)) return problem;
        const std::wstring_view content = Trimmed(line);
        if (content.empty() || content.front() == L';' || content.front() == L'#') return std::nullopt;
        if (content.front() == L'[') return ParseSection(number, content);
        const std::size_t equals = line.find(L'=');
        if (equals == std::wstring_view::npos)
            return WideString(L"a line that is no [section], Key=Text, comment or blank line");
        return ParseText(number, Trimmed(line.substr(0, equals)), line.substr(equals + 1));
    }

    TextsFile Finish() { return std::move(file_); }

  private:
    std::optional<WideString> ParseSection(std::size_t number, std::wstring_view content) {
        if (!content.ends_with(L']'))
            return WideString(L"a section line must end with \"]\" and nothing after it");
        const std::wstring_view tag = content.substr(1, content.size() - 2);
        if (!IsLanguageTag(tag))
            return L"the section tag " + Quoted(tag) +
                   L" is no language tag: 1 to 84 letters, digits and single hyphens, such as de or pt-BR";
        for (std::size_t i = 0; i < file_.sections.size(); ++i) {
            if (EqualsIgnoringAsciiCase(file_.sections[i].tag, tag))
                return L"the section [" + WideString(tag) + L"] appears a second time (first on line " +
                       std::to_wstring(sectionLines_[i]) + L")";
        }
        file_.sections.push_back({WideString(tag), {}});
        sectionLines_.push_back(number);
        keyLines_ = {};
        return std::nullopt;
    }

    std::optional<WideString> ParseText(std::size_t number, std::wstring_view key, std::wstring_view text) {
        if (key.empty()) return WideString(L"a Key=Text line without its key");
        const std::optional<ShellText> named = ShellTextByKey(key);
        if (!named) return UnknownKeyMessage(key);
        if (file_.sections.empty()) return L"the key " + Quoted(key) + L" comes before any [section]";
        const auto row = static_cast<std::size_t>(*named);
        TextsSection& section = file_.sections.back();
        if (keyLines_[row] != 0)
            return L"the key " + Quoted(key) + L" appears a second time in [" + section.tag +
                   L"] (first on line " + std::to_wstring(keyLines_[row]) + L")";
        if (text.size() > kTextMostUnits)
            return L"the text of " + Quoted(key) + L" is " + std::to_wstring(text.size()) +
                   L" UTF-16 units long, more than 1024";
        section.texts[row] = WideString(text);
        keyLines_[row] = number;
        return std::nullopt;
    }

    TextsFile file_;
    std::vector<std::size_t> sectionLines_;  // beside file_.sections
    // Where the current section gave each text, or 0 where it gave none yet.
    std::array<std::size_t, kShellTextCount> keyLines_{};
};

}  // namespace

const TextsSection* FindTextsSection(const TextsFile& file, std::wstring_view tag) noexcept {
    for (const TextsSection& section : file.sections) {
        if (EqualsIgnoringAsciiCase(section.tag, tag)) return &section;
    }
    return nullptr;
}

ParsedTextsFile ParseTextsFile(std::string_view bytes) {
    if (bytes.size() > kTextsFileMostBytes) return TextsFileProblem{0, L"the file is larger than 1 MiB"};
    std::variant<WideString, TextsFileProblem> decoded = DecodeTextsFile(bytes);
    if (auto* problem = std::get_if<TextsFileProblem>(&decoded)) return std::move(*problem);
    const std::wstring_view text = std::get<WideString>(decoded);

    TextsFileParser parser;
    std::size_t number = 1;
    for (std::size_t start = 0; start <= text.size(); ++number) {
        std::size_t end = text.find(L'\n', start);
        if (end == std::wstring_view::npos) end = text.size();
        if (std::optional<WideString> problem = parser.ParseLine(number, text.substr(start, end - start)))
            return TextsFileProblem{number, std::move(*problem)};
        start = end + 1;
    }
    return parser.Finish();
}

}  // namespace tovrak
