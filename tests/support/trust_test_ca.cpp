// Trusts the TLS tests' CA in the Wine prefix it runs in: removes any CA of
// the same name from the current user's Root store (an earlier run's), then
// adds the one named on the command line. Only ever run inside the tests'
// prefix.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <string>

#include "tests/support/test_files.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trust_test_ca <ca.der>\n");
    return 2;
  }
  const std::string der = quilltest::ReadFileBytes(argv[1]);
  PCCERT_CONTEXT ca = CertCreateCertificateContext(
      X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
  if (ca == nullptr) {
    std::fprintf(stderr, "trust_test_ca: no certificate in the file\n");
    return 1;
  }
  HCERTSTORE root = CertOpenSystemStoreW(0, L"Root");
  if (root == nullptr) {
    std::fprintf(stderr, "trust_test_ca: Root store not opened (%lu)\n", GetLastError());
    return 1;
  }
  PCCERT_CONTEXT earlier = nullptr;
  while ((earlier = CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_SUBJECT_NAME,
                                               &ca->pCertInfo->Subject, nullptr)) != nullptr) {
    CertDeleteCertificateFromStore(earlier);  // also frees the context
  }
  CertCloseStore(root, 0);
  const bool added = CertAddEncodedCertificateToSystemStoreW(
      L"Root", reinterpret_cast<const BYTE*>(der.data()), static_cast<DWORD>(der.size()));
  CertFreeCertificateContext(ca);
  if (!added) {
    std::fprintf(stderr, "trust_test_ca: not added (%lu)\n", GetLastError());
    return 1;
  }
  return 0;
}
