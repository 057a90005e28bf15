// Small file and working-directory helpers shared by the pages.
#pragma once

#include <string>

#include "ports.h"

namespace cindral {

// The file can be opened for reading.
bool FileExists(const std::u16string& path);
// The file can be opened for reading and is not empty.
bool FileHasData(const std::u16string& path);
// Deletes a file that exists; failures are reported through the message port and
// the caller carries on either way. A missing file is left alone silently.
void RemoveFile(const std::u16string& path, IMessagePort& messages);

constexpr std::size_t kMaxPath = 260;
// The current directory with a trailing separator (when it still fits in kMaxPath - 1).
std::u16string GetWorkingDirectory();
bool SetWorkingDirectory(const std::u16string& path);

}  // namespace cindral
