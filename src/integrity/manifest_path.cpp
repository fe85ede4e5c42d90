// The rules a listed path obeys: it must name a file that a Windows file system can hold under exactly
// that name, below the payload directory, and nothing else (no device, no stream, no way upwards).

#include "common/ordinal_text.h"
#include "integrity/manifest.h"

namespace tovrak {
namespace {

constexpr std::wstring_view kToleratedTopLevelFiles[] = {L".aid-prepared-receipt",
                                                         L"installer-legacy-channel.json"};

bool IsForbiddenUnit(wchar_t unit) noexcept {
    if (unit < 0x20) return true;
    switch (unit) {
        case L'"':
        case L'*':
        case L':':
        case L'<':
        case L'>':
        case L'?':
        case L'\\':
        case L'|':
            return true;
        default:
            return false;
    }
}

// Windows maps these names to devices in every directory, whatever follows their first full stop.
// The superscript digits count because the system treats COM¹ like COM1.
bool IsReservedBaseName(std::wstring_view base) noexcept {
    if (base.size() == 3) {
        return OrdinalEqualsIgnoringCase(base, L"CON") || OrdinalEqualsIgnoringCase(base, L"PRN") ||
               OrdinalEqualsIgnoringCase(base, L"AUX") || OrdinalEqualsIgnoringCase(base, L"NUL");
    }
    if (base.size() == 4) {
        const wchar_t last = base[3];
        const bool deviceDigit =
            (last >= L'1' && last <= L'9') || last == 0x00B9 || last == 0x00B2 || last == 0x00B3;
        const std::wstring_view stem = base.substr(0, 3);
        return deviceDigit &&
               (OrdinalEqualsIgnoringCase(stem, L"COM") || OrdinalEqualsIgnoringCase(stem, L"LPT"));
    }
    return false;
}

bool IsAcceptableComponent(std::wstring_view component) noexcept {
    if (component.empty() || component.size() > kManifestComponentMaxUnits) return false;
    if (component == L"." || component == L"..") return false;
    // The system strips a trailing space or full stop, so such a name could never be found as listed.
    if (component.back() == L' ' || component.back() == L'.') return false;
    return !IsReservedBaseName(component.substr(0, component.find(L'.')));
}

}  // namespace

bool IsToleratedTopLevelName(std::wstring_view name) noexcept {
    for (const std::wstring_view tolerated : kToleratedTopLevelFiles)
        if (OrdinalEqualsIgnoringCase(name, tolerated)) return true;
    return false;
}

bool ParseManifestPath(std::string_view utf8Path, WideString& key) {
    if (utf8Path.empty() || utf8Path.size() > kManifestPathMaxBytes) return false;

    const int byteCount = static_cast<int>(utf8Path.size());
    const int units =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Path.data(), byteCount, nullptr, 0);
    if (units < 1 || static_cast<std::size_t>(units) > kManifestPathMaxUnits) return false;
    WideString path(static_cast<std::size_t>(units), L'\0');
    if (::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Path.data(), byteCount, path.data(),
                              units) != units)
        return false;

    std::size_t componentStart = 0;
    std::size_t components = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != L'/') {
            if (IsForbiddenUnit(path[i])) return false;
            continue;
        }
        if (++components > kManifestMaxComponents) return false;
        if (!IsAcceptableComponent(std::wstring_view(path).substr(componentStart, i - componentStart)))
            return false;
        componentStart = i + 1;
    }

    for (wchar_t& unit : path)
        if (unit == L'/') unit = L'\\';
    key = std::move(path);
    return true;
}

}  // namespace tovrak
