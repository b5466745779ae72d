#pragma once
// The small value types of the provider-support operations of a dataset:
// statement parameters, index definitions, packet attributes and command types.

#include <memory>
#include <vector>

#include "data/field_types.h"
#include "rtl/variant.h"

namespace data {

// clang-format off
enum TPSCommandType {
    ctUnknown, ctQuery, ctTable, ctStoredProc, ctSelect, ctInsert, ctUpdate, ctDelete, ctDDL, ctServerMethod
};
// clang-format on

enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

// One statement parameter: a name, a type and a value.
struct TParam {
    rtl::String Name;
    TFieldType DataType = ftUnknown;
    TParamType ParamType = ptUnknown;
    rtl::Variant Value;
    bool operator==(const TParam&) const = default;
};

// An ordered list of parameters; names compare without regard to letter case.
class TParams {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TParam& Items(int Index) { return FItems.at(Index); }
    const TParam& Items(int Index) const { return FItems.at(Index); }
    TParam& Add(const TParam& Param) {
        FItems.push_back(Param);
        return FItems.back();
    }
    void Clear() { FItems.clear(); }
    TParam* FindParam(rtl::StringView Name) {
        for (auto& p : FItems)
            if (rtl::SameText(p.Name, Name)) return &p;
        return nullptr;
    }
    bool operator==(const TParams&) const = default;

private:
    std::vector<TParam> FItems;
};

enum TIndexOption { ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression, ixNonMaintained };
using TIndexOptions = rtl::Set<TIndexOption>;

struct TIndexDef {
    rtl::String Name;
    rtl::String Fields;  // ";"-separated field names
    TIndexOptions Options;
};
using TIndexDefs = std::vector<TIndexDef>;

// A named value that a dataset adds to the data packets made from it.
struct TPacketAttribute {
    rtl::String Name;
    rtl::Variant Value;
    bool IncludeInDelta = false;
};
using TPacketAttributeList = std::vector<TPacketAttribute>;

}  // namespace data
