#include "platform/api.h"

namespace tv::platform {
namespace {
Platform g_current;
}
Platform& Current() { return g_current; }
void Install(const Platform& p) { g_current = p; }
}  // namespace tv::platform
