#pragma once
// Field definitions: one TFieldDef per column of a dataset's cursor (with
// child definitions for structured types), kept in a TFieldDefs collection
// whose names compare without regard to letter case; TFieldDefList is the
// flattened, name-indexed view over a collection and all its children.

#include <memory>
#include <unordered_map>
#include <vector>

#include "data/field_types.h"

namespace data {

class TDataSet;
class TFieldDefs;

class TFieldDef {
public:
    TFieldDef(TFieldDefs* Owner, rtl::StringView Name, TFieldType DataType, int Size, bool Required, int FieldNo);
    ~TFieldDef();
    TFieldDef(const TFieldDef&) = delete;
    TFieldDef& operator=(const TFieldDef&) = delete;

    const rtl::String& Name() const { return FName; }
    void SetName(rtl::StringView Value);
    TFieldType DataType() const { return FDataType; }
    void SetDataType(TFieldType Value);
    // With child definitions and no size of its own, the number of children.
    int Size() const;
    // Lets the field class check the size ("Invalid field size").
    void SetSize(int Value);
    int Precision() const { return FPrecision; }
    void SetPrecision(int Value) { FPrecision = Value; }
    TFieldAttributes Attributes() const { return FAttributes; }
    void SetAttributes(TFieldAttributes Value);
    bool Required() const { return FAttributes.Contains(faRequired); }
    void SetRequired(bool Value);
    int FieldNo() const { return FFieldNo; }
    void SetFieldNo(int Value) { FFieldNo = Value; }
    bool InternalCalcField() const { return FInternalCalcField; }
    void SetInternalCalcField(bool Value) { FInternalCalcField = Value; }

    bool HasChildDefs() const;
    TFieldDefs& ChildDefs();
    TFieldDefs* Collection() const { return FOwner; }
    TFieldDef* ParentDef() const;
    TDataSet* DataSet() const;

    // The class the dataset creates for this definition, or null.
    TFieldClass FieldClass() const;
    // Creates the field for this definition, owned by Owner and attached to the
    // dataset (or to ParentField); fails with "Field '%s' is of an unknown type"
    // when no class exists. A field that cannot be attached is freed.
    TField* CreateField(rtl::TComponent* Owner, TField* ParentField = nullptr, rtl::StringView FieldName = {},
                        bool CreateChildren = true);

private:
    void Changed();

    TFieldDefs* FOwner;
    rtl::String FName;
    TFieldType FDataType;
    int FSize = 0;
    int FPrecision = 0;
    TFieldAttributes FAttributes;
    int FFieldNo;
    bool FInternalCalcField = false;
    std::unique_ptr<TFieldDefs> FChildDefs;
};

class TFieldDefs {
public:
    // DataSet is the dataset the definitions describe; ParentDef is set for
    // the child definitions of a structured definition.
    explicit TFieldDefs(TDataSet* DataSet, TFieldDef* ParentDef = nullptr);
    ~TFieldDefs();
    TFieldDefs(const TFieldDefs&) = delete;
    TFieldDefs& operator=(const TFieldDefs&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    TFieldDef* Items(int Index) const;
    TFieldDef* operator[](int Index) const { return Items(Index); }

    // Fails with "Field name missing" for an empty name.
    TFieldDef* Add(rtl::StringView Name, TFieldType DataType, int Size = 0, bool Required = false);
    // A new definition with no name and type ftUnknown, to be filled in.
    TFieldDef* AddFieldDef();
    void Clear();
    // Index of the definition of that name (letter case ignored), or -1.
    int IndexOf(rtl::StringView Name) const;
    // Fails with "Field '%s' not found" when absent.
    TFieldDef* Find(rtl::StringView Name) const;
    // Name itself when no definition has it, else the first of Name_1,
    // Name_2, ... that none has (letter case ignored): the name a column
    // whose name repeats an earlier one is given.
    rtl::String UniqueName(rtl::StringView Name) const;
    // Asks the dataset to initialise its definitions.
    void Update();

    bool HiddenFields() const { return FHiddenFields; }
    void SetHiddenFields(bool Value) { FHiddenFields = Value; }
    bool Updated() const { return FUpdated; }
    void SetUpdated(bool Value) { FUpdated = Value; }
    TDataSet* DataSet() const { return FDataSet; }
    TFieldDef* ParentDef() const { return FParentDef; }

private:
    friend class TFieldDef;
    void Changed();
    void Rehash();

    TDataSet* FDataSet;
    TFieldDef* FParentDef;
    std::vector<std::unique_ptr<TFieldDef>> FItems;
    std::unordered_map<rtl::String, TFieldDef*, rtl::TextHasher, rtl::TextEqual> FHash;
    bool FHiddenFields = false;
    bool FUpdated = false;
};

// The definitions of a collection and of all their children, in order, under
// their full names ("Parent.Child").
class TFieldDefList {
public:
    void Rebuild(const TFieldDefs& Defs);
    int Count() const { return static_cast<int>(FItems.size()); }
    TFieldDef* Items(int Index) const { return FItems[Index].Def; }
    const rtl::String& FullName(int Index) const { return FItems[Index].FullName; }
    int IndexOf(rtl::StringView FullName) const;
    TFieldDef* Find(rtl::StringView FullName) const;

    bool Updated() const { return FUpdated; }
    void SetUpdated(bool Value) { FUpdated = Value; }

private:
    void AddDefs(const TFieldDefs& Defs, const rtl::String& Prefix);
    struct Entry {
        rtl::String FullName;
        TFieldDef* Def;
    };
    std::vector<Entry> FItems;
    std::unordered_map<rtl::String, int, rtl::TextHasher, rtl::TextEqual> FHash;
    bool FUpdated = false;
};

}  // namespace data
