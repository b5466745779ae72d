#pragma once
// The SQLite driver's "Dbx.MetaData" commands. Only the database properties
// ("GetDatabase", one row of 17 columns) are answered.

#include "sql/driver_registry.h"

namespace sql {

class TDBXSqliteMetaDataCommandFactory : public TDBXMetaDataCommandFactory {
public:
    static std::unique_ptr<TRegisteredObject> Create();
    std::unique_ptr<TDBXCommand> CreateCommand(const TDBXContextPtr& Context, TDBXConnection& Connection,
                                               TDBXMorphicCommand& MorphicCommand) override;
};

}  // namespace sql
