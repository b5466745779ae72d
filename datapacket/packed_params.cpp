#include "datapacket/packed_params.h"

#include <cstring>

#include "datapacket/ds_bytes.h"
#include "datapacket/ds_errors.h"

namespace datapacket {

using namespace data;

namespace {

// The packed form of a parameter list: a tag, the parameter count (16 bits),
// then per parameter its name (a 32-bit count of UTF-16 units, then the
// units), its field type and parameter type (a byte each) and its value (a
// byte of variant type, then the value: strings and bytes with a 32-bit
// count first).
constexpr std::uint8_t ParamsTag[4] = {'P', 'R', 'M', '1'};
constexpr const char16_t* SInvalidParams = u"Invalid parameter list";

void PutU32(rtl::TBytes& Out, std::uint32_t V) {
    const std::size_t at = Out.size();
    Out.resize(at + 4);
    PutLE(Out.data() + at, V);
}

void PutRaw(rtl::TBytes& Out, const void* Data, std::size_t Size) {
    const auto* bytes = static_cast<const std::uint8_t*>(Data);
    Out.insert(Out.end(), bytes, bytes + Size);
}

void PutText(rtl::TBytes& Out, const rtl::String& Text) {
    PutU32(Out, static_cast<std::uint32_t>(Text.size()));
    PutRaw(Out, Text.data(), Text.size() * sizeof(char16_t));
}

// Reads a packed list, refusing anything that runs past its end or holds a
// type no parameter has.
class TParamsReader {
public:
    explicit TParamsReader(const rtl::TBytes& Bytes) : FBytes(Bytes) {}

    const std::uint8_t* Take(std::size_t Size) {
        if (Size > FBytes.size() - FPos) Fail();
        const std::uint8_t* at = FBytes.data() + FPos;
        FPos += Size;
        return at;
    }
    std::uint8_t Byte() { return *Take(1); }
    std::uint32_t U32() { return GetLE<std::uint32_t>(Take(4)); }
    template <typename T>
    T Number() {
        return GetLE<T>(Take(sizeof(T)));
    }
    rtl::String Text() {
        const std::uint32_t units = U32();
        if (units > (FBytes.size() - FPos) / sizeof(char16_t)) Fail();
        rtl::String text(units, u'\0');
        std::memcpy(text.data(), Take(units * sizeof(char16_t)), units * sizeof(char16_t));
        return text;
    }
    rtl::Variant Value() {
        switch (static_cast<rtl::TVarType>(Byte())) {
            case rtl::TVarType::varEmpty: return rtl::Variant();
            case rtl::TVarType::varNull: return rtl::Variant::Null();
            case rtl::TVarType::varInteger: return rtl::Variant(Number<std::int32_t>());
            case rtl::TVarType::varInt64: return rtl::Variant(Number<std::int64_t>());
            case rtl::TVarType::varBoolean: return rtl::Variant(Byte() != 0);
            case rtl::TVarType::varDouble: return rtl::Variant(Number<double>());
            case rtl::TVarType::varString: return rtl::Variant(Text());
            case rtl::TVarType::varBytes: {
                const std::uint32_t size = U32();
                const std::uint8_t* at = Take(size);
                return rtl::Variant(rtl::TBytes(at, at + size));
            }
        }
        Fail();
    }
    bool AtEnd() const { return FPos == FBytes.size(); }
    [[noreturn]] static void Fail() { throw EDBClient(SInvalidParams, 0); }

private:
    const rtl::TBytes& FBytes;
    std::size_t FPos = 0;
};

}  // namespace

rtl::Variant PackageParams(const TParams& Params) {
    if (Params.Count() == 0) return rtl::Variant::Null();
    rtl::TBytes out(std::begin(ParamsTag), std::end(ParamsTag));
    const auto count = static_cast<std::uint16_t>(Params.Count());
    PutRaw(out, &count, 2);
    for (int i = 0; i < count; ++i) {
        const TParam& param = Params.Items(i);
        PutText(out, param.Name);
        out.push_back(static_cast<std::uint8_t>(param.DataType));
        out.push_back(static_cast<std::uint8_t>(param.ParamType));
        const rtl::Variant& value = param.Value;
        out.push_back(static_cast<std::uint8_t>(value.VarType()));
        switch (value.VarType()) {
            case rtl::TVarType::varEmpty:
            case rtl::TVarType::varNull: break;
            case rtl::TVarType::varInteger: {
                const std::int32_t v = value.AsInteger();
                PutRaw(out, &v, sizeof v);
                break;
            }
            case rtl::TVarType::varInt64: {
                const std::int64_t v = value.AsInt64();
                PutRaw(out, &v, sizeof v);
                break;
            }
            case rtl::TVarType::varBoolean: out.push_back(value.AsBoolean() ? 1 : 0); break;
            case rtl::TVarType::varDouble: {
                const double v = value.AsDouble();
                PutRaw(out, &v, sizeof v);
                break;
            }
            case rtl::TVarType::varString: PutText(out, value.AsString()); break;
            case rtl::TVarType::varBytes:
                PutU32(out, static_cast<std::uint32_t>(value.AsBytes().size()));
                PutRaw(out, value.AsBytes().data(), value.AsBytes().size());
                break;
        }
    }
    return rtl::Variant(std::move(out));
}

void UnpackParams(const rtl::Variant& Source, TParams& Dest) {
    if (Source.IsClear()) return;
    if (Source.VarType() != rtl::TVarType::varBytes) TParamsReader::Fail();
    TParamsReader reader(Source.AsBytes());
    if (std::memcmp(reader.Take(sizeof ParamsTag), ParamsTag, sizeof ParamsTag) != 0) TParamsReader::Fail();
    const auto count = reader.Number<std::uint16_t>();
    TParams list;
    for (int i = 0; i < count; ++i) {
        TParam param;
        param.Name = reader.Text();
        const std::uint8_t dataType = reader.Byte();
        const std::uint8_t paramType = reader.Byte();
        if (dataType >= FieldTypeCount || paramType > ptResult) TParamsReader::Fail();
        param.DataType = static_cast<TFieldType>(dataType);
        param.ParamType = static_cast<TParamType>(paramType);
        param.Value = reader.Value();
        list.Add(param);
    }
    if (!reader.AtEnd()) TParamsReader::Fail();
    Dest = std::move(list);
}

}  // namespace datapacket
