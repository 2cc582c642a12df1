// Trusts the tests' CA (a DER file) in the Wine prefix it runs in: the
// current user's Root store, after removing every CA of the same name that an
// earlier run left. Only ever run inside the tests' prefix.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>

#include "tests/support/test_files.h"

namespace {

// The certificates of the Root store named like ca.
int CountNamedLike(PCCERT_CONTEXT ca) {
  HCERTSTORE root = CertOpenSystemStoreW(0, L"Root");
  int count = 0;
  PCCERT_CONTEXT found = nullptr;
  while ((found = CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME,
                                             &ca->pCertInfo->Subject, found)) != nullptr) {
    ++count;
  }
  CertCloseStore(root, 0);
  return count;
}

// Wine's CertDeleteCertificateFromStore leaves a Root certificate trusted;
// deleting its registry key, named by its SHA-1 thumbprint, untrusts it.
bool UntrustNamedLike(PCCERT_CONTEXT ca) {
  HCERTSTORE root = CertOpenSystemStoreW(0, L"Root");
  PCCERT_CONTEXT found = nullptr;
  while ((found = CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME,
                                             &ca->pCertInfo->Subject, found)) != nullptr) {
    BYTE thumbprint[20] = {};
    DWORD size = sizeof(thumbprint);
    if (!CertGetCertificateContextProperty(found, CERT_HASH_PROP_ID, thumbprint, &size)) {
      continue;
    }
    wchar_t key[128] = L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";
    for (DWORD i = 0; i < size; ++i) {
      swprintf(key + wcslen(key), 3, L"%02X", thumbprint[i]);
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, key);
  }
  CertCloseStore(root, 0);
  return CountNamedLike(ca) == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::string der = argc == 2 ? quilltest::ReadFileBytes(argv[1]) : std::string();
  const BYTE* bytes = reinterpret_cast<const BYTE*>(der.data());
  PCCERT_CONTEXT ca = CertCreateCertificateContext(X509_ASN_ENCODING, bytes, der.size());
  if (ca == nullptr) {
    std::fprintf(stderr, "usage: trust_test_ca <ca.der> (no certificate)\n");
    return 1;
  }
  // An earlier CA that stayed trusted would let a stale test pass.
  if (!UntrustNamedLike(ca)) {
    std::fprintf(stderr, "trust_test_ca: an earlier CA of this name is still in the Root store\n");
    return 1;
  }
  const bool added = CertAddEncodedCertificateToSystemStoreW(L"Root", bytes, der.size()) &&
                     CountNamedLike(ca) == 1;
  CertFreeCertificateContext(ca);
  if (!added) {
    std::fprintf(stderr, "trust_test_ca: not added (%lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
