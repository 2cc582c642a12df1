#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace rerozadez {

// The download's resume record: HKEY_CURRENT_USER "SOFTWARE\VeziDazedera",
// "downLoadSize" (decimal text) and "FPMD5" (hexadecimal text), written
// together from a successful package query, size first. Both writes are
// attempted; the first failure is returned.
extern const char kResumeKey[];
Status StoreResumeRecord(const std::string& size, const std::string& fpmd5);

// True when the setup file is not empty and at least as long as the recorded
// "downLoadSize". Without a recorded size any non-empty file is complete.
bool IsDownloadComplete();

// True when the setup file is exactly as long as the recorded "downLoadSize"
// and IsDigestMatching holds: the file is the offer the record describes.
// Otherwise why (when given) says so: kStartContent with "size X, expected
// Y", or what IsDigestMatching gave.
bool IsSetupFileAsRecorded(Status* why = nullptr);

// True when the setup file's MD5 equals the recorded "FPMD5", ignoring case:
// full form for a 32-character record, short form otherwise. An unreadable
// file never matches. why (when given) receives Ok, the digest's failure
// (kDigest... with its code), or kStartContent with "MD5 X, expected Y".
bool IsDigestMatching(Status* why = nullptr);

// The same checks of any file: against the record (IsFileAsRecorded), or
// against a size and a digest (a manifest's) as IsSetupFileAsRecorded
// (IsFileAsExpected) and as IsDigestMatching (IsDigestOf).
bool IsFileAsRecorded(const std::wstring& path, Status* why);
bool IsFileAsExpected(const std::wstring& path, int64_t size, const std::string& digest,
                      Status* why);
bool IsDigestOf(const std::wstring& path, const std::string& digest, Status* why);

// A size text read as a signed decimal from its start (white space and a
// sign allowed, stops at the first non-digit; 0 when there is none). 64-bit,
// so setups of 2 GiB and more are judged right.
int64_t ParseSizeText(const std::wstring& text);

// Equal length and equal characters, ignoring ASCII letter case.
bool DigestsMatch(const std::string& computed, const std::string& recorded);

}  // namespace rerozadez
