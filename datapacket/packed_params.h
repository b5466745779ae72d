#pragma once
// Parameter lists as they travel between a client dataset and a provider:
// packed into a variant of bytes and unpacked again on the other side.

#include "data/provider_support.h"
#include "rtl/variant.h"

namespace datapacket {

// A list without parameters packs to Null.
rtl::Variant PackageParams(const data::TParams& Params);
// Replaces Dest with the list Source holds; Null or unassigned leave Dest as
// it is. Raises EDBClient "Invalid parameter list" for bytes that do not hold
// a packed list.
void UnpackParams(const rtl::Variant& Source, data::TParams& Dest);

}  // namespace datapacket
