// The real Windows backend of the platform interfaces (wide-character API at the boundary,
// UTF-8 inside). Built only for Windows targets.
#pragma once
#include "platform/api.h"

namespace tv::win32 {

// The interface set answering from the running Windows system. Install it with
// tv::platform::Install(tv::win32::RealPlatform()).
const tv::Platform& RealPlatform();

}  // namespace tv::win32
