#include "sql/driver_registry.h"

#include <algorithm>

#include "rtl/format.h"
#include "sql/connection_factory.h"

namespace sql {

namespace {

// Everything the framework keeps for the process, torn down in order when it
// ends: the connection factory first, then the drivers.
struct TDBXProcessState {
    std::recursive_mutex DriverListLock;
    std::unique_ptr<TDBXDriverRegistry> Registry = std::make_unique<TDBXDriverRegistry>();
    std::unique_ptr<TDBXConnectionFactory> Factory;
    bool FactoryRetrieved = false;
    bool Ended = false;

    ~TDBXProcessState() {
        std::lock_guard lock(DriverListLock);
        Factory.reset();
        Registry->Finalize();
        Ended = true;
        Registry.reset();
    }
};

TDBXProcessState& ProcessState() {
    static TDBXProcessState state;
    return state;
}

// Created with the framework, before any driver registers.
[[maybe_unused]] const bool StartRegistry = (ProcessState(), true);

bool SameAsciiText(StringView a, StringView b) {
    return a.size() == b.size() && rtl::UpperCase(a) == rtl::UpperCase(b);
}

}  // namespace

// ---- process factory slot (used by the connection factory) -----------------

std::unique_ptr<TDBXConnectionFactory>& ProcessConnectionFactorySlot() { return ProcessState().Factory; }
bool& ProcessConnectionFactoryRetrieved() { return ProcessState().FactoryRetrieved; }

// ---- TDBXDriverRegistry -----------------------------------------------------

TDBXDriverRegistry* TDBXDriverRegistry::DBXDriverRegistry() {
    TDBXProcessState& state = ProcessState();
    return state.Ended ? nullptr : state.Registry.get();
}

std::recursive_mutex& TDBXDriverRegistry::DriverListLock() { return ProcessState().DriverListLock; }

TDBXDriverRegistry::TDBXDriverRegistry() = default;
TDBXDriverRegistry::~TDBXDriverRegistry() = default;

void TDBXDriverRegistry::RegisterDriverClass(const String& DriverName, TDBXDriverClass DriverClass) {
    std::lock_guard lock(DriverListLock());
    TDBXDriverRegistry* registry = DBXDriverRegistry();
    if (!registry || registry->FindClass(DriverName)) return;
    registry->FDriverClasses.emplace_back(DriverName, DriverClass);
}

void TDBXDriverRegistry::UnregisterDriverClass(const String& DriverName) {
    std::lock_guard lock(DriverListLock());
    if (TDBXDriverRegistry* registry = DBXDriverRegistry())
        std::erase_if(registry->FDriverClasses,
                      [&](const auto& entry) { return rtl::SameText(entry.first, DriverName); });
}

void TDBXDriverRegistry::UnloadDriver(const String& DriverName) {
    std::lock_guard lock(DriverListLock());
    TDBXDriverRegistry* registry = DBXDriverRegistry();
    if (!registry) return;
    UnregisterDriverClass(DriverName);
    // Only a process factory that exists forgets the driver: one created now
    // would load the registered classes, which no longer include this
    // driver, and so would hold nothing of it to forget.
    if (auto& factory = ProcessConnectionFactorySlot()) factory->UnloadDriver(DriverName);
    if (TDBXDriver* driver = registry->FindDriver(DriverName)) FreeDriver(driver);
}

void TDBXDriverRegistry::FreeDriver(TDBXDriver* Driver) {
    std::lock_guard lock(DriverListLock());
    TDBXProcessState& state = ProcessState();
    if (!state.Registry) return;
    auto& drivers = state.Registry->FDrivers;
    auto it = std::find_if(drivers.begin(), drivers.end(), [&](const auto& d) { return d.get() == Driver; });
    if (it == drivers.end()) return;
    std::unique_ptr<TDBXDriver> freed = std::move(*it);
    drivers.erase(it);
}

TDBXDriverClass TDBXDriverRegistry::FindClass(StringView DriverName) const {
    for (const auto& [name, driverClass] : FDriverClasses)
        if (rtl::SameText(name, DriverName)) return driverClass;
    return nullptr;
}

TDBXDriver* TDBXDriverRegistry::FindDriver(StringView DriverName) const {
    for (const auto& driver : FDrivers)
        if (SameAsciiText(driver->GetDriverName(), DriverName)) return driver.get();
    return nullptr;
}

void TDBXDriverRegistry::GetRegisteredDriverNames(rtl::TStringList& List) const {
    std::lock_guard lock(DriverListLock());
    for (const auto& entry : FDriverClasses) List.Add(entry.first);
}

TDBXDriver& TDBXDriverRegistry::GetDriver(const TDBXDriverDef& DriverDef) {
    std::lock_guard lock(DriverListLock());
    TDBXDriver* driver = FindDriver(DriverDef.FDriverName);
    if (!driver) {
        if (TDBXDriverClass driverClass = FindClass(DriverDef.FDriverName)) {
            std::unique_ptr<TDBXDriver> created = driverClass(DriverDef);
            created->SetDriverName(DriverDef.FDriverName);
            FDrivers.push_back(std::move(created));
            TDBXDriver* loaded = FDrivers.back().get();
            try {
                LoadMetaDataCommandFactory(*loaded);
            } catch (...) {
                std::erase_if(FDrivers, [&](const auto& d) { return d.get() == loaded; });
                throw;
            }
        }
        driver = FindDriver(DriverDef.FDriverName);
    }
    if (!driver)
        RaiseDBXError(DriverDef.FDBXContext.get(), TDBXErrorCodes::DriverInitFailed,
                      rtl::Format(u"Unknown driver:  %s", {DriverDef.FDriverName}));
    if (DriverDef.FDriverProperties) {
        if (TDBXProperties* own = driver->GetDriverProperties()) {
            if (own != DriverDef.FDriverProperties) own->MergeProperties(DriverDef.FDriverProperties->GetProperties());
        } else {
            driver->InitDriverProperties(DriverDef.FDriverProperties->Clone());
        }
    }
    return *driver;
}

void TDBXDriverRegistry::LoadMetaDataCommandFactory(TDBXDriver& Driver) {
    TDBXProperties* properties = Driver.GetDriverProperties();
    if (!properties) return;
    const String loader = properties->GetValue(TDBXPropertyNames::MetaDataPackageLoader);
    const auto comma = loader.find(u',');
    const String className = rtl::Trim(loader.substr(0, comma));
    const String moduleName = comma == String::npos ? String() : rtl::Trim(loader.substr(comma + 1));
    if (!className.empty()) Driver.LoadMetaDataCommandFactory(className, moduleName);
}

void TDBXDriverRegistry::Finalize() {
    std::lock_guard lock(DriverListLock());
    for (std::size_t i = FDrivers.size(); i-- > 0;) {
        if (i < FDrivers.size()) FDrivers[i]->UncacheAtFinalization();
    }
    for (auto& driver : FDrivers) {
        try {
            driver->Close();
        } catch (...) {
        }
    }
}

void TDBXDriver::LoadMetaDataCommandFactory(const String& ClassName, const String& ModuleName) {
    TClassRegistry& classes = TClassRegistry::GetClassRegistry();
    if (!classes.HasClass(ClassName)) {
        if (!FDBXContext) FDBXContext = std::make_shared<TDBXContext>();
        const String unit = FDriverProperties ? FDriverProperties->GetValue(TDBXPropertyNames::DriverUnit) : String();
        FDBXContext->Error(TDBXErrorCodes::DriverInitFailed,
                           rtl::Format(u"Could not find metadata: %s; package: %s. Add %s to your uses.",
                                       {ClassName, ModuleName, unit}));
    }
    std::unique_ptr<TRegisteredObject> instance = classes.CreateInstance(ClassName);
    auto* factory = dynamic_cast<TDBXCommandFactory*>(instance.get());
    if (!factory)
        RaiseDBXError(FDBXContext.get(), TDBXErrorCodes::DriverInitFailed,
                      rtl::Format(u"%s is not a command factory", {ClassName}));
    instance.release();
    FMetaDataCommandFactory.reset(factory);
    TDBXCommandFactory* created = FMetaDataCommandFactory.get();
    AddCommandFactory(
        TDBXCommandTypes::DbxMetaData,
        [created](const TDBXContextPtr& Context, TDBXConnection& Connection, TDBXMorphicCommand& MorphicCommand) {
            return created->CreateCommand(Context, Connection, MorphicCommand);
        });
}

// ---- TDBXDelegateDriver -----------------------------------------------------

namespace {

TDBXDriverDef DefinitionOf(const TDBXDriver& Driver) {
    TDBXDriverDef def;
    def.FDriverName = Driver.GetDriverName();
    def.FDBXContext = Driver.DBXContext();
    return def;
}

}  // namespace

TDBXDelegateDriver::TDBXDelegateDriver(TDBXDriver& Driver) : TDBXDriver(DefinitionOf(Driver)), FDriver(Driver) {
    FDriver.AddReference();
}

TDBXDelegateDriver::~TDBXDelegateDriver() { FDriver.RemoveReference(); }

// ---- TClassRegistry ---------------------------------------------------------

TClassRegistry& TClassRegistry::GetClassRegistry() {
    static TClassRegistry registry;
    return registry;
}

const TClassRegistry::Entry* TClassRegistry::Find(StringView ClassName) const {
    for (const Entry& entry : FClasses)
        if (rtl::SameText(entry.Name, ClassName)) return &entry;
    return nullptr;
}

void TClassRegistry::RegisterClass(const String& ClassName, TRegisteredClass Class) {
    std::lock_guard lock(FLock);
    if (!Class) throw EClassRegistryError(rtl::Format(u"%s class registered with a nil class reference", {ClassName}));
    if (const Entry* entry = Find(ClassName)) {
        if (entry->Class) throw EClassRegistryError(rtl::Format(u"%s class already registered", {ClassName}));
        const_cast<Entry*>(entry)->Class = Class;
        return;
    }
    FClasses.push_back({ClassName, Class, String()});
}

void TClassRegistry::RegisterPackageClass(const String& ClassName, const String& PackageName) {
    std::lock_guard lock(FLock);
    if (const Entry* entry = Find(ClassName)) {
        const_cast<Entry*>(entry)->Package = PackageName;
        return;
    }
    FClasses.push_back({ClassName, nullptr, PackageName});
}

void TClassRegistry::UnregisterClass(const String& ClassName) {
    std::lock_guard lock(FLock);
    std::erase_if(FClasses, [&](const Entry& entry) { return rtl::SameText(entry.Name, ClassName); });
}

bool TClassRegistry::HasClass(const String& ClassName) const {
    std::lock_guard lock(FLock);
    const Entry* entry = Find(ClassName);
    return entry && entry->Class;
}

std::unique_ptr<TRegisteredObject> TClassRegistry::CreateInstance(const String& ClassName) const {
    TRegisteredClass create = nullptr;
    {
        std::lock_guard lock(FLock);
        const Entry* entry = Find(ClassName);
        if (!entry || !entry->Class) throw EClassRegistryError(rtl::Format(u"%s class is not registered", {ClassName}));
        create = entry->Class;
    }
    return create();
}

void TDBXMetaDataCommandFactory::RegisterMetaDataCommandFactory(const String& ClassName,
                                                                TRegisteredClass FactoryClass) {
    TClassRegistry& classes = TClassRegistry::GetClassRegistry();
    if (!classes.HasClass(ClassName)) classes.RegisterClass(ClassName, FactoryClass);
}

}  // namespace sql
