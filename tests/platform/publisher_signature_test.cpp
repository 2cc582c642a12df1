// The publisher signature check on programs the build signed with the test
// certificates (their CA trusted in the test prefix only), and the pin of the
// key crypt32 reads from certificates as issued and as crafted to mislead.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <memory>

#include "platform/publisher_signature.h"
#include "platform/scoped.h"
#include "settings/publisher_pins.h"
#include "tests/support/stand_ins.h"
#include "tests/support/test_files.h"

namespace rerozadez {
namespace {

// A certificate of the test PKI (build/test-pki/<name>.pem) as DER.
std::string CertificateDer(const char* name) {
  const std::string pem = quilltest::ReadFileBytes(
      L"Z:" QUILL_TEST_PKI_DIR L"/" + std::wstring(name, name + strlen(name)) + L".pem");
  DWORD size = 0;
  if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr,
                            nullptr)) {
    return std::string();
  }
  std::string der(size, '\0');
  CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(&der[0]),
                       &size, nullptr, nullptr);
  return der;
}

struct CertificateRelease {
  void operator()(PCCERT_CONTEXT certificate) const { CertFreeCertificateContext(certificate); }
};
typedef std::unique_ptr<const CERT_CONTEXT, CertificateRelease> Certificate;

// crypt32's reading of a DER certificate; null when it refuses the bytes.
Certificate Decoded(const std::string& der) {
  return Certificate(CertCreateCertificateContext(X509_ASN_ENCODING,
                                                  reinterpret_cast<const BYTE*>(der.data()),
                                                  static_cast<DWORD>(der.size())));
}

// Whether the build pins the key crypt32 reads from der.
bool KeyPinned(const std::string& der) {
  size_t count = 0;
  const KeyPin* pins = BuildPublisherPins(&count);
  const Certificate certificate = Decoded(der);
  EXPECT_TRUE(certificate) << "crypt32 refused a certificate of the test PKI";
  return certificate && IsCertificateKeyPinned(certificate.get(), pins, count);
}

TEST(PublisherKey, BuildPinMatchesEveryCertificateOfThePinnedKeyOnly) {
  // The build computed the pin with openssl; the program finds the same key.
  size_t count = 0;
  BuildPublisherPins(&count);
  ASSERT_EQ(count, 1u);
  EXPECT_TRUE(KeyPinned(CertificateDer("publisher")));
  EXPECT_TRUE(KeyPinned(CertificateDer("stray-publisher")));  // same key, other CA
  EXPECT_FALSE(KeyPinned(CertificateDer("other-publisher")));
  EXPECT_FALSE(KeyPinned(CertificateDer("ca")));
}

TEST(PublisherKey, PinIsOpensslsPinOfTheKeyCrypt32ReadsOrNone) {
  // <name>.der and <name>.pin (openssl's pin of the key the certificate holds
  // in the key's place) from tests/support/craft-key-encodings.py.
  const struct {
    const wchar_t* name;
    bool issued;  // as a CA issued it, so crypt32 must read it
  } cases[] = {
      {L"publisher", true},
      {L"other-publisher", true},
      {L"ec-publisher", true},
      {L"version-tag-multi-octet", false},
      {L"serial-tag-1f02", false},
      {L"outer-length-indefinite", false},
      {L"key-length-non-minimal", false},
  };
  for (const auto& c : cases) {
    const std::wstring base = L"Z:" QUILL_TEST_PKI_DIR L"/key-encodings/" + std::wstring(c.name);
    const std::string pin = quilltest::ReadFileBytes(base + L".pin");
    KeyPin expected = {};
    ASSERT_EQ(pin.size(), sizeof(expected.sha256)) << c.name;
    std::memcpy(expected.sha256, pin.data(), pin.size());
    const Certificate certificate = Decoded(quilltest::ReadFileBytes(base + L".der"));
    if (certificate) {
      EXPECT_TRUE(IsCertificateKeyPinned(certificate.get(), &expected, 1)) << c.name;
    } else {
      EXPECT_FALSE(c.issued) << c.name << ": crypt32 refused it";
    }
  }
}

TEST(PublisherSignature, OnlyTheUntouchedProgramOfThePinnedPublisherPasses) {
  const std::string recorder = quilltest::ReadFileBytes(quilltest::StandInPath(L"recorder.exe"));
  struct Case {
    const char* what;
    std::string bytes;
    SignatureVerdict verdict;
    unsigned long code;
  } cases[] = {
      {"signed by the pinned publisher", recorder, kSignatureAccepted, 0},
      {"unsigned", quilltest::ReadFileBytes(quilltest::StandInPath(L"recorder-unsigned.exe")),
       kSignatureMissing, 0x800B0100},
      {"a code byte changed after signing", quilltest::WithCodeByteChanged(recorder),
       kSignatureBroken, 0x80096010},
      {"bytes appended after signing", recorder + std::string(4096, 'p'), kSignatureMissing,
       0x800B0100},
      {"signed by a trusted publisher that is not pinned",
       quilltest::ReadFileBytes(quilltest::StandInPath(L"recorder-other.exe")), kSignerNotPinned,
       0},
      {"the pinned key under an untrusted CA",
       quilltest::ReadFileBytes(quilltest::StandInPath(L"recorder-stray.exe")),
       kSignerUntrustedRoot, 0x800B0109},
      {"not a program", std::string(4096, 'z'), kSignatureMissing, 0x800B0003},
  };
  quilltest::ScratchDir scratch;
  size_t count = 0;
  const KeyPin* pins = BuildPublisherPins(&count);
  for (const Case& c : cases) {
    ASSERT_GT(c.bytes.size(), 1000u) << c.what;
    const std::wstring path = scratch.File(L"program.exe");
    ASSERT_TRUE(quilltest::WriteFileBytes(path, c.bytes));
    ScopedHandle held(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held.IsValid());
    const SignatureCheck check = CheckPublisherSignature(held.Get(), path, pins, count);
    EXPECT_EQ(check.verdict, c.verdict)
        << c.what << ": " << DescribeSignatureVerdict(check.verdict);
    EXPECT_EQ(check.code, c.code) << c.what << std::hex << ": 0x" << check.code;
  }
}

}  // namespace
}  // namespace rerozadez
