#pragma once

#include <string>

namespace testsupport {

// Whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
// Writes bytes, replacing the file; false on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace testsupport
