// Writes the fuzzer's seed packets into the folder given as the argument:
// the system's own packet shape, an empty packet, one column of every class
// with values and nulls, parameters of every kind the provider writes, and
// the edge shapes of names and blobs.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "datapacket/ds_intf.h"
#include "every_class.h"

using namespace datapacket;

namespace {

bool Failed = false;

void Check(DBResult R, const char* What) {
    if (R == DBERR_NONE) return;
    std::fprintf(stderr, "%s: %s\n", What, ErrorMessage(R));
    Failed = true;
}

TDSDataPacketFldDesc Column(const char* Name, std::uint32_t Type) {
    TDSDataPacketFldDesc D;
    std::strncpy(D.szFieldName, Name, sizeof(D.szFieldName) - 1);
    D.iFieldType = Type;
    return D;
}

void AddInteger(IDSWriter& W, std::uint32_t Area, const char* Name, std::int32_t V) {
    Check(W.AddAttribute(Area, Name, 0x10004, 4, &V), Name);
}

void AddText(IDSWriter& W, std::uint32_t Area, const char* Name, const std::string& Text) {
    const std::string Data = Text + '\0';
    Check(W.AddAttribute(Area, Name, 0x490002, static_cast<std::uint32_t>(2 + Data.size()), Data.data()), Name);
}

void Status(IDSWriter& W) { Check(W.PutField(fldIsValue, 1, "\0"), "status"); }
void Value(IDSWriter& W, const void* Src, std::size_t Len) {
    Check(W.PutField(fldIsValue, static_cast<std::uint32_t>(Len), Src), "value");
}
void Null(IDSWriter& W) { Check(W.PutField(fldIsNull, 0, nullptr), "null"); }

void Save(const std::string& Folder, const char* Name, IDSWriter& W) {
    rtl::TBytes Packet;
    Check(W.GetDataPacket(Packet), Name);
    std::ofstream(Folder + "/" + Name, std::ios::binary)
        .write(reinterpret_cast<const char*>(Packet.data()), static_cast<std::streamsize>(Packet.size()));
}

void Dictionary(const std::string& Folder) {
    auto W = CreateDSWriter();
    Check(W->Init_Sequential(1, 3), "init");
    Check(W->AddColumnDesc(Column("lx_id", 0x10008)), "id");
    Check(W->AddColumnDesc(Column("lx_word", 0x4A0001)), "word");
    AddInteger(*W, dsAttrField, "WIDTH", 100);
    Check(W->AddColumnDesc(Column("lx_text", 0x4B0004)), "text");
    AddText(*W, dsAttrField, "SUBTYPE", "WideText");
    AddInteger(*W, dsAttrPacket, "LCID", 0);
    const std::u16string Words[] = {u"кітап", u"", u"сөз"};
    for (std::int64_t I = 0; I < 3; ++I) {
        Status(*W);
        Value(*W, &I, 8);
        Value(*W, Words[I].data(), Words[I].size() * 2);
        if (I == 1) Null(*W);
        else Value(*W, u"Дұрыс жазылуы", 26);
    }
    Save(Folder, "dictionary.bin", *W);
}

void Empty(const std::string& Folder) {
    auto W = CreateDSWriter();
    Check(W->Init_Sequential(1, 1), "init");
    Check(W->AddColumnDesc(Column("A", 0x10004)), "a");
    Save(Folder, "empty.bin", *W);
}

void EveryClass(const std::string& Folder) {
    struct TCol {
        const char* Name;
        std::uint32_t Type;
        std::int32_t Width;
    } const Cols[] = {
        // clang-format off
        {"i1", 0x10001, 0},  {"i2", 0x10002, 0},  {"i4", 0x10004, 0},  {"u8", 0x20008, 0},
        {"b2", 0x30002, 0},  {"f8", 0x40008, 0},  {"f10", 0x4000A, 0}, {"s4", 0x1B0004, 0},
        {"bcd", 0x50012, 32}, {"d", 0x60004, 0},  {"t", 0x70004, 0},   {"ts", 0x80008, 0},
        {"z", 0x490001, 4},  {"w", 0x4A0002, 300}, {"vb", 0x4B0001, 8}, {"by", 0xB0004, 0},
        {"blob", 0x4B0004, 0}, {"sts", 0x110010, 0}, {"fmt", 0x120012, 32}, {"tso", 0x240014, 0},
    };
    // clang-format on
    constexpr std::uint16_t N = sizeof(Cols) / sizeof(Cols[0]);
    auto W = CreateDSWriter();
    Check(W->Init_Sequential(1, N), "init");
    for (const TCol& C : Cols) {
        Check(W->AddColumnDesc(Column(C.Name, C.Type)), C.Name);
        if (C.Width) AddInteger(*W, dsAttrField, "WIDTH", C.Width);
    }
    const std::uint8_t Bytes[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    for (int Row = 0; Row < 2; ++Row) {
        Status(*W);
        for (std::uint16_t J = 0; J < N; ++J) {
            if ((J + Row) % 3 == 0) {
                Null(*W);
            } else if (Cols[J].Type & dsVaryingFldType) {
                Value(*W, "abcdefgh", Cols[J].Type == 0x4B0004 ? 8 : 3);
            } else {
                Value(*W, Bytes, FieldSizeOf(Cols[J].Type));
            }
        }
    }
    Save(Folder, "every_class.bin", *W);
}

void Parameters(const std::string& Folder) {
    auto W = CreateDSWriter();
    Check(W->Init_Sequential(1, 2), "init");
    Check(W->AddColumnDesc(Column(std::string(31, 'n').c_str(), 0x10004)), "long");
    AddText(*W, dsAttrField, "FIELDNAME", std::string(40, 'n'));
    AddText(*W, dsAttrField, "ORIGIN", "lx_items.lx_id");
    AddText(*W, dsAttrField, "SUBTYPE", "Autoinc");
    Check(W->AddColumnDesc(Column("memo", 0x4B0004)), "memo");
    AddText(*W, dsAttrField, "SUBTYPE", "Unheard");
    const std::int16_t Small = -5;
    const std::uint8_t Byte = 7;
    const float Single = 1.5f;
    const double Double = 45000.25;
    const std::uint16_t True = 0xFFFF;
    // clang-format off
    const std::uint8_t Ints[] = {2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
    const std::uint8_t Raw[] = {3, 0, 0, 0, 9, 8, 7};
    // clang-format on
    Check(W->AddAttribute(dsAttrPacket, "SMALL", 0x10002, 2, &Small), "small");
    Check(W->AddAttribute(dsAttrPacket, "BYTE", 0x10001, 1, &Byte), "byte");
    Check(W->AddAttribute(dsAttrPacket, "SINGLE", 0x40004, 4, &Single), "single");
    Check(W->AddAttribute(dsAttrPacket, "DOUBLE", 0x40008, 8, &Double), "double");
    Check(W->AddAttribute(dsAttrPacket, "DISABLE_EDITS", 0x30002, 2, &True), "bool");
    Check(W->AddAttribute(dsAttrPacket, "INTS", 0x820004, sizeof(Ints), Ints), "ints");
    Check(W->AddAttribute(dsAttrPacket, "RAW", 0x8B0001, sizeof(Raw), Raw), "raw");
    AddInteger(*W, dsAttrPacket, "MD_SEMANTICS", 3);
    Status(*W);
    const std::int32_t One = 1;
    Value(*W, &One, 4);
    Check(W->PutField(fldIsValue, dsDELAYEDBIT, nullptr), "delayed");
    Save(Folder, "parameters.bin", *W);
}

void RowsOnly(const std::string& Folder) {
    TDSDataPacketFldDesc Cols[] = {Column("a", 0x10004), Column("b", 0x490001), Column("c", 0x10002),
                                   Column("d", 0x10002), Column("e", 0x10002)};
    auto W = CreateDSWriter();
    Check(W->Init(1, 5, Cols), "init");
    const std::int32_t V = 42;
    Status(*W);
    Value(*W, &V, 4);
    Value(*W, "x", 1);
    Null(*W);
    Value(*W, &V, 2);
    Value(*W, &V, 2);
    Save(Folder, "rows_only.bin", *W);
}

// Rows for the fuzzer's store of EveryClassTypes: a rows-only packet.
void EveryClassRows(const std::string& Folder) {
    constexpr std::uint16_t N = sizeof(EveryClassTypes) / sizeof(EveryClassTypes[0]);
    TDSDataPacketFldDesc Cols[N];
    for (std::uint16_t J = 0; J < N; ++J) Cols[J] = Column("c", EveryClassTypes[J]);
    auto W = CreateDSWriter();
    Check(W->Init(1, N, Cols), "init");
    const std::uint8_t Bytes[20] = {9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
    for (int Row = 0; Row < 2; ++Row) {
        Status(*W);
        for (std::uint16_t J = 0; J < N; ++J) {
            const std::uint32_t Type = EveryClassTypes[J];
            if ((J + Row) % 4 == 0) Null(*W);
            else Value(*W, Bytes, Type & dsVaryingFldType ? 4 + Row : FieldSizeOf(Type));
        }
    }
    Save(Folder, "every_class_rows.bin", *W);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const std::string Folder = argv[1];
    Dictionary(Folder);
    Empty(Folder);
    EveryClass(Folder);
    Parameters(Folder);
    RowsOnly(Folder);
    EveryClassRows(Folder);
    return Failed ? 1 : 0;
}
