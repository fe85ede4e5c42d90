#include "support/shell_session.h"

#include "support/environment.h"
#include "tovrak/renderer.h"

namespace tovrak::test {

std::wstring SampleAssets() {
    return SourcePath(L"assets");
}

ShellSession::ShellSession(std::uint32_t mode, const std::wstring& installDirectory,
                           const std::wstring& displayName, const std::wstring& assets)
    : window_(::ShellOpen(assets.c_str(), installDirectory.c_str(), displayName.c_str(), L"Microsoft YaHei",
                          mode)) {}

ShellSession::~ShellSession() {
    if (window_) ::ShellClose();
}

}  // namespace tovrak::test
