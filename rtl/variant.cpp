#include "rtl/variant.h"

#include "rtl/exceptions.h"
#include "rtl/format.h"

namespace rtl {
namespace {

const char16_t* TypeName(TVarType t) {
    switch (t) {
        case TVarType::varEmpty: return u"Empty";
        case TVarType::varNull: return u"Null";
        case TVarType::varInteger: return u"Integer";
        case TVarType::varInt64: return u"Int64";
        case TVarType::varBoolean: return u"Boolean";
        case TVarType::varDouble: return u"Double";
        case TVarType::varString: return u"String";
        case TVarType::varBytes: return u"Array of Byte";
    }
    return u"Unknown";
}

[[noreturn]] void BadCast(TVarType from, const char16_t* to) {
    throw EVariantError(Format(u"Could not convert variant of type (%s) into type (%s)", {TypeName(from), to}));
}

}  // namespace

Variant Variant::Null() {
    Variant v;
    v.FValue = NullTag{};
    return v;
}

std::int64_t Variant::AsInt64() const {
    switch (VarType()) {
        case TVarType::varEmpty: return 0;
        case TVarType::varInteger: return std::get<std::int32_t>(FValue);
        case TVarType::varInt64: return std::get<std::int64_t>(FValue);
        case TVarType::varBoolean: return std::get<bool>(FValue) ? -1 : 0;
        case TVarType::varDouble: return static_cast<std::int64_t>(std::get<double>(FValue));
        case TVarType::varString: return StrToInt64(std::get<String>(FValue));
        default: BadCast(VarType(), u"Int64");
    }
}

std::int32_t Variant::AsInteger() const { return static_cast<std::int32_t>(AsInt64()); }

bool Variant::AsBoolean() const {
    switch (VarType()) {
        case TVarType::varEmpty: return false;
        case TVarType::varBoolean: return std::get<bool>(FValue);
        case TVarType::varString: {
            const String& s = std::get<String>(FValue);
            if (SameText(s, u"True")) return true;
            if (SameText(s, u"False")) return false;
            return StrToInt64(s) != 0;
        }
        case TVarType::varInteger:
        case TVarType::varInt64:
        case TVarType::varDouble: return AsDouble() != 0;
        default: BadCast(VarType(), u"Boolean");
    }
}

double Variant::AsDouble() const {
    switch (VarType()) {
        case TVarType::varEmpty: return 0;
        case TVarType::varInteger: return std::get<std::int32_t>(FValue);
        case TVarType::varInt64: return static_cast<double>(std::get<std::int64_t>(FValue));
        case TVarType::varBoolean: return std::get<bool>(FValue) ? -1 : 0;
        case TVarType::varDouble: return std::get<double>(FValue);
        case TVarType::varString: return static_cast<double>(StrToInt64(std::get<String>(FValue)));
        default: BadCast(VarType(), u"Double");
    }
}

String Variant::AsString() const {
    switch (VarType()) {
        case TVarType::varEmpty: return String();
        case TVarType::varInteger:
        case TVarType::varInt64: return IntToStr(AsInt64());
        case TVarType::varBoolean: return std::get<bool>(FValue) ? u"True" : u"False";
        case TVarType::varDouble: return FloatToStr(std::get<double>(FValue));
        case TVarType::varString: return std::get<String>(FValue);
        default: BadCast(VarType(), u"String");
    }
}

const TBytes& Variant::AsBytes() const {
    if (VarType() != TVarType::varBytes) BadCast(VarType(), u"Array of Byte");
    return std::get<TBytes>(FValue);
}

}  // namespace rtl
