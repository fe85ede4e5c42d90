#pragma once
// Every fixed text of the shell and of the skins it uses, as named rows. The code reads a row, never a
// literal, so that a translation replaces the whole set in one place. The Chinese column is the
// shell's own face; the English one serves English readers and fills what a translation leaves out.
//
// `{name}` stands for the product's display name and `{percent}` for a percentage, in the rows that
// say so.

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

#include "common/wide_string.h"

namespace tovrak {

enum class ShellText : unsigned char {
    InstallButton,
    UninstallButton,
    InstallTitle,    // {name}
    UninstallTitle,  // {name}
    MoreOptions,
    InstallLocation,
    Diagnostics,
    CloseInstaller,
    AgreementSentence,
    AgreementPrefix,
    UserAgreement,
    AgreementJoiner,
    PrivacyPolicy,
    CreateShortcut,
    ChangeLocation,
    CopyDiagnostics,
    OpenLogFolder,
    ChooseLocationTitle,
    ScrollName,
    NoteKey,
    SystemErrorKey,
    UpdateStarting,
    UpdateInstalling,  // {percent}
    UpdateWaiting,
    ActionPress,
    ActionCheck,
    ActionUncheck,
    ActionJump,
    ActionExpand,
    ActionCollapse,
};

struct ShellTextRow {
    ShellText text;
    // The key a translations file names the text by.
    const wchar_t* key;
    const wchar_t* chinese;
    const wchar_t* english;
};

inline constexpr ShellTextRow kShellTextRows[] = {
    {ShellText::InstallButton, L"InstallButton", L"一键安装", L"Install"},
    {ShellText::UninstallButton, L"UninstallButton", L"卸载", L"Uninstall"},
    {ShellText::InstallTitle, L"InstallTitle", L"安装{name}", L"Install {name}"},
    {ShellText::UninstallTitle, L"UninstallTitle", L"卸载{name}", L"Uninstall {name}"},
    {ShellText::MoreOptions, L"MoreOptions", L"更多选项", L"More options"},
    {ShellText::InstallLocation, L"InstallLocation", L"安装位置", L"Install location"},
    {ShellText::Diagnostics, L"Diagnostics", L"诊断信息", L"Diagnostics"},
    {ShellText::CloseInstaller, L"CloseInstaller", L"关闭安装器", L"Close installer"},
    {ShellText::AgreementSentence, L"AgreementSentence", L"同意用户协议与隐私政策",
     L"I agree to the Terms of Use and the Privacy Policy"},
    {ShellText::AgreementPrefix, L"AgreementPrefix", L"同意", L"I agree to the"},
    {ShellText::UserAgreement, L"UserAgreement", L"《用户协议》", L"Terms of Use"},
    {ShellText::AgreementJoiner, L"AgreementJoiner", L"", L"and the"},
    {ShellText::PrivacyPolicy, L"PrivacyPolicy", L"《隐私政策》", L"Privacy Policy"},
    {ShellText::CreateShortcut, L"CreateShortcut", L"创建桌面快捷方式", L"Create a desktop shortcut"},
    {ShellText::ChangeLocation, L"ChangeLocation", L"更改", L"Change"},
    {ShellText::CopyDiagnostics, L"CopyDiagnostics", L"复制诊断信息", L"Copy diagnostics"},
    {ShellText::OpenLogFolder, L"OpenLogFolder", L"打开日志目录", L"Open log folder"},
    {ShellText::ChooseLocationTitle, L"ChooseLocationTitle", L"选择安装位置", L"Choose where to install"},
    {ShellText::ScrollName, L"ScrollName", L"展开内容", L"Expanded content"},
    {ShellText::NoteKey, L"NoteKey", L"说明", L"Note"},
    {ShellText::SystemErrorKey, L"SystemErrorKey", L"系统错误", L"System error"},
    {ShellText::UpdateStarting, L"UpdateStarting", L"正在启动", L"Starting"},
    {ShellText::UpdateInstalling, L"UpdateInstalling", L"正在安装更新 {percent}%",
     L"Installing update {percent}%"},
    {ShellText::UpdateWaiting, L"UpdateWaiting", L"正在更新，请稍候", L"Updating, please wait"},
    {ShellText::ActionPress, L"ActionPress", L"按下", L"Press"},
    {ShellText::ActionCheck, L"ActionCheck", L"选中", L"Check"},
    {ShellText::ActionUncheck, L"ActionUncheck", L"清除", L"Uncheck"},
    {ShellText::ActionJump, L"ActionJump", L"跳转", L"Jump"},
    {ShellText::ActionExpand, L"ActionExpand", L"展开", L"Expand"},
    {ShellText::ActionCollapse, L"ActionCollapse", L"折叠", L"Collapse"},
};

inline constexpr std::size_t kShellTextCount = std::size(kShellTextRows);

constexpr bool RowsFollowTheirNames() noexcept {
    for (std::size_t i = 0; i < kShellTextCount; ++i) {
        if (static_cast<std::size_t>(kShellTextRows[i].text) != i) return false;
    }
    return true;
}
static_assert(RowsFollowTheirNames(), "a row stands at its name's place");

constexpr const ShellTextRow& RowOf(ShellText text) noexcept {
    return kShellTextRows[static_cast<std::size_t>(text)];
}

// The text a translations file names `key`, matched exactly (letter case included); none for a key
// that is no row's.
std::optional<ShellText> ShellTextByKey(std::wstring_view key) noexcept;

// Diagnostics keys that hosts write in an older wording, and the wording the panel shows for them.
// They are matched on the host's own text, whatever language the shell speaks.
struct RenamedDiagnosticsKey {
    const wchar_t* written;
    const wchar_t* shown;
};
inline constexpr RenamedDiagnosticsKey kRenamedDiagnosticsKeys[] = {
    {L"失败步骤", L"失败阶段"},
    {L"错误代码", L"错误码"},
};
// A host's note that a system component is missing, followed by the component's name.
inline constexpr std::wstring_view kMissingComponentPrefix = L"安装组件未提供 Windows";

// One full set of texts, resolved once (when a shell opens or a skin is configured) and read by
// name, never searched. A set is a row of views into the built-in columns or into the set's own
// copies of translated texts, so copying one allocates nothing.
class ShellTexts {
  public:
    // The Chinese column.
    ShellTexts() noexcept;
    static const ShellTexts& English() noexcept;
    // `base` with each text that `replacements` holds taken from there instead.
    using Replacements = std::array<std::optional<WideString>, kShellTextCount>;
    ShellTexts(const ShellTexts& base, Replacements replacements);

