#pragma once
// TryFinally(body, cleanup): runs body, then cleanup, and runs cleanup also
// when body throws, rethrowing body's exception afterwards. The cleanup is
// written once instead of once after the try and again in a catch (...).
//
// A cleanup that throws behaves as the hand-written form did: after a body
// that returned, its exception propagates; after a body that threw, the
// cleanup's exception propagates in place of the body's.

#include <type_traits>
#include <utility>

namespace rtl {

template <class Body, class Cleanup>
auto TryFinally(Body&& body, Cleanup&& cleanup) -> std::invoke_result_t<Body&> {
    using Result = std::invoke_result_t<Body&>;
    if constexpr (std::is_void_v<Result>) {
        try {
            body();
        } catch (...) {
            cleanup();
            throw;
        }
        cleanup();
    } else {
        // Kept in a local so that the cleanup runs after the value is
        // computed and before it is handed back.
        Result result = [&]() -> Result {
            try {
                return body();
            } catch (...) {
                cleanup();
                throw;
            }
        }();
        cleanup();
        return std::forward<Result>(result);
    }
}

}  // namespace rtl
