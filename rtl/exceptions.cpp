#include "rtl/exceptions.h"

#include <utility>

namespace rtl {

Exception::Exception(String message) : Exception(std::move(message), nullptr) {}

Exception::Exception(String message, std::shared_ptr<const Exception> inner)
    : FMessage(std::move(message)), FWhat(StringToUtf8(FMessage)), FInner(std::move(inner)) {}

void Exception::SetMessage(String message) {
    FMessage = std::move(message);
    FWhat = StringToUtf8(FMessage);
}

void Abort() { throw EAbort(u"Operation aborted"); }

}  // namespace rtl
