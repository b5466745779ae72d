#pragma once
// The message of the EDatabaseError that an action raises, or a marker when
// it raises none or another kind of exception.

#include <string>

#include "data/db_error.h"

namespace testing_data {

template <class F>
std::string DbErrorOf(F&& Action) {
    try {
        Action();
    } catch (const data::EDatabaseError& e) {
        return rtl::StringToUtf8(e.Message());
    } catch (const rtl::Exception& e) {
        return "<other exception> " + rtl::StringToUtf8(e.Message());
    }
    return "<no error>";
}

inline std::string U8(const rtl::String& s) { return rtl::StringToUtf8(s); }

}  // namespace testing_data
