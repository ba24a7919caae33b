// Making the transform that turns one package into another.
#pragma once

#include <string>

#include "tools/msitransform/package.h"
#include "tools/msitransform/transform.h"

namespace setup::msi {

// The validation and suppressed error conditions written into a language
// transform's summary information (see generate.cpp).
constexpr int32_t kLanguageTransformFlags = (kValidateProduct << 16) | kErrorChangeCodepage;

// Fills transform with what turns base into localized: rows inserted,
// updated and deleted, tables added and dropped, strings in localized's
// code page, and the summary information. False with the reason when the
// difference is one this tool does not write (a table whose columns
// differ between the packages) or a table cannot be read.
bool GenerateTransform(PackageReader& base, PackageReader& localized, Transform& transform,
                       std::string& error);

}  // namespace setup::msi
