#include "data/db_error.h"

#include "rtl/component.h"

namespace data {

void DatabaseError(rtl::StringView Message, const rtl::TComponent* Component) {
    if (Component && !Component->Name().empty()) {
        const rtl::TComponent* owner = Component->Owner();
        if (dynamic_cast<const ISubComponent*>(Component) && owner && !owner->Name().empty())
            throw EDatabaseError(rtl::Format(u"%s.%s: %s", {owner->Name(), Component->Name(), Message}));
        throw EDatabaseError(rtl::Format(u"%s: %s", {Component->Name(), Message}));
    }
    throw EDatabaseError(rtl::String(Message));
}

void DatabaseErrorFmt(rtl::StringView Message, std::initializer_list<rtl::FormatArg> Args,
                      const rtl::TComponent* Component) {
    DatabaseError(rtl::Format(Message, Args), Component);
}

}  // namespace data
