#include "tests/support/package_service.h"

#include <windows.h>

#include <wincrypt.h>

namespace quilltest {

std::string Md5Hex(const std::string& bytes) {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  BYTE digest[16] = {};
  DWORD size = sizeof(digest);
  const bool done =
      CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
      CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
      CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()),
                    static_cast<DWORD>(bytes.size()), 0) &&
      CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0);
  if (hash != 0) {
    CryptDestroyHash(hash);
  }
  if (provider != 0) {
    CryptReleaseContext(provider, 0);
  }
  std::string text;
  for (DWORD i = 0; done && i < size; ++i) {
    text += "0123456789abcdef"[digest[i] >> 4];
    text += "0123456789abcdef"[digest[i] & 15];
  }
  return text;
}

HttpRoute PackageService::OfferReply(const std::string& version, const std::string& bytes,
                                     const std::string& downloadUrl) {
  HttpRoute reply;
  reply.contentType = "application/json";
  reply.body = "{\"RES\":\"SUCCESS\",\"VerName\":\"" + version + "\",\"DownloadURL\":\"" +
               downloadUrl + "\",\"Size\":\"" + std::to_string(bytes.size()) + "\",\"FPMD5\":\"" +
               Md5Hex(bytes) + "\"}";
  return reply;
}

void PackageService::Offer(const std::string& version, const std::string& bytes,
                           const std::string& path) {
  SetRoute(kQueryPath, OfferReply(version, bytes, BaseUrl() + path));
  HttpRoute file;
  file.body = bytes;
  SetRoute(path, file);
}

int PackageService::RequestsFor(const std::string& path) const {
  int count = 0;
  for (const RecordedRequest& request : Requests()) {
    count += request.target.compare(0, path.size(), path) == 0 ? 1 : 0;
  }
  return count;
}

}  // namespace quilltest
