#pragma once
// TDBXProperties: the name=value settings of a driver or a connection. Names
// compare without regard to letter case.

#include <any>
#include <functional>
#include <map>
#include <memory>

#include "rtl/string_list.h"
#include "sql/dbx_error.h"

namespace rtl {
class TComponent;
}

namespace sql {

namespace TDBXPropertyNames {
inline constexpr char16_t DriverName[] = u"DriverName";
inline constexpr char16_t Database[] = u"Database";
inline constexpr char16_t FailIfMissing[] = u"FailIfMissing";
inline constexpr char16_t ColumnMetaDataSupported[] = u"ColumnMetaDataSupported";
inline constexpr char16_t ConnectionName[] = u"ConnectionName";
inline constexpr char16_t UserName[] = u"User_Name";
inline constexpr char16_t Password[] = u"Password";
inline constexpr char16_t RowSetSize[] = u"RowSetSize";
inline constexpr char16_t ProductName[] = u"ProductName";
inline constexpr char16_t ProductVersion[] = u"ProductVersion";
inline constexpr char16_t AutoUnloadDriver[] = u"AutoUnloadDriver";
inline constexpr char16_t DriverUnit[] = u"DriverUnit";
inline constexpr char16_t DriverPackageLoader[] = u"DriverPackageLoader";
inline constexpr char16_t MetaDataPackageLoader[] = u"MetaDataPackageLoader";
inline constexpr char16_t DelegateConnection[] = u"DelegateConnection";
}  // namespace TDBXPropertyNames

// Named event methods a caller hands to the driver with its properties,
// passed on unchanged: "ValidatePeerCertificate" holds a
// TValidatePeerCertificateEvent.
using TDBXEvents = std::map<String, std::any>;
inline constexpr char16_t ValidatePeerCertificateEventName[] = u"ValidatePeerCertificate";
// Asked by a driver that makes a secure connection whether to accept the
// certificate the server presents (its text, and its depth in the chain).
using TValidatePeerCertificateEvent =
    std::function<void(rtl::TComponent* Sender, const String& Certificate, int Depth, bool& Accept)>;

class TDBXProperties {
public:
    explicit TDBXProperties(TDBXContextPtr Context = nullptr);
    virtual ~TDBXProperties();
    TDBXProperties(const TDBXProperties&) = delete;
    TDBXProperties& operator=(const TDBXProperties&) = delete;

    // The text after the first "=" of the line named Name, or "".
    String GetValue(StringView Name) const;
    // Replaces or appends the line; an empty Value removes it.
    void SetValue(StringView Name, StringView Value);
    // Appends a line without looking for an existing one.
    void Add(StringView Name, StringView Value);
    // Takes List over whole when empty; otherwise appends each line with its
    // value trimmed.
    void AddProperties(const rtl::TStringList& List);
    // Appends only the lines whose names are not yet present, values trimmed.
    void AddUniqueProperties(const rtl::TStringList& List);
    // Replaces the values of names already present and appends the others.
    void MergeProperties(const rtl::TStringList& List);
    // A new list on the same context holding every line.
    virtual std::unique_ptr<TDBXProperties> Clone() const;

    // True when the value starts with "t" or "T".
    bool GetBoolean(StringView Name) const;
    // The value as an integer (EConvertError when it is not one), -1 when empty.
    int GetInteger(StringView Name) const;
    // The value; an empty one fails with code 29 "%s property not set".
    String GetRequiredValue(StringView Name) const;

    int GetCount() const { return FProperties.Count(); }
    void Clear() { FProperties.Clear(); }
    const rtl::TStringList& GetProperties() const { return FProperties; }
    rtl::TStringList& Properties() { return FProperties; }
    bool HasName(StringView Name) const { return FProperties.IndexOfName(Name) >= 0; }

    const TDBXContextPtr& DBXContext() const { return FDBXContext; }
    void SetDBXContext(TDBXContextPtr Context) { FDBXContext = std::move(Context); }
    // The component whose settings these are (the SQL connection), not owned.
    rtl::TComponent* ComponentOwner() const { return FComponentOwner; }
    void SetComponentOwner(rtl::TComponent* Owner) { FComponentOwner = Owner; }

    const TDBXEvents& Events() const { return FEvents; }
    void SetEvents(const TDBXEvents& Value) { FEvents = Value; }
    void SetEvent(StringView Name, std::any Method) { FEvents[String(Name)] = std::move(Method); }
    // The event registered under Name, or null.
    const std::any* GetEvent(StringView Name) const {
        const auto it = FEvents.find(String(Name));
        return it == FEvents.end() ? nullptr : &it->second;
    }

    // Called after each change.
    std::function<void(TDBXProperties&)> OnChange;

private:
    TDBXEvents FEvents;
    rtl::TStringList FProperties;
    TDBXContextPtr FDBXContext;
    rtl::TComponent* FComponentOwner = nullptr;
};

}  // namespace sql
