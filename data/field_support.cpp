#include "data/field_support.h"

namespace data::field_support {

bool NotBlob() { return false; }
bool Blob() { return true; }
void AnySize(int) {}

rtl::String Widen(const std::uint8_t* Bytes, std::size_t Count) {
    rtl::String s(Count, u'\0');
    for (std::size_t i = 0; i < Count; ++i) s[i] = Bytes[i];
    return s;
}

std::string Narrow(rtl::StringView Text) {
    std::string s(Text.size(), '\0');
    for (std::size_t i = 0; i < Text.size(); ++i) s[i] = Text[i] < 256 ? static_cast<char>(Text[i]) : '?';
    return s;
}

}  // namespace data::field_support
