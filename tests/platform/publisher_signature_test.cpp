// The publisher signature check on programs the build signed with the test
// certificates (their CA trusted in the test prefix only), and the search for
// a certificate's key on real and broken certificates.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>

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

bool KeyPinned(const std::string& der) {
  size_t count = 0;
  const KeyPin* pins = BuildPublisherPins(&count);
  return IsCertificateKeyPinned(reinterpret_cast<const unsigned char*>(der.data()), der.size(),
                                pins, count);
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

TEST(PublisherKey, BrokenCertificatesNeverPointOutsideTheirBytes) {
  const std::string good = CertificateDer("publisher");
  ASSERT_FALSE(good.empty());
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(good.data());
  size_t offset = 0;
  size_t length = 0;
  ASSERT_TRUE(FindSubjectPublicKeyInfo(bytes, good.size(), &offset, &length));
  for (size_t cut = 0; cut < good.size(); ++cut) {
    EXPECT_FALSE(FindSubjectPublicKeyInfo(bytes, cut, &offset, &length)) << "cut at " << cut;
  }
  for (size_t at = 0; at < good.size(); ++at) {
    for (unsigned char mask : {0x80, 0xFF, 0x7F}) {
      std::string broken = good;
      broken[at] = static_cast<char>(broken[at] ^ mask);
      if (FindSubjectPublicKeyInfo(reinterpret_cast<const unsigned char*>(broken.data()),
                                   broken.size(), &offset, &length)) {
        EXPECT_LE(offset + length, broken.size()) << "byte " << at;
      }
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
