#include "workflow/file_digest.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

#include "platform/scoped.h"

namespace rerozadez {
namespace {

const size_t kMd5Bytes = 16;

// 0 when no provider could be had.
HCRYPTPROV AcquireMd5Provider() {
  HCRYPTPROV provider = 0;
  if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
    return 0;
  }
  return provider;
}

}  // namespace

std::string FormatMd5(const unsigned char* digest, bool fullForm) {
  // The short form is the middle eight bytes.
  size_t first = fullForm ? 0 : 4;
  size_t count = fullForm ? kMd5Bytes : 8;
  std::string text;
  char pair[3];
  for (size_t i = first; i < first + count; ++i) {
    snprintf(pair, sizeof(pair), "%02x", digest[i]);
    text += pair;
  }
  return text;
}

std::string GetFileMd5WithReadSize(std::wstring path, bool fullForm, size_t readSize) {
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    return std::string();
  }
  // Acquiring a provider costs milliseconds (under Wine some tens for the
  // first), and the start-up checks several files: one serves the whole
  // process and is never released. Should it fail, each call tries its own.
  static const HCRYPTPROV shared = AcquireMd5Provider();
  ScopedCryptProvider own(shared == 0 ? AcquireMd5Provider() : 0);
  HCRYPTPROV provider = shared != 0 ? shared : own.Get();
  ScopedCryptHash hash;
  if (provider == 0 || !CryptCreateHash(provider, CALG_MD5, 0, 0, hash.Receive())) {
    return std::string();
  }
  std::vector<BYTE> buffer(readSize);
  DWORD read = 0;
  // A read that fails midway ends the digest there, as at the end of the file.
  while (ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr) &&
         read > 0) {
    if (!CryptHashData(hash.Get(), buffer.data(), read, 0)) {
      return std::string();
    }
  }
  unsigned char digest[kMd5Bytes] = {};
  DWORD digestSize = sizeof(digest);
  if (!CryptGetHashParam(hash.Get(), HP_HASHVAL, digest, &digestSize, 0) ||
      digestSize != kMd5Bytes) {
    return std::string();
  }
  return FormatMd5(digest, fullForm);
}

std::string GetFileMd5(std::wstring path, bool fullForm) {
  return GetFileMd5WithReadSize(path, fullForm, kMd5ReadSize);
}

}  // namespace rerozadez
