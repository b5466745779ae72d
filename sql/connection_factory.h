#pragma once
// TDBXConnectionFactory turns a property list naming a driver into an open
// TDBXConnection. The process factory is found once: from "dbxdrivers.ini"
// and "dbxconnections.ini" beside the executable when the drivers file
// exists, else in memory from the drivers registered in the process.

#include <map>
#include <memory>
#include <mutex>

#include "sql/dbx_common.h"

namespace sql {

class TDBXConnectionFactory;

// One step of a connection's delegation chain (the first has an empty name).
struct TDBXDelegateItem {
    String FName;
    std::unique_ptr<TDBXProperties> FProperties;
    std::unique_ptr<TDBXDelegateItem> FNext;
};

// Builds one connection: finds the driver through the factory and asks it for
// a connection on the first path item's properties.
class TDBXConnectionBuilder {
public:
    TDBXConnectionBuilder(TDBXConnectionFactory& Factory, std::unique_ptr<TDBXDelegateItem> DelegatePath,
                          TDBXContextPtr Context, const TDBXProperties& InputProperties);
    ~TDBXConnectionBuilder();
    TDBXConnectionBuilder(const TDBXConnectionBuilder&) = delete;
    TDBXConnectionBuilder& operator=(const TDBXConnectionBuilder&) = delete;

    // A connection made by the driver, not yet opened.
    std::unique_ptr<TDBXConnection> CreateConnection();

    // For the connection being built: its driver reference (taken over), a
    // copy of its properties, the context to copy.
    std::unique_ptr<TDBXDriver> TakeDelegateDriver() { return std::move(FDelegateDriver); }
    std::unique_ptr<TDBXProperties> CreateConnectionProperties() const;
    const TDBXContextPtr& DBXContext() const { return FDBXContext; }

    const TDBXDelegateItem& DelegatePath() const { return *FDelegatePath; }
    const String& InputConnectionName() const { return FInputConnectionName; }
    const String& InputUserName() const { return FInputUserName; }
    const String& InputPassword() const { return FInputPassword; }
    const TDBXProperties& InputConnectionProperties() const { return FInputConnectionProperties; }

private:
    TDBXProperties& DriverPropertiesFor(const String& DriverName);

    const TDBXProperties& FInputConnectionProperties;
    String FInputConnectionName;
    String FInputUserName;
    String FInputPassword;
    TDBXConnectionFactory& FConnectionFactory;
    std::unique_ptr<TDBXDelegateItem> FDelegatePath;
    TDBXContextPtr FDBXContext;
    std::unique_ptr<TDBXDriver> FDelegateDriver;
    std::unique_ptr<TDBXProperties> FOwnedDriverProperties;
};

class TDBXConnectionFactory {
public:
    TDBXConnectionFactory();
    virtual ~TDBXConnectionFactory();
    TDBXConnectionFactory(const TDBXConnectionFactory&) = delete;
    TDBXConnectionFactory& operator=(const TDBXConnectionFactory&) = delete;

    // The process factory, found or created and opened on the first call.
    static TDBXConnectionFactory& GetConnectionFactory();
    // Installs the process factory; fails with code 29 once one exists or
    // has been retrieved.
    static void SetConnectionFactory(std::unique_ptr<TDBXConnectionFactory> Factory);
    // The configuration files beside an executable in ExecutableFolder: true
    // when the drivers file exists.
    static bool FindConfigurationFiles(StringView ExecutableFolder, String& DriversFile, String& ConnectionsFile);
    // A configuration-file factory, opened; none when neither file exists or
    // opening fails.
    static std::unique_ptr<TDBXConnectionFactory> OpenConnectionFactory(const String& DriversFile,
                                                                        const String& ConnectionsFile);
    // The factory lock, which callers hold around GetConnection.
    static void Lock();
    static void Unlock();

    virtual TDBXTraceEvent GetTraceInfoEvent() const;
    virtual void SetTraceInfoEvent(TDBXTraceEvent Event);
    virtual TDBXErrorEvent GetErrorEvent() const;
    virtual void SetErrorEvent(TDBXErrorEvent Event);
    virtual int GetTraceFlags() const;
    virtual void SetTraceFlags(int Flags);
    // Loads every registered driver and keeps a copy of its properties.
    virtual void LoadDrivers();
    // Forgets the driver's properties.
    virtual void UnloadDriver(const String& DriverName);
    virtual void LoadConnections();
    virtual void DerivedOpen();
    virtual void DerivedClose();
    // Creates the dictionaries and loads drivers and connections (once).
    virtual void Open();
    virtual void Close();
    bool IsOpen() const { return FOpen; }

    // An open connection the caller owns.
    std::unique_ptr<TDBXConnection> GetConnection(const TDBXProperties& ConnectionProperties);
    // The same from a named connection; an unknown name fails with code 29.
    std::unique_ptr<TDBXConnection> GetConnection(const String& ConnectionName, const String& UserName,
                                                  const String& Password);
    // A counted reference on the loaded driver of that name.
    std::unique_ptr<TDBXDriver> GetDriver(const String& DriverName);
    std::unique_ptr<TDBXDriver> GetDriver(const String& DriverName, TDBXProperties* DriverProperties);
    // The properties held for the driver, or null.
    TDBXProperties* GetDriverProperties(StringView DriverName) const;
    // The properties of a named connection; an unknown name fails with code 29.
    TDBXProperties& GetConnectionProperties(StringView ConnectionName) const;
    void GetDriverNames(rtl::TStringList& List) const;
    void GetConnectionItems(rtl::TStringList& List) const;
    const TDBXContextPtr& DBXContext() const { return FDBXContext; }

    // The caller's lines, then the named connection's and the driver's lines
    // whose names are not yet present.
    std::unique_ptr<TDBXProperties> CombineDriverProperties(const TDBXProperties& Properties) const;
    // The chain of delegate connections (at most 16 levels).
    std::unique_ptr<TDBXDelegateItem> CreateDelegatePath(const TDBXProperties& Properties) const;

protected:
    struct TextLess {
        bool operator()(const String& a, const String& b) const { return rtl::CompareText(a, b) < 0; }
    };
    using TPropertiesMap = std::map<String, std::unique_ptr<TDBXProperties>, TextLess>;

    std::unique_ptr<TPropertiesMap> FDrivers;
    std::unique_ptr<TPropertiesMap> FConnectionProperties;
    TDBXContextPtr FDBXContext;

private:
    static std::recursive_mutex& FactoryLock();

    bool FOpen = false;
};

// Knows only the drivers registered in the process and no named connections.
class TDBXMemoryConnectionFactory : public TDBXConnectionFactory {};

// Reads driver properties from a drivers file ("Installed Drivers" lists the
// drivers, each with its own section) and named connections from a
// connections file (one section each).
class TDBXIniFileConnectionFactory : public TDBXConnectionFactory {
public:
    TDBXIniFileConnectionFactory(String DriversFile, String ConnectionsFile);
    void LoadDrivers() override;
    void LoadConnections() override;
    const String& DriversFile() const { return FDriversFile; }
    const String& ConnectionsFile() const { return FConnectionsFile; }

private:
    String FConnectionsFile;
    String FDriversFile;
};

}  // namespace sql
