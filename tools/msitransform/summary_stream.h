// The summary information stream of a transform: an OLE property set.
#pragma once

#include <string>

#include "tools/msitransform/transform.h"

namespace setup::msi {

// The stream's bytes for summary (code page 1252, ANSI strings).
std::string WriteSummaryStream(const TransformSummary& summary);

// Reads the properties a transform uses; false when the stream is no
// property set or is cut short.
bool ReadSummaryStream(const std::string& bytes, TransformSummary& summary);

}  // namespace setup::msi
