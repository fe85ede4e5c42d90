#include "shell/text_fit.h"

#include <algorithm>
#include <string_view>

#include "common/unique_handle.h"
#include "shell/layout_placements.h"
#include "shell/shell_children.h"

namespace tovrak {
namespace {

// The design's agreement row: the box's words start this far into the box, the links sit lower
// than the box, and the words of the row keep this gap between them.
constexpr int kBoxWordsLeft = 29;
constexpr int kAgreementGap = 5;
constexpr int kLinkTopOffset = 4;
constexpr int kLinkHeight = 20;
// The options button keeps this much of its width for its left margin, the arrow and the margins
// around it, and never gets narrower than the design.
constexpr int kPanelToggleChrome = 26;
// The row stops this far short of the options button.
constexpr int kRowClearance = 16;

const ChildPlacement& DesignPlacement(HWND ShellContext::*child) noexcept {
    for (const ChildPlacement& placement : kFacePlacements) {
        if (placement.child == child) return placement;
    }
    return kFacePlacements[0];
}

constexpr ShellText kPanelToggleTexts[] = {ShellText::MoreOptions, ShellText::InstallLocation,
                                           ShellText::Diagnostics};

// The options button for the caption of the present screen, grown to the left from the design's
// right edge.
UnitRect PanelTogglePlace(const ShellContext& shell) noexcept {
    const ChildPlacement& toggle = DesignPlacement(&ShellContext::optionsButton);
    const int width = PanelToggleWidth(shell);
    return UnitRect{toggle.x + toggle.width - width, toggle.y, width, toggle.height};
}

UnitRect AgreementBoxPlace(const ShellContext& shell) noexcept {
    return shell.textFit.agreementBox;
}
UnitRect UserAgreementPlace(const ShellContext& shell) noexcept {
    return shell.textFit.userAgreementLink;
}
UnitRect PrivacyPolicyPlace(const ShellContext& shell) noexcept {
    return shell.textFit.privacyPolicyLink;
}

// The children whose places follow their texts, and where each goes.
struct FittedChild {
    HWND ShellContext::*child;
    UnitRect (*place)(const ShellContext& shell) noexcept;
};
constexpr FittedChild kFittedChildren[] = {
    {&ShellContext::agreementCheckbox, AgreementBoxPlace},
    {&ShellContext::userAgreementLink, UserAgreementPlace},
    {&ShellContext::privacyPolicyLink, PrivacyPolicyPlace},
    {&ShellContext::optionsButton, PanelTogglePlace},
};

// Each measured text gets this much more than its extent: each coordinate of a place is scaled by
// itself, so a place may come out a pixel narrower than its width in units says.
constexpr int kMeasureSlack = 2;

// A text's width in units, rounded up, in the font selected into `dc`.
int WordsWidth(HDC dc, std::wstring_view text, UINT dpi) noexcept {
    if (text.empty()) return 0;
    SIZE extent{};
    if (!::GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &extent)) return 0;
    return (extent.cx * static_cast<int>(kBaseDpi) + static_cast<int>(dpi) - 1) / static_cast<int>(dpi) +
           kMeasureSlack;
}

// Measures the texts at the shell's DPI, once per DPI.
void MeasureTexts(ShellContext& shell) noexcept {
    if (shell.textFit.dpi == shell.dpi) return;
    const WindowDc screen(nullptr);
    if (!screen) return;
    TextFit fit;
    fit.dpi = shell.dpi;
    {
        SelectGuard selectFont(screen.get(), shell.bodyFont.get());
        const auto width = [&](ShellText text) {
            return WordsWidth(screen.get(), shell.texts[text], shell.dpi);
        };
        const ChildPlacement& toggle = DesignPlacement(&ShellContext::optionsButton);
        for (int i = 0; i < 3; ++i)
            fit.panelToggleWidths[i] =
                std::max(toggle.width, kPanelToggleChrome + width(kPanelToggleTexts[i]));

        const ChildPlacement& box = DesignPlacement(&ShellContext::agreementCheckbox);
        int prefix = width(ShellText::AgreementPrefix);
        int userAgreement = width(ShellText::UserAgreement);
        int joiner = width(ShellText::AgreementJoiner);
        int privacyPolicy = width(ShellText::PrivacyPolicy);
        // The row ends short of the widest options button it may meet; the words share what is
        // left in proportion to their widths, and the painter ends each cut one in an ellipsis.
        const int widestToggle =
            *std::max_element(std::begin(fit.panelToggleWidths), std::end(fit.panelToggleWidths));
        const int rowEnd = toggle.x + toggle.width - widestToggle - kRowClearance;
        // Between the box's words and the first link, around the joiner, and between the links.
        const int gaps = kAgreementGap * ((prefix > 0 ? 1 : 0) + (joiner > 0 ? 2 : 1));
        const int room = std::max(0, rowEnd - box.x - kBoxWordsLeft - gaps);
        const int words = prefix + userAgreement + joiner + privacyPolicy;
        if (words > room) {
            const auto share = [&](int part) { return part * room / words; };
            prefix = share(prefix);
            userAgreement = share(userAgreement);
            joiner = share(joiner);
            privacyPolicy = share(privacyPolicy);
        }
        // The gap after the box's words is the box's, so that a click there still ticks it.
        fit.agreementBox =
            UnitRect{box.x, box.y, kBoxWordsLeft + prefix + (prefix > 0 ? kAgreementGap : 0), box.height};
        const int linkTop = box.y + kLinkTopOffset;
        fit.userAgreementWords = userAgreement;
        fit.userAgreementLink =
            UnitRect{fit.agreementBox.right(), linkTop,
                     userAgreement + (joiner > 0 ? kAgreementGap + joiner : 0), kLinkHeight};
        fit.privacyPolicyLink =
            UnitRect{fit.userAgreementLink.right() + kAgreementGap, linkTop, privacyPolicy, kLinkHeight};
    }
    shell.textFit = fit;
}

}  // namespace

void MeasureTextFit(ShellContext& shell) noexcept {
    if (!shell.texts.IsBuiltInChinese()) MeasureTexts(shell);
}

std::optional<UnitRect> FittedPlacement(const ShellContext& shell, HWND ShellContext::*child) noexcept {
    if (shell.texts.IsBuiltInChinese() || shell.textFit.dpi == 0) return std::nullopt;
    for (const FittedChild& fitted : kFittedChildren) {
        if (fitted.child == child) return fitted.place(shell);
    }
    return std::nullopt;
}

int PanelToggleWidth(const ShellContext& shell) noexcept {
    const ChildPlacement& toggle = DesignPlacement(&ShellContext::optionsButton);
    if (shell.texts.IsBuiltInChinese() || shell.textFit.dpi == 0) return toggle.width;
    const ShellText caption = PanelToggleText(shell);
    for (int i = 0; i < 3; ++i) {
        if (kPanelToggleTexts[i] == caption) return shell.textFit.panelToggleWidths[i];
    }
    return toggle.width;
}

UINT CaptionFormat(const ShellContext& shell, UINT format) noexcept {
    return shell.texts.IsBuiltInChinese() ? format : format | DT_END_ELLIPSIS;
}

}  // namespace tovrak
