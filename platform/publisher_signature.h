#pragma once

#include <windows.h>
#include <wincrypt.h>

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

// True when the key of certificate, as crypt32 decoded it, is one of pins: the
// SHA-256 of crypt32's own DER encoding of that key. A key that cannot be
// encoded, or a SHA-256 that cannot be computed, matches nothing.
bool IsCertificateKeyPinned(PCCERT_CONTEXT certificate, const KeyPin* pins, size_t pinCount);

}  // namespace rerozadez
