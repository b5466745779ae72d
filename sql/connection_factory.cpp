#include "sql/connection_factory.h"

#include "rtl/files.h"
#include "rtl/format.h"
#include "rtl/ini_file.h"
#include "sql/driver_registry.h"

namespace sql {

// The process factory's slot, kept with the driver registry so that the two
// are torn down in order.
std::unique_ptr<TDBXConnectionFactory>& ProcessConnectionFactorySlot();
bool& ProcessConnectionFactoryRetrieved();

namespace {

constexpr int MaxDelegationDepth = 16;

}  // namespace

// ---- TDBXConnectionBuilder --------------------------------------------------

TDBXConnectionBuilder::TDBXConnectionBuilder(TDBXConnectionFactory& Factory,
                                             std::unique_ptr<TDBXDelegateItem> DelegatePath, TDBXContextPtr Context,
                                             const TDBXProperties& InputProperties)
    : FInputConnectionProperties(InputProperties),
      FInputConnectionName(InputProperties.GetValue(TDBXPropertyNames::ConnectionName)),
      FInputUserName(InputProperties.GetValue(TDBXPropertyNames::UserName)),
      FInputPassword(InputProperties.GetValue(TDBXPropertyNames::Password)),
      FConnectionFactory(Factory),
      FDelegatePath(std::move(DelegatePath)),
      FDBXContext(std::move(Context)) {}

TDBXConnectionBuilder::~TDBXConnectionBuilder() = default;

std::unique_ptr<TDBXProperties> TDBXConnectionBuilder::CreateConnectionProperties() const {
    auto properties = FDelegatePath->FProperties->Clone();
    properties->SetComponentOwner(FDelegatePath->FProperties->ComponentOwner());
    properties->SetEvents(FDelegatePath->FProperties->Events());
    return properties;
}

TDBXProperties& TDBXConnectionBuilder::DriverPropertiesFor(const String& DriverName) {
    const TDBXProperties& connection = *FDelegatePath->FProperties;
    if (TDBXProperties* driver = FConnectionFactory.GetDriverProperties(DriverName)) {
        // Loader settings given with the connection replace the driver's.
        const rtl::TStringList& lines = connection.GetProperties();
        for (const char16_t* name :
             // clang-format off
             {u"DriverUnit", u"DriverPackageLoader", u"DriverAssemblyLoader", u"MetaDataPackageLoader",
              u"MetaDataAssemblyLoader", u"GetDriverFunc", u"LibraryName", u"LibraryNameOsx", u"VendorLib",
              // clang-format on
              u"VendorLibWin64", u"VendorLibOsx"}) {
            const int index = lines.IndexOfName(name);
            const int target = driver->Properties().IndexOfName(name);
            if (index >= 0 && target >= 0) driver->Properties().SetString(target, lines.Strings(index));
        }
        return *driver;
    }
    FOwnedDriverProperties = connection.Clone();
    return *FOwnedDriverProperties;
}

std::unique_ptr<TDBXConnection> TDBXConnectionBuilder::CreateConnection() {
    const String driverName = FDelegatePath->FProperties->GetValue(TDBXPropertyNames::DriverName);
    TDBXProperties& driverProperties = DriverPropertiesFor(driverName);
    FDelegateDriver = FConnectionFactory.GetDriver(driverName, &driverProperties);
    TDBXDriver& driver = *FDelegateDriver;
    // On failure the wrapper is freed with the builder or the half-made connection.
    std::unique_ptr<TDBXConnection> connection = driver.CreateConnection(*this);
    connection->GetConnectionProperties().AddUniqueProperties(driverProperties.GetProperties());
    return connection;
}

// ---- TDBXConnectionFactory --------------------------------------------------

TDBXConnectionFactory::TDBXConnectionFactory() : FDBXContext(std::make_shared<TDBXContext>()) {}
TDBXConnectionFactory::~TDBXConnectionFactory() = default;

std::recursive_mutex& TDBXConnectionFactory::FactoryLock() {
    static std::recursive_mutex lock;
    return lock;
}

void TDBXConnectionFactory::Lock() { FactoryLock().lock(); }
void TDBXConnectionFactory::Unlock() { FactoryLock().unlock(); }

bool TDBXConnectionFactory::FindConfigurationFiles(StringView ExecutableFolder, String& DriversFile,
                                                   String& ConnectionsFile) {
    String folder(ExecutableFolder);
    while (!folder.empty() && folder.back() == rtl::PathDelim) folder.pop_back();
    DriversFile = folder + u"/dbxdrivers.ini";
    ConnectionsFile = folder + u"/dbxconnections.ini";
    // A per-user, then a machine-wide settings store would be asked next for
    // the string values "Driver Registry File" and "Connection Registry File";
    // this platform has none, so only the executable's folder is looked in.
    return rtl::FileExists(DriversFile);
}

std::unique_ptr<TDBXConnectionFactory> TDBXConnectionFactory::OpenConnectionFactory(const String& DriversFile,
                                                                                    const String& ConnectionsFile) {
    if (!rtl::FileExists(DriversFile) && !rtl::FileExists(ConnectionsFile)) return nullptr;
    auto factory = std::make_unique<TDBXIniFileConnectionFactory>(DriversFile, ConnectionsFile);
    try {
        factory->Open();
    } catch (const rtl::Exception&) {
        return nullptr;
    }
    return factory;
}

TDBXConnectionFactory& TDBXConnectionFactory::GetConnectionFactory() {
    std::lock_guard lock(TDBXDriverRegistry::DriverListLock());
    std::unique_ptr<TDBXConnectionFactory>& slot = ProcessConnectionFactorySlot();
    ProcessConnectionFactoryRetrieved() = true;
    if (slot) {
        slot->Open();
        return *slot;
    }
    String driversFile, connectionsFile;
    if (FindConfigurationFiles(rtl::ExtractFilePath(rtl::ExecutableFileName()), driversFile, connectionsFile))
        slot = OpenConnectionFactory(driversFile, connectionsFile);
    if (!slot) {
        slot = std::make_unique<TDBXMemoryConnectionFactory>();
        slot->Open();
    }
    return *slot;
}

void TDBXConnectionFactory::SetConnectionFactory(std::unique_ptr<TDBXConnectionFactory> Factory) {
    std::lock_guard lock(TDBXDriverRegistry::DriverListLock());
    std::unique_ptr<TDBXConnectionFactory>& slot = ProcessConnectionFactorySlot();
    if (slot || ProcessConnectionFactoryRetrieved())
        throw TDBXError(TDBXErrorCodes::InvalidArgument,
                        u"Cannot set this singleton instance more than once or after it has been retrieved one or "
                        u"more times");
    slot = std::move(Factory);
}

TDBXTraceEvent TDBXConnectionFactory::GetTraceInfoEvent() const { return FDBXContext->OnTrace(); }
void TDBXConnectionFactory::SetTraceInfoEvent(TDBXTraceEvent Event) { FDBXContext->SetOnTrace(std::move(Event)); }
TDBXErrorEvent TDBXConnectionFactory::GetErrorEvent() const { return FDBXContext->OnError(); }
void TDBXConnectionFactory::SetErrorEvent(TDBXErrorEvent Event) { FDBXContext->SetOnError(std::move(Event)); }
int TDBXConnectionFactory::GetTraceFlags() const { return FDBXContext->TraceFlags(); }
void TDBXConnectionFactory::SetTraceFlags(int Flags) { FDBXContext->SetTraceFlags(Flags); }

void TDBXConnectionFactory::Open() {
    // Under the driver-list lock, as when the process factory is obtained, so
    // the lock order stays the same everywhere.
    std::lock_guard lock(TDBXDriverRegistry::DriverListLock());
    if (FOpen) return;
    FDrivers = std::make_unique<TPropertiesMap>();
    FConnectionProperties = std::make_unique<TPropertiesMap>();
    FOpen = true;
    try {
        DerivedOpen();
    } catch (...) {
        Close();
        throw;
    }
}

void TDBXConnectionFactory::Close() {
    std::lock_guard lock(TDBXDriverRegistry::DriverListLock());
    DerivedClose();
    FDrivers.reset();
    FConnectionProperties.reset();
    FOpen = false;
}

void TDBXConnectionFactory::DerivedOpen() {
    LoadDrivers();
    LoadConnections();
}

void TDBXConnectionFactory::DerivedClose() {}

void TDBXConnectionFactory::LoadDrivers() {
    rtl::TStringList names;
    if (TDBXDriverRegistry* registry = TDBXDriverRegistry::DBXDriverRegistry())
        registry->GetRegisteredDriverNames(names);
    for (const String& name : names.Lines()) {
        std::unique_ptr<TDBXDriver> driver = GetDriver(name);
        if (TDBXProperties* properties = driver->GetDriverProperties()) (*FDrivers)[name] = properties->Clone();
        else FDrivers->erase(name);
    }
}

void TDBXConnectionFactory::UnloadDriver(const String& DriverName) {
    if (FDrivers) FDrivers->erase(DriverName);
}

void TDBXConnectionFactory::LoadConnections() {}

std::unique_ptr<TDBXDriver> TDBXConnectionFactory::GetDriver(const String& DriverName) {
    return GetDriver(DriverName, GetDriverProperties(DriverName));
}

std::unique_ptr<TDBXDriver> TDBXConnectionFactory::GetDriver(const String& DriverName,
                                                             TDBXProperties* DriverProperties) {
    TDBXDriverDef def;
    def.FDriverName = DriverName;
    def.FDriverProperties = DriverProperties;
    def.FDBXContext = FDBXContext;
    std::lock_guard lock(TDBXDriverRegistry::DriverListLock());
    TDBXDriverRegistry* registry = TDBXDriverRegistry::DBXDriverRegistry();
    if (!registry)
        RaiseDBXError(FDBXContext.get(), TDBXErrorCodes::DriverInitFailed,
                      rtl::Format(u"Unknown driver:  %s", {DriverName}));
    return std::make_unique<TDBXDelegateDriver>(registry->GetDriver(def));
}

TDBXProperties* TDBXConnectionFactory::GetDriverProperties(StringView DriverName) const {
    if (!FDrivers) return nullptr;
    auto it = FDrivers->find(String(DriverName));
    return it == FDrivers->end() ? nullptr : it->second.get();
}

TDBXProperties& TDBXConnectionFactory::GetConnectionProperties(StringView ConnectionName) const {
    if (FConnectionProperties) {
        auto it = FConnectionProperties->find(String(ConnectionName));
        if (it != FConnectionProperties->end()) return *it->second;
    }
    FDBXContext->Error(TDBXErrorCodes::InvalidArgument, rtl::Format(u"Invalid argument:  %s", {ConnectionName}));
}

void TDBXConnectionFactory::GetDriverNames(rtl::TStringList& List) const {
    if (FDrivers)
        for (const auto& entry : *FDrivers) List.Add(entry.first);
}

void TDBXConnectionFactory::GetConnectionItems(rtl::TStringList& List) const {
    if (FConnectionProperties)
        for (const auto& entry : *FConnectionProperties) List.Add(entry.first);
}

std::unique_ptr<TDBXProperties> TDBXConnectionFactory::CombineDriverProperties(const TDBXProperties& Properties) const {
    auto combined = std::make_unique<TDBXProperties>(FDBXContext);
    combined->Properties().Assign(Properties.GetProperties());
    String driverName = combined->GetValue(TDBXPropertyNames::DriverName);
    if (driverName.empty() && FConnectionProperties) {
        const String connectionName = combined->GetValue(TDBXPropertyNames::ConnectionName);
        if (auto it = FConnectionProperties->find(connectionName); it != FConnectionProperties->end()) {
            combined->AddUniqueProperties(it->second->GetProperties());
            driverName = combined->GetValue(TDBXPropertyNames::DriverName);
        }
    }
    if (!driverName.empty())
        if (TDBXProperties* driver = GetDriverProperties(driverName))
            combined->AddUniqueProperties(driver->GetProperties());
    combined->SetComponentOwner(Properties.ComponentOwner());
    combined->SetEvents(Properties.Events());
    return combined;
}

std::unique_ptr<TDBXDelegateItem> TDBXConnectionFactory::CreateDelegatePath(const TDBXProperties& Properties) const {
    auto path = std::make_unique<TDBXDelegateItem>();
    path->FProperties = CombineDriverProperties(Properties);
    TDBXDelegateItem* current = path.get();
    String chain;
    int depth = 0;
    for (;;) {
        const String delegate = current->FProperties->GetValue(TDBXPropertyNames::DelegateConnection);
        if (delegate.empty()) break;
        chain += chain.empty() ? delegate : u", " + delegate;
        if (++depth > MaxDelegationDepth)
            FDBXContext->Error(TDBXErrorCodes::DriverInitFailed,
                               rtl::Format(u"Cannot delegate a connection more than 16 times:  %s", {chain}));
        auto next = std::make_unique<TDBXDelegateItem>();
        next->FName = delegate;
        const rtl::TStringList& lines = current->FProperties->GetProperties();
        if (lines.IndexOfName(delegate + u"." + TDBXPropertyNames::DriverName) >= 0) {
            TDBXProperties own(FDBXContext);
            const String prefix = delegate + u".";
            for (int i = 0; i < lines.Count(); ++i) {
                String name = lines.Names(i);
                if (name.find(u'.') == String::npos) continue;
                if (name.size() > prefix.size() && rtl::SameText(StringView(name).substr(0, prefix.size()), prefix))
                    name.erase(0, prefix.size());
                own.Add(name, lines.ValueFromIndex(i));
            }
            next->FProperties = CombineDriverProperties(own);
        } else {
            next->FProperties = CombineDriverProperties(GetConnectionProperties(delegate));
        }
        current->FNext = std::move(next);
        current = current->FNext.get();
    }
    return path;
}

std::unique_ptr<TDBXConnection> TDBXConnectionFactory::GetConnection(const TDBXProperties& ConnectionProperties) {
    std::unique_ptr<TDBXDelegateItem> path = CreateDelegatePath(ConnectionProperties);
    TDBXConnectionBuilder builder(*this, std::move(path), std::make_shared<TDBXContext>(*FDBXContext),
                                  ConnectionProperties);
    std::unique_ptr<TDBXConnection> connection = builder.CreateConnection();
    connection->Open();
    return connection;
}

std::unique_ptr<TDBXConnection> TDBXConnectionFactory::GetConnection(const String& ConnectionName,
                                                                     const String& UserName, const String& Password) {
    std::unique_ptr<TDBXProperties> properties = GetConnectionProperties(ConnectionName).Clone();
    if (!UserName.empty()) properties->SetValue(TDBXPropertyNames::UserName, UserName);
    if (!Password.empty()) properties->SetValue(TDBXPropertyNames::Password, Password);
    return GetConnection(*properties);
}

// ---- TDBXIniFileConnectionFactory -------------------------------------------

TDBXIniFileConnectionFactory::TDBXIniFileConnectionFactory(String DriversFile, String ConnectionsFile)
    : FConnectionsFile(std::move(ConnectionsFile)), FDriversFile(std::move(DriversFile)) {}

void TDBXIniFileConnectionFactory::LoadDrivers() {
    static constexpr char16_t InstalledDrivers[] = u"Installed Drivers";
    const rtl::TMemIniFile drivers(FDriversFile);
    rtl::TStringList names;
    drivers.ReadSection(InstalledDrivers, names);
    if (names.Count() == 0)
        FDBXContext->Error(TDBXErrorCodes::DriverInitFailed,
                           rtl::Format(u"No \"%s\" defined in %s", {InstalledDrivers, FDriversFile}));
    for (const String& name : names.Lines()) {
        auto properties = std::make_unique<TDBXProperties>(FDBXContext);
        rtl::TStringList lines;
        drivers.ReadSectionValues(name, lines);
        properties->AddProperties(lines);
        (*FDrivers)[name] = std::move(properties);
    }
    // Drivers registered in the process join with the file's settings merged in.
    TDBXConnectionFactory::LoadDrivers();
}

void TDBXIniFileConnectionFactory::LoadConnections() {
    const rtl::TMemIniFile connections(FConnectionsFile);
    rtl::TStringList sections;
    connections.ReadSections(sections);
    for (const String& section : sections.Lines()) {
        auto properties = std::make_unique<TDBXProperties>(FDBXContext);
        rtl::TStringList lines;
        connections.ReadSectionValues(section, lines);
        for (int i = 0; i < lines.Count(); ++i) properties->Add(lines.Names(i), rtl::Trim(lines.ValueFromIndex(i)));
        // The section's name follows its lines as "ConnectionName=".
        properties->Add(TDBXPropertyNames::ConnectionName, section);
        (*FConnectionProperties)[section] = std::move(properties);
    }
}

}  // namespace sql
