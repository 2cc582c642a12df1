#pragma once

#include <cstddef>
#include <string>

#include "platform/status.h"

namespace rerozadez {

// MD5 of the whole file as lower-case hexadecimal into digest: the full 32
// characters, or the short form, the 16 characters of digest bytes 5 to 12
// (characters 9 to 24 of the full form). On any failure digest is empty and
// the status names the step with Windows' code: kDigestOpenFile (missing, or
// held open for writing: reading shares only reading), kDigestProvider,
// kDigestReadFile (a read failed midway: no digest of the part read) or
// kDigestHash.
Status GetFileMd5(std::wstring path, bool fullForm, std::string* digest);

// How much GetFileMd5 reads at a time (measured: larger reads are faster).
const size_t kMd5ReadSize = 64 * 1024;

// GetFileMd5 with a chosen read size, for the digest benchmark.
Status GetFileMd5WithReadSize(std::wstring path, bool fullForm, size_t readSize,
                              std::string* digest);

// The hexadecimal form of a 16-byte digest, full or short.
std::string FormatMd5(const unsigned char* digest, bool fullForm);

}  // namespace rerozadez
