#pragma once
// The first step of reading a translations file: its bytes as UTF-16 text, by its byte-order mark.

#include <string_view>
#include <variant>

#include "common/texts_file.h"
#include "common/wide_string.h"

namespace tovrak {

// The text of a file in UTF-8 (with or without its mark) or in UTF-16 LE (with its mark), checked to
// be well formed; or the problem, on the line where the first ill-formed character stands.
std::variant<WideString, TextsFileProblem> DecodeTextsFile(std::string_view bytes);

}  // namespace tovrak
