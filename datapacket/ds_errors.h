#pragma once
// The exceptions of the packet layer: EDBClient for the engine's result codes
// as the client dataset raises them, EDSWriter for the provider's packet
// writer. Both carry the engine's message and its code.

#include <cstdint>

#include "data/db_error.h"

namespace datapacket {

class EDBClient : public data::EDatabaseError {
public:
    EDBClient(rtl::String Message, int ErrorCode) : data::EDatabaseError(std::move(Message)), FErrorCode(ErrorCode) {}
    int ErrorCode() const { return FErrorCode; }

private:
    int FErrorCode;
};

class EDSWriter : public rtl::Exception {
public:
    EDSWriter(rtl::String Message, int ErrorCode) : rtl::Exception(std::move(Message)), FErrorCode(ErrorCode) {}
    int ErrorCode() const { return FErrorCode; }

private:
    int FErrorCode;
};

}  // namespace datapacket
