// The Windows version as the start-up log and the report name it.
#pragma once
#include <string>

#include "platform/api.h"

namespace tv {

// The name of the version table followed by the service-pack text and " (Build N)", for
// example "Microsoft Windows XP Service Pack 3 (Build 2600)"; empty for a combination the
// table does not know (newer Windows versions).
std::string OsVersionText(const OsVersionInfo& v);
// OsVersionText of what GetVersionExA reports; empty when the query fails.
std::string WindowsVersionText();

}  // namespace tv
