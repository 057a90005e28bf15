// Small file and working-directory helpers shared by the pages.
#pragma once

#include <optional>
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

// A temporary file that must not outlive the operation that wrote it, however
// that operation ends (a failed download, a lost adapter, an exception).
class TemporaryFile {
  public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

constexpr std::size_t kMaxPath = 260;
// The current directory with a trailing separator (when it still fits in kMaxPath - 1).
std::u16string GetWorkingDirectory();
bool SetWorkingDirectory(const std::u16string& path);

}  // namespace cindral

namespace cindral {

extern const char16_t* const kBurnFileFilter;

// Paths with a space are refused with the "Error!" box; true when refused.
bool RefuseSpaces(const std::u16string& path, IMessagePort& messages);

// "New..." of an NVM burn file: the save dialog, the space rule, then the file is
// created empty (an existing one truncated). Nothing when the operator cancels,
// the path is refused or the file cannot be created.
std::optional<std::u16string> ChooseNewBurnFile(IFileDialogPort& files, IMessagePort& messages);

// "Open..." of an existing file with the given filter, under the space rule.
std::optional<std::u16string> ChooseExistingFile(IFileDialogPort& files, IMessagePort& messages,
                                                 const char16_t* filter,
                                                 const char16_t* defaultExtension = u"");

}  // namespace cindral
