// Placeholder substitution used by log lines and translated texts.
#include "text_format.h"

#include <gtest/gtest.h>

namespace tessary {
namespace {

TEST(TextFormat, SubstitutesEachPlaceholderForm)
{
    EXPECT_EQ(format("Created %{public}s", "/tmp/a b.txt"), "Created /tmp/a b.txt");
    EXPECT_EQ(format("opened by user: %{bool}d", 0), "opened by user: 0");
    EXPECT_EQ(format("broken %{public", "x"), "broken %{public");
    EXPECT_EQ(format("%@ and %s", "one", std::string("two")), "one and two");
    EXPECT_EQ(format("index %d of %lld", 2, 10LL), "index 2 of 10");
    EXPECT_EQ(format("%2$s before %1$s", "first", "second"), "second before first");
    EXPECT_EQ(format("100%% sure"), "100% sure");
    EXPECT_EQ(format("value %s", "%s"), "value %s") << "values are not formatted again";
    EXPECT_EQ(format("missing %s"), "missing %s");
    EXPECT_EQ(format("odd %q %s", "x"), "odd %q x");
    EXPECT_EQ(format("trailing %"), "trailing %");
}

} // namespace
} // namespace tessary
