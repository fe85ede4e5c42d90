// ShellConfigureTexts: the language and the translations file that choose the texts of every shell
// opened and every skin configured after it, until the next call.

#include <optional>
#include <utility>
#include <variant>
#include <vector>

#include "common/language_tag.h"
#include "common/shell_texts.h"
#include "common/text_choice.h"
#include "common/texts_file.h"
#include "shell/shell_export.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

// Every refusal returns before the texts in force are replaced, so that a refused call changes
// nothing: the tag is checked before the file is touched, and the file is read whole before the
// choice is made.
std::uint32_t ConfigureTexts(const wchar_t* language, const wchar_t* textsFile) {
    const std::wstring_view tag = ArgumentText(language);
    if (!tag.empty() && !IsLanguageTag(tag)) return ERROR_INVALID_PARAMETER;

    std::optional<TextsFile> file;
    if (const std::wstring_view path = ArgumentText(textsFile); !path.empty()) {
        ReadTextsFileResult read = ReadTextsFile(WideString(path));
        if (const auto* unreadable = std::get_if<TextsFileUnreadable>(&read)) return unreadable->error;
        if (std::holds_alternative<TextsFileProblem>(read)) return ERROR_INVALID_DATA;
        file = std::get<TextsFile>(std::move(read));
    }
    const std::vector<WideString> languages =
        tag.empty() ? UserPreferredUiLanguages() : std::vector<WideString>{WideString(tag)};
    SetCurrentShellTexts(ChooseShellTexts(languages, file ? &*file : nullptr));
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace tovrak

extern "C" uint32_t TOVRAK_CALL ShellConfigureTexts(const wchar_t* language,
                                                    const wchar_t* textsFile) noexcept {
    return tovrak::GuardConfigurationExport(tovrak::ConfigureTexts, language, textsFile);
}