    std::wstring_view operator[](ShellText text) const noexcept {
        return views_[static_cast<std::size_t>(text)];
    }
    // The Chinese column as it is built in, for which the design's rectangles were measured.
    bool IsBuiltInChinese() const noexcept { return builtInChinese_; }

  private:
    std::array<std::wstring_view, kShellTextCount> views_{};
    bool builtInChinese_ = true;
    std::shared_ptr<const Replacements> owned_;
};

// The texts in force for every shell opened and every skin configured from now on: the Chinese
// column until a host chooses others. Process-wide, like the other configuration calls' state.
const ShellTexts& CurrentShellTexts() noexcept;
void SetCurrentShellTexts(const ShellTexts& texts) noexcept;

// Hands `append` the pieces of `text` with each `{name}` replaced by `name` and each `{percent}` by
// `percent` in decimal; allocates nothing itself.
template <typename Append>
void ExpandShellText(std::wstring_view text, std::wstring_view name, int percent, Append&& append) {
    constexpr std::wstring_view kName = L"{name}";
    constexpr std::wstring_view kPercent = L"{percent}";
    while (!text.empty()) {
        const std::size_t brace = text.find(L'{');
        append(text.substr(0, brace));
        if (brace == std::wstring_view::npos) return;
        text.remove_prefix(brace);
        if (text.starts_with(kName)) {
            append(name);
            text.remove_prefix(kName.size());
        } else if (text.starts_with(kPercent)) {
            wchar_t digits[12];
            std::size_t start = std::size(digits);
            unsigned value =
                percent < 0 ? 0u - static_cast<unsigned>(percent) : static_cast<unsigned>(percent);
            do {
                digits[--start] = static_cast<wchar_t>(L'0' + value % 10);
                value /= 10;
            } while (value != 0);
            if (percent < 0) digits[--start] = L'-';
            append(std::wstring_view(digits + start, std::size(digits) - start));
            text.remove_prefix(kPercent.size());
        } else {
            append(text.substr(0, 1));
            text.remove_prefix(1);
        }
    }
}

// `text` with its `{name}` and `{percent}` filled in.
WideString FillShellText(std::wstring_view text, std::wstring_view name, int percent = 0);

}  // namespace tovrak
