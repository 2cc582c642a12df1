// Trusts the TLS tests' CA (a DER file) in the Wine prefix it runs in: the
// current user's Root store, after removing a CA of the same name that an
// earlier run left. Only ever run inside the tests' prefix.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>

#include "tests/support/test_files.h"

int wmain(int argc, wchar_t** argv) {
  const std::string der = argc == 2 ? quilltest::ReadFileBytes(argv[1]) : std::string();
  const BYTE* bytes = reinterpret_cast<const BYTE*>(der.data());
  PCCERT_CONTEXT ca = CertCreateCertificateContext(X509_ASN_ENCODING, bytes, der.size());
  HCERTSTORE root = CertOpenSystemStoreW(0, L"Root");
  if (ca == nullptr || root == nullptr) {
    std::fprintf(stderr, "usage: trust_test_ca <ca.der> (no certificate, or no Root store)\n");
    return 1;
  }
  PCCERT_CONTEXT earlier = nullptr;
  while ((earlier = CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME,
                                               &ca->pCertInfo->Subject, nullptr)) != nullptr) {
    CertDeleteCertificateFromStore(earlier);  // frees the context too
  }
  CertCloseStore(root, 0);
  CertFreeCertificateContext(ca);
  if (!CertAddEncodedCertificateToSystemStoreW(L"Root", bytes, der.size())) {
    std::fprintf(stderr, "trust_test_ca: not added (%lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
