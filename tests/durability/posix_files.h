#pragma once
// The file part of the platform on POSIX systems, for the native build: the same
// contracts as the Platform table's fileExists, readFile and replaceFile.
#include <string>

#include "platform/platform.h"

namespace marlet::posix {

bool fileExists(const std::string& path);
bool readFile(const std::string& path, std::string& bytes);
// Writes a temporary file beside `path`, flushes it to the disk, renames it over
// `path` and flushes the folder: afterwards the file holds either its old or its
// new content, even if the process or the machine stops at any point. A file
// without any write permission counts as read-only and is left alone.
bool replaceFile(const std::string& path, const std::string& bytes, FileFailure* failure = nullptr);

// Puts the three functions above into `table`.
void useFiles(Platform& table);

}  // namespace marlet::posix
