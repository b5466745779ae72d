#pragma once
// The message of the exception an action raises, for tests that compare the
// texts users read.

#include <functional>

#include "rtl/exceptions.h"

namespace testing_support {

// The message of the rtl::Exception F raises ("(no exception)" when none).
inline rtl::String MessageOf(const std::function<void()>& F) {
    try {
        F();
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return u"(no exception)";
}

}  // namespace testing_support
