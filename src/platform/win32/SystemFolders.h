#pragma once

#include <string>

// Where the running program and the system lie.
namespace sf {

// The full path of the running program.
std::string ProgramPath();
// The Windows folder, as GetWindowsDirectoryW gives it; empty when the system cannot say.
std::string WindowsFolder();
// The user's local application data folder ("C:\Users\name\AppData\Local"); empty when the system
// cannot say.
std::string LocalAppDataFolder();

} // namespace sf
