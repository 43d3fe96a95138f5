#pragma once

#include <string>

namespace quillon::platform {

// Paths as text: nothing here touches the file system.

// Joins a folder and a name with one '/'.
std::string joinPath(const std::string& folder, const std::string& name);

// The folder part of a path ("" for a bare name, "/" for a file in the root).
std::string parentFolder(const std::string& path);

// The file name of a path: what follows the last "/" or "\" (the whole path when there is none).
std::string fileNameOf(const std::string& path);

// The extension of a path: from the last "." after the last "/" or "\", lower-case; none when
// the only such dot is the path's first character.
std::string extensionOf(const std::string& path);
// The extension as the "…FileFormat" settings keep it: without leading "." or "*".
std::string storedExtension(const std::string& path);

}  // namespace quillon::platform
