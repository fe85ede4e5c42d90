#pragma once
// Translations files: the shell's texts in other languages, one section per language.
//
//   ; a comment, as is a line that begins with "#"
//   [de]
//   InstallButton=Installieren
//   InstallTitle={name} installieren
//
// A file is UTF-8, with or without its byte-order mark, or UTF-16 LE with its mark (FF FE). Lines end
// with LF or CR LF. "[tag]" opens the section of a language tag; "Key=Text" gives one text of the
// section, where the key is a key of kShellTextRows, matched exactly (letter case included, so that a
// misspelt key is reported rather than guessed at), with spaces and tabs around it ignored, and the
// text is everything after the first "=" to the end of the line, as written (an empty text is a text).
// Blank lines and lines that begin with ";" or "#" say nothing; leading spaces and tabs never count.
//
// A file is taken whole or refused whole, for its first problem: any other line, a key before any
// section or twice in one section, an unknown key, a section tag that is no language tag or names a
// section a second time (letter case aside: sections are never merged), a text longer than 1024
// UTF-16 units, a control character other than a tab (a NUL, or a carriage return that is not the
// line's end), text that is not valid UTF-8 or UTF-16, a UTF-16 big-endian mark, or more than 1 MiB.

#include <windows.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <variant>
#include <vector>

#include "common/shell_texts.h"
#include "common/wide_string.h"

namespace tovrak {

inline constexpr std::size_t kTextsFileMostBytes = 1 << 20;
inline constexpr std::size_t kTextMostUnits = 1024;

struct TextsSection {
    WideString tag;  // as the file writes it
    // The texts the section gives, at their rows' places; the others are left to the built-in tables.
    ShellTexts::Replacements texts;
};

struct TextsFile {
    std::vector<TextsSection> sections;  // in the file's order
};

// The section whose tag is `tag`, letter case aside, or null.
const TextsSection* FindTextsSection(const TextsFile& file, std::wstring_view tag) noexcept;

// Why a file was refused: its first problem, on a line counted from 1, or on line 0 when it is the
// file as a whole (its size, or that it is no file on a disk). The message is plain English.
struct TextsFileProblem {
    std::size_t line = 0;
    WideString message;
};

// The system's error when the file could not be opened or read.
struct TextsFileUnreadable {
    DWORD error = ERROR_SUCCESS;
};

using ParsedTextsFile = std::variant<TextsFile, TextsFileProblem>;
using ReadTextsFileResult = std::variant<TextsFile, TextsFileProblem, TextsFileUnreadable>;

// A file from its bytes.
ParsedTextsFile ParseTextsFile(std::string_view bytes);

// A file from the disk. It is opened for reading with others allowed to read it too, and refused by
// its size before it is read, so that a huge file costs nothing.
ReadTextsFileResult ReadTextsFile(const WideString& path);

}  // namespace tovrak
