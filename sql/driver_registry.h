#pragma once
// The process-wide registries: TDBXDriverRegistry (driver classes by name and
// the drivers loaded from them) and TClassRegistry (classes created by name,
// such as metadata command factories), and TDBXDelegateDriver, the counted
// reference through which a connection holds its driver.

#include <mutex>
#include <utility>
#include <vector>

#include "sql/dbx_common.h"

namespace sql {

// A driver class: constructs a driver from its definition.
using TDBXDriverClass = std::unique_ptr<TDBXDriver> (*)(const TDBXDriverDef& DriverDef);

class TDBXDriverRegistry {
public:
    // The process registry, created at start-up; null once the process ends.
    static TDBXDriverRegistry* DBXDriverRegistry();
    // Guards the loaded drivers, their reference counts and the creation of
    // the process connection factory. Taken after the factory lock.
    static std::recursive_mutex& DriverListLock();

    // Adds the class under DriverName unless the name is present (ignoring case).
    static void RegisterDriverClass(const String& DriverName, TDBXDriverClass DriverClass);
    static void UnregisterDriverClass(const String& DriverName);
    // Removes the class, makes an existing process factory forget the
    // driver's properties and frees the loaded driver of that name.
    static void UnloadDriver(const String& DriverName);
    // Removes Driver from the loaded drivers and frees it (last reference gone).
    static void FreeDriver(TDBXDriver* Driver);

    TDBXDriverRegistry();
    ~TDBXDriverRegistry();
    TDBXDriverRegistry(const TDBXDriverRegistry&) = delete;
    TDBXDriverRegistry& operator=(const TDBXDriverRegistry&) = delete;

    // The loaded driver of that name, loaded from its class first when
    // needed; the definition's properties are merged into the driver's.
    // Fails with code 22 "Unknown driver:  %s".
    TDBXDriver& GetDriver(const TDBXDriverDef& DriverDef);
    // The loaded driver whose name equals DriverName with only a-z folded.
    TDBXDriver* FindDriver(StringView DriverName) const;
    void GetRegisteredDriverNames(rtl::TStringList& List) const;
    int LoadedDriverCount() const { return static_cast<int>(FDrivers.size()); }
    // Releases each driver's own reference, last loaded first, then closes
    // the drivers still loaded. Run once when the process ends.
    void Finalize();

private:
    TDBXDriverClass FindClass(StringView DriverName) const;
    void LoadMetaDataCommandFactory(TDBXDriver& Driver);

    std::vector<std::pair<String, TDBXDriverClass>> FDriverClasses;
    std::vector<std::unique_ptr<TDBXDriver>> FDrivers;
};

// A counted stand-in for a loaded driver: it holds one reference for its
// lifetime and forwards every driver operation.
class TDBXDelegateDriver : public TDBXDriver {
public:
    explicit TDBXDelegateDriver(TDBXDriver& Driver);
    ~TDBXDelegateDriver() override;

    TDBXProperties* GetDriverProperties() override { return FDriver.GetDriverProperties(); }
    void InitDriverProperties(std::unique_ptr<TDBXProperties> Properties) override {
        FDriver.InitDriverProperties(std::move(Properties));
    }
    String GetDriverName() const override { return FDriver.GetDriverName(); }
    void SetDriverName(const String& Name) override { FDriver.SetDriverName(Name); }
    std::unique_ptr<TDBXConnection> CreateConnection(TDBXConnectionBuilder& Builder) override {
        return FDriver.CreateConnection(Builder);
    }
    void Close() override { FDriver.Close(); }
    std::unique_ptr<TDBXCommand> CreateMorphCommand(const TDBXContextPtr& Context, TDBXConnection& Connection,
                                                    TDBXMorphicCommand& MorphicCommand) override {
        return FDriver.CreateMorphCommand(Context, Connection, MorphicCommand);
    }
    void GetDriverPropertyNames(rtl::TStringList& List) override { FDriver.GetDriverPropertyNames(List); }
    String GetDriverVersion() override { return FDriver.GetDriverVersion(); }
    TDBXDriver& Driver() const { return FDriver; }

private:
    TDBXDriver& FDriver;
};

class EClassRegistryError : public rtl::Exception {
public:
    using rtl::Exception::Exception;
};

// Anything the class registry can create by name.
class TRegisteredObject {
public:
    virtual ~TRegisteredObject() = default;
};

using TRegisteredClass = std::unique_ptr<TRegisteredObject> (*)();

// Classes created by name (names compare without regard to case).
class TClassRegistry {
public:
    static TClassRegistry& GetClassRegistry();

    // Fails for a null class and for a name already registered with a class.
    void RegisterClass(const String& ClassName, TRegisteredClass Class);
    // Notes the module that would provide ClassName (no class yet).
    void RegisterPackageClass(const String& ClassName, const String& PackageName);
    void UnregisterClass(const String& ClassName);
    bool HasClass(const String& ClassName) const;
    // A new object of the class; an unregistered name fails.
    std::unique_ptr<TRegisteredObject> CreateInstance(const String& ClassName) const;

private:
    struct Entry {
        String Name;
        TRegisteredClass Class = nullptr;
        String Package;
    };
    const Entry* Find(StringView ClassName) const;

    mutable std::recursive_mutex FLock;
    std::vector<Entry> FClasses;
};

// Makes driver commands of one command type.
class TDBXCommandFactory : public TRegisteredObject {
public:
    virtual std::unique_ptr<TDBXCommand> CreateCommand(const TDBXContextPtr& Context, TDBXConnection& Connection,
                                                       TDBXMorphicCommand& MorphicCommand) = 0;
};

// The factory of a driver's "Dbx.MetaData" commands, named in the driver
// property "MetaDataPackageLoader".
class TDBXMetaDataCommandFactory : public TDBXCommandFactory {
public:
    // Registers the class under ClassName unless that name is present.
    static void RegisterMetaDataCommandFactory(const String& ClassName, TRegisteredClass FactoryClass);
};

}  // namespace sql
