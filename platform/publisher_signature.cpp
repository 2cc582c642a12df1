#include "platform/publisher_signature.h"

#include <wincrypt.h>
#include <wintrust.h>
#include <softpub.h>

#include <cstring>
#include <vector>

#include "platform/scoped.h"

namespace rerozadez {
namespace {

// CALG_SHA_256: the headers offer it only for builds above XP, yet XP SP3's
// provider of type PROV_RSA_AES has it.
const ALG_ID kSha256Algorithm = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;

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
  if (!IsCertificateKeyPinned(certificate, pins, pinCount)) {
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

bool IsCertificateKeyPinned(PCCERT_CONTEXT certificate, const KeyPin* pins, size_t pinCount) {
  // The key Windows verified the signature with, as crypt32 decoded it, never
  // the certificate's bytes read a second way (a second reader can see another
  // key). Encoded again by crypt32 it is DER, whatever form the certificate
  // wrote it in: the bytes openssl hashes when a build pins a publisher.
  const CERT_PUBLIC_KEY_INFO* key = &certificate->pCertInfo->SubjectPublicKeyInfo;
  DWORD size = 0;
  if (!CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, nullptr, &size)) {
    return false;
  }
  std::vector<BYTE> encoded(size);
  unsigned char digest[32] = {};
  if (!CryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, encoded.data(), &size) ||
      !Sha256(encoded.data(), size, digest)) {
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
