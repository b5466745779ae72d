#include "rtl/try_finally.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using rtl::TryFinally;

TEST(TryFinally, CleanupRunsOnceAfterTheBodyWhetherItReturnsOrThrows) {
    std::vector<std::string> log;
    TryFinally([&] { log.push_back("body"); }, [&] { log.push_back("cleanup"); });
    EXPECT_EQ(log, (std::vector<std::string>{"body", "cleanup"}));

    log.clear();
    EXPECT_THROW(TryFinally(
                     [&] {
                         log.push_back("body");
                         throw std::runtime_error("body");
                     },
                     [&] { log.push_back("cleanup"); }),
                 std::runtime_error);
    EXPECT_EQ(log, (std::vector<std::string>{"body", "cleanup"}));
}

TEST(TryFinally, HandsBackTheBodysValueComputedBeforeTheCleanup) {
    int state = 1;
    const int value = TryFinally([&] { return state * 10; }, [&] { state = 2; });
    EXPECT_EQ(value, 10);
    EXPECT_EQ(state, 2);

    // A move-only value and a reference both come through.
    auto owned = TryFinally([] { return std::make_unique<int>(7); }, [] {});
    EXPECT_EQ(*owned, 7);
    int& same = TryFinally([&]() -> int& { return state; }, [] {});
    EXPECT_EQ(&same, &state);
}

TEST(TryFinally, AThrowingCleanupPropagatesItsOwnException) {
    // After a body that returned.
    try {
        TryFinally([] {}, [] { throw std::runtime_error("cleanup"); });
        FAIL() << "the cleanup's exception was lost";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cleanup");
    }
    // After a body that threw, in place of the body's.
    try {
        TryFinally([] { throw std::logic_error("body"); }, [] { throw std::runtime_error("cleanup"); });
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "cleanup");
    }
}

}  // namespace
