#include "platform/file_digest.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

#include "platform/diagnostic_log.h"
#include "platform/process_instance.h"
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

// The provider that serves the whole process.
struct SharedMd5Provider {
  HCRYPTPROV handle = AcquireMd5Provider();
};

// Feeds the whole file into hash, readSize bytes at a time.
Status HashWholeFile(HANDLE file, HCRYPTHASH hash, size_t readSize, const std::string& detail) {
  // A read of nothing would end at once with the digest of an empty file.
  std::vector<BYTE> buffer(readSize > 0 ? readSize : kMd5ReadSize);
  while (true) {
    DWORD read = 0;
    // A read failing midway must not pass for the end of the file: the
    // digest of the part read would describe another file.
    if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      return Status::LastError(StatusStep::kDigestReadFile, detail);
    }
    if (read == 0) {
      return Status::Ok();
    }
    if (!CryptHashData(hash, buffer.data(), read, 0)) {
      return Status::LastError(StatusStep::kDigestHash, detail);
    }
  }
}

}  // namespace

std::string FormatMd5(const unsigned char* digest, bool fullForm) {
  // The short form is the middle eight bytes.
  size_t first = fullForm ? 0 : 4;
  size_t count = fullForm ? kMd5Bytes : 8;
  // By hand: snprintf would link MinGW's whole printf family.
  const char kHex[] = "0123456789abcdef";
  std::string text;
  for (size_t i = first; i < first + count; ++i) {
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 0xf];
  }
  return text;
}

Status GetFileMd5WithReadSize(std::wstring path, bool fullForm, size_t readSize,
                              std::string* digest) {
  digest->clear();
  const std::string detail = LogText(path);
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    return Status::LastError(StatusStep::kDigestOpenFile, detail);
  }
  // Acquiring a provider costs milliseconds (under Wine some tens for the
  // first), and the start-up checks several files: one serves the whole
  // process and is never released. Should it fail, each call tries its own.
  const HCRYPTPROV shared = ProcessInstance<SharedMd5Provider>()->handle;
  ScopedCryptProvider own(shared == 0 ? AcquireMd5Provider() : 0);
  if (shared == 0 && !own.IsValid()) {
    return Status::LastError(StatusStep::kDigestProvider, detail);
  }
  HCRYPTPROV provider = shared != 0 ? shared : own.Get();
  ScopedCryptHash hash;
  if (!CryptCreateHash(provider, CALG_MD5, 0, 0, hash.Receive())) {
    return Status::LastError(StatusStep::kDigestProvider, detail);
  }
  Status hashed = HashWholeFile(file.Get(), hash.Get(), readSize, detail);
  if (!hashed.ok()) {
    return hashed;
  }
  unsigned char value[kMd5Bytes] = {};
  DWORD valueSize = sizeof(value);
  if (!CryptGetHashParam(hash.Get(), HP_HASHVAL, value, &valueSize, 0)) {
    return Status::LastError(StatusStep::kDigestHash, detail);
  }
  if (valueSize != kMd5Bytes) {
    return Status::Failed(StatusStep::kDigestHash, detail + ": not a 16-byte digest");
  }
  *digest = FormatMd5(value, fullForm);
  return Status::Ok();
}

Status GetFileMd5(std::wstring path, bool fullForm, std::string* digest) {
  return GetFileMd5WithReadSize(path, fullForm, kMd5ReadSize, digest);
}

}  // namespace rerozadez
