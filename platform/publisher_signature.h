#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace rerozadez {

// A publisher's key as a build trusts it: the SHA-256 of the DER-encoded
// SubjectPublicKeyInfo of the publisher's certificate. A renewed certificate
// with the same key keeps its pin.
struct KeyPin {
  unsigned char sha256[32];
};

// Why a file's signature was accepted or refused.
enum SignatureVerdict {
  kSignatureAccepted = 0,  // signed, signer's key pinned, chain policy met
  kSignatureMissing,       // no Authenticode signature (or not a signable file)
  kSignatureBroken,        // the file changed after signing
  kSignerNotPinned,        // a valid signature by a key the build does not pin
  kSignerUntrustedRoot,    // the signer's chain ends in a root Windows does not trust
  kSignatureRefused,       // any other refusal by Windows (expired, revoked, ...)
};

// The verdict and the Windows code behind it (0 when there is none).
struct SignatureCheck {
  SignatureVerdict verdict;
  unsigned long code;
};

// Verifies the Authenticode signature of the file at path, read through file
// (a handle the caller holds open so the bytes cannot change under the
// check): WinVerifyTrust (generic verify v2, no UI, revocation only from the
// local cache), the signer's certificate key against pins, then the
// Authenticode chain policy on the signer's chain (Wine's WinVerifyTrust
// skips it for SHA-256 signed certificates).
SignatureCheck CheckPublisherSignature(HANDLE file, const std::wstring& path, const KeyPin* pins,
                                       size_t pinCount);

// The log's words for a verdict: "not signed", "signed by a key that is not
// pinned", "untrusted root", ...
const char* DescribeSignatureVerdict(SignatureVerdict verdict);

// Where a DER X.509 certificate keeps its SubjectPublicKeyInfo element (tag
// and length included). False for anything that is not a well-formed
// certificate up to that element.
bool FindSubjectPublicKeyInfo(const unsigned char* der, size_t size, size_t* offset,
                              size_t* length);

// True when the certificate's key is one of pins. A certificate that does not
// parse, or a SHA-256 that cannot be computed, matches nothing.
bool IsCertificateKeyPinned(const unsigned char* der, size_t size, const KeyPin* pins,
                            size_t pinCount);

}  // namespace rerozadez
