#include "host_texts.h"

#include <windows.h>

namespace sample {
namespace {

constexpr HostTexts kChinese{
    L"安装 Tovrak 示例",
    L"一个用 TovrakRenderer 制作的示例安装程序",
    L"卸载 Tovrak 示例",
    L"将从这台电脑移除 Tovrak 示例",
    L"卸载",
    L"请先关闭 Tovrak 示例",
    L"它正在安装位置运行，关闭后即可继续安装",
    L"正在安装 Tovrak 示例",
    L"正在卸载 Tovrak 示例",
    L"请稍候",
    L"安装完成",
    L"Tovrak 示例已安装",
    L"立即体验",
    L"卸载完成",
    L"Tovrak 示例已从这台电脑移除",
    L"完成",
};

constexpr HostTexts kEnglish{
    L"Install the Tovrak sample",
    L"A sample installer made with TovrakRenderer",
    L"Uninstall the Tovrak sample",
    L"The Tovrak sample will be removed from this computer",
    L"Uninstall",
    L"Please close the Tovrak sample first",
    L"It runs from the install location; the installation continues once it is closed",
    L"Installing the Tovrak sample",
    L"Uninstalling the Tovrak sample",
    L"Please wait",
    L"Installation complete",
    L"The Tovrak sample is installed",
    L"Try it now",
    L"Uninstallation complete",
    L"The Tovrak sample was removed from this computer",
    L"Done",
};

constexpr HostTexts kGerman{
    L"Das Tovrak-Beispiel installieren",
    L"Ein Beispiel-Installationsprogramm, gebaut mit TovrakRenderer",
    L"Das Tovrak-Beispiel deinstallieren",
    L"Das Tovrak-Beispiel wird von diesem Computer entfernt",
    L"Deinstallieren",
    L"Bitte schließen Sie zuerst das Tovrak-Beispiel",
    L"Es läuft aus dem Installationsort; die Installation geht weiter, sobald es beendet ist",
    L"Das Tovrak-Beispiel wird installiert",
    L"Das Tovrak-Beispiel wird deinstalliert",
    L"Bitte warten",
    L"Installation abgeschlossen",
    L"Das Tovrak-Beispiel ist installiert",
    L"Jetzt ausprobieren",
    L"Deinstallation abgeschlossen",
    L"Das Tovrak-Beispiel wurde von diesem Computer entfernt",
    L"Fertig",
};

bool StartsWithIgnoringCase(const std::wstring& text, const wchar_t* prefix) {
    const int length = static_cast<int>(wcslen(prefix));
    return static_cast<int>(text.size()) >= length &&
           ::CompareStringOrdinal(text.c_str(), length, prefix, length, TRUE) == CSTR_EQUAL &&
           (static_cast<int>(text.size()) == length || text[length] == L'-');
}

std::wstring UserLanguage() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (!::LCIDToLocaleName(::GetUserDefaultUILanguage(), name, LOCALE_NAME_MAX_LENGTH, 0)) return L"";
    return name;
}

bool IsTraditionalChinese(const std::wstring& tag) {
    for (const wchar_t* marker : {L"-Hant", L"-TW", L"-HK", L"-MO"}) {
        if (tag.find(marker) != std::wstring::npos && tag.find(L"-Hans") == std::wstring::npos) return true;
    }
    return false;
}

}  // namespace

const HostTexts& HostTextsFor(const std::wstring& language) {
    const std::wstring tag = language.empty() ? UserLanguage() : language;
    if (StartsWithIgnoringCase(tag, L"zh") && !IsTraditionalChinese(tag)) return kChinese;
    if (StartsWithIgnoringCase(tag, L"de")) return kGerman;
    return kEnglish;
}

}  // namespace sample
