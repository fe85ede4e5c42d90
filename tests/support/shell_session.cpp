#include "support/shell_session.h"

#include "support/environment.h"

namespace tovrak::test {

std::wstring SampleAssets() {
    return SourcePath(L"assets");
}

}  // namespace tovrak::test
