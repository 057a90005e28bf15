// Where Cindral writes its own files (the composer's log, temporary burner
// images): beside the program in a directory of the user's (a build tree)
// while it is writable; for a program installed in a system directory
// (/usr/bin...), the user's cache directory, whoever runs it, root too. Never the
// current directory, which for a program started from a menu is whatever the
// desktop chose.
#pragma once

#include <string>

namespace cindral {

struct WorkPlace {
    std::u16string directory;  // ends in a separator
    bool fallback = false;     // not the program's directory
    bool notice = false;       // the program's own directory was refused: say so
};

// /usr, /bin, /sbin, /lib*, /opt and /snap, where package managers install.
bool IsSystemDirectory(const std::u16string& directory);

// programDirectory ends in a separator. The cache directory is
// $XDG_CACHE_HOME/cindral/ (an absolute XDG_CACHE_HOME only), else
// ~/.cache/cindral/, created when missing. When neither place can be used the
// program's directory stays, and writing there fails with its own message.
WorkPlace ChooseWorkPlace(const std::u16string& programDirectory);

// The output-log line that says the files went elsewhere.
std::u16string WorkPlaceNotice(const std::u16string& programDirectory, const WorkPlace& place);

}  // namespace cindral
