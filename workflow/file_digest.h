#pragma once

#include <string>

namespace rerozadez {

// MD5 of the whole file as lower-case hexadecimal: the full 32 characters, or
// the short form, the 16 characters of digest bytes 5 to 12 (characters 9 to
// 24 of the full form). Empty when the file cannot be opened for reading
// (missing, or held open for writing: reading shares only reading).
std::string GetFileMd5(std::wstring path, bool fullForm);

}  // namespace rerozadez
