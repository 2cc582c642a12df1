#include "platform/publisher_signature.h"

#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

#include <cstring>

#include "platform/scoped.h"

namespace rerozadez {
namespace {

const unsigned char kDerSequence = 0x30;
const unsigned char kDerVersionTag = 0xA0;  // [0] EXPLICIT, the certificate's version
// serialNumber, signature, issuer, validity and subject precede the key.
const int kFieldsBeforeKey = 5;
// CALG_SHA_256: the headers offer it only for builds above XP, yet XP SP3's
// provider of type PROV_RSA_AES has it.
const ALG_ID kSha256Algorithm = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;

// One DER element at der[at], inside der[0, size): its tag, where its
// contents begin and where it ends. False when it does not fit.
bool ReadElement(const unsigned char* der, size_t size, size_t at, unsigned char* tag,
                 size_t* contents, size_t* end) {
  if (at >= size || size - at < 2) {
    return false;
  }
  *tag = der[at];
  size_t length = der[at + 1];
  size_t position = at + 2;
  if (length & 0x80) {
    // Long form; four length bytes are more than any certificate needs.
    const size_t lengthBytes = length & 0x7F;
    if (lengthBytes == 0 || lengthBytes > 4 || size - position < lengthBytes) {
      return false;
    }
    length = 0;
    for (size_t i = 0; i < lengthBytes; ++i) {
      length = (length << 8) | der[position++];
    }
  }
  if (length > size - position) {
    return false;
  }
  *contents = position;
  *end = position + length;
  return true;
}

bool Sha256(const unsigned char* bytes, size_t size, unsigned char* digest) {
  // PROV_RSA_AES is the provider type with SHA-256 from Windows XP SP3 on.
  ScopedCryptProvider provider;
  ScopedCryptHash hash;
  DWORD digestSize = 32;
  return CryptAcquireContextW(provider.Receive(), nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT) &&
         CryptCreateHash(provider.Get(), kSha256Algorithm, 0, 0, hash.Receive()) &&
         CryptHashData(hash.Get(), bytes, static_cast<DWORD>(size), 0) &&
         CryptGetHashParam(hash.Get(), HP_HASHVAL, digest, &digestSize, 0) && digestSize == 32;
}

SignatureVerdict VerdictOfTrustCode(LONG code) {
  switch (code) {
    case TRUST_E_NOSIGNATURE:           // no signature, or bytes appended after signing
    case TRUST_E_SUBJECT_FORM_UNKNOWN:  // not a program at all
      return kSignatureMissing;
    case TRUST_E_BAD_DIGEST:  // a byte changed inside what was signed
      return kSignatureBroken;
    case CERT_E_UNTRUSTEDROOT:
      return kSignerUntrustedRoot;
    default:
      return kSignatureRefused;
  }
}

// The signer of a signature WinVerifyTrust accepted: its key against the
// pins, then the Authenticode policy on its chain.
SignatureCheck CheckSigner(HANDLE stateData, const KeyPin* pins, size_t pinCount) {
  CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(stateData);
  CRYPT_PROVIDER_SGNR* signer =
      provider != nullptr ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  PCCERT_CHAIN_CONTEXT chain = signer != nullptr ? signer->pChainContext : nullptr;
  if (chain == nullptr || chain->cChain == 0 || chain->rgpChain[0]->cElement == 0) {
    return {kSignatureRefused, static_cast<unsigned long>(TRUST_E_NO_SIGNER_CERT)};
  }
  PCCERT_CONTEXT certificate = chain->rgpChain[0]->rgpElement[0]->pCertContext;
  if (!IsCertificateKeyPinned(certificate->pbCertEncoded, certificate->cbCertEncoded, pins,
                              pinCount)) {
    return {kSignerNotPinned, 0};
  }
  CERT_CHAIN_POLICY_PARA policy = {};
  policy.cbSize = sizeof(policy);
  CERT_CHAIN_POLICY_STATUS status = {};
  status.cbSize = sizeof(status);
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_AUTHENTICODE, chain, &policy, &status)) {
    return {kSignatureRefused, GetLastError()};
  }
  if (status.dwError != 0) {
    return {VerdictOfTrustCode(static_cast<LONG>(status.dwError)), status.dwError};
  }
  return {kSignatureAccepted, 0};
}

}  // namespace

SignatureCheck CheckPublisherSignature(HANDLE file, const std::wstring& path, const KeyPin* pins,
                                       size_t pinCount) {
  WINTRUST_FILE_INFO fileInfo = {};
  fileInfo.cbStruct = sizeof(fileInfo);
  fileInfo.pcwszFilePath = path.c_str();
  fileInfo.hFile = file;
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  // A revocation fetch could stall the run on a network the user may not
  // have; what the local cache knows is still used where Windows can.
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &fileInfo;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  const LONG trust = WinVerifyTrust(nullptr, &action, &data);
  SignatureCheck check = {kSignatureAccepted, 0};
  if (trust != ERROR_SUCCESS) {
    check = {VerdictOfTrustCode(trust), static_cast<unsigned long>(trust)};
  } else {
    check = CheckSigner(data.hWVTStateData, pins, pinCount);
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(nullptr, &action, &data);
  return check;
}

const char* DescribeSignatureVerdict(SignatureVerdict verdict) {
  switch (verdict) {
    case kSignatureAccepted:
      return "signed by a pinned publisher";
    case kSignatureMissing:
      return "not signed";
    case kSignatureBroken:
      return "changed after it was signed";
    case kSignerNotPinned:
      return "signed by a key that is not pinned";
    case kSignerUntrustedRoot:
      return "untrusted root";
    default:
      return "signature refused";
  }
}

bool FindSubjectPublicKeyInfo(const unsigned char* der, size_t size, size_t* offset,
                              size_t* length) {
  unsigned char tag = 0;
  size_t contents = 0;
  size_t end = 0;
  // Certificate ::= SEQUENCE { tbsCertificate SEQUENCE { ... }, ... }
  if (!ReadElement(der, size, 0, &tag, &contents, &end) || tag != kDerSequence ||
      !ReadElement(der, end, contents, &tag, &contents, &end) || tag != kDerSequence) {
    return false;
  }
  const size_t tbsEnd = end;
  size_t at = contents;
  if (ReadElement(der, tbsEnd, at, &tag, &contents, &end) && tag == kDerVersionTag) {
    at = end;
  }
  for (int field = 0; field < kFieldsBeforeKey; ++field) {
    if (!ReadElement(der, tbsEnd, at, &tag, &contents, &end)) {
      return false;
    }
    at = end;
  }
  if (!ReadElement(der, tbsEnd, at, &tag, &contents, &end) || tag != kDerSequence) {
    return false;
  }
  *offset = at;
  *length = end - at;
  return true;
}

bool IsCertificateKeyPinned(const unsigned char* der, size_t size, const KeyPin* pins,
                            size_t pinCount) {
  size_t offset = 0;
  size_t length = 0;
  unsigned char digest[32] = {};
  if (!FindSubjectPublicKeyInfo(der, size, &offset, &length) ||
      !Sha256(der + offset, length, digest)) {
    return false;
  }
  for (size_t i = 0; i < pinCount; ++i) {
    if (std::memcmp(pins[i].sha256, digest, sizeof(digest)) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace rerozadez
