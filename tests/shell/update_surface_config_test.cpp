#include <gtest/gtest.h>

#include <climits>

#include "shell/update_surface_config.h"
#include "tovrak/renderer.h"

namespace tovrak {
namespace {

TEST(UpdateSurfaceConfiguration, StoresTextsAndClampsTheStartPercentage) {
    const struct {
        int32_t given;
        int stored;
    } cases[] = {{50, 50}, {0, 0}, {95, 95}, {96, 95}, {120, 95}, {-3, 0}, {INT_MIN, 0}, {INT_MAX, 95}};
    for (const auto& c : cases) {
        ASSERT_EQ(ShellConfigureUpdateSurfacePresentation(L"EN", c.given), 0u);
        const PendingSurfaceConfiguration taken = TakePendingSurfaceConfiguration();
        EXPECT_EQ(taken.startPercent, c.stored) << c.given;
        EXPECT_EQ(taken.language, L"EN");
    }
}

TEST(UpdateSurfaceConfiguration, ALaterCallReplacesAndTakingEmptiesIt) {
    ASSERT_EQ(ShellConfigureUpdateSurface(L"C:\\first", L"1x1"), 0u);
    ASSERT_EQ(ShellConfigureUpdateSurface(L"C:\\surface", L"1280x720"), 0u);
    ASSERT_EQ(ShellConfigureUpdateSurfacePresentation(L"en", 40), 0u);

    PendingSurfaceConfiguration taken = TakePendingSurfaceConfiguration();
    EXPECT_EQ(taken.directory, L"C:\\surface");
    EXPECT_EQ(taken.size, L"1280x720");
    EXPECT_EQ(taken.language, L"en");
    EXPECT_EQ(taken.startPercent, 40);

    taken = TakePendingSurfaceConfiguration();
    EXPECT_TRUE(taken.directory.empty() && taken.size.empty() && taken.language.empty());
    EXPECT_EQ(taken.startPercent, 0);

    ASSERT_EQ(ShellConfigureUpdateSurface(L"C:\\surface", L"1280x720"), 0u);
    ASSERT_EQ(ShellConfigureUpdateSurface(nullptr, nullptr), 0u);
    ASSERT_EQ(ShellConfigureUpdateSurfacePresentation(nullptr, 10), 0u);
    taken = TakePendingSurfaceConfiguration();
    EXPECT_TRUE(taken.directory.empty() && taken.size.empty() && taken.language.empty());
}

}  // namespace
}  // namespace tovrak
