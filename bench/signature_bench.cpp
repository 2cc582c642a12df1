// The start gate's signature check beside the MD5 the route computes, on the
// same file: signature_bench.exe <signed file> <rounds>
// Prints the MD5's time, the signature check's time as the first call of
// the process and then warm (best of rounds), and their ratios.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "platform/file_digest.h"
#include "platform/publisher_signature.h"
#include "platform/scoped.h"
#include "settings/publisher_pins.h"

namespace {

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return double(counter.QuadPart) / double(frequency.QuadPart);
}

// One check as the gate makes it: the file held, then verified. Seconds, or
// a negative number when the file was refused.
double TimeSignatureCheck(const wchar_t* path) {
  size_t count = 0;
  const rerozadez::KeyPin* pins = rerozadez::BuildPublisherPins(&count);
  const double start = Now();
  rerozadez::ScopedHandle held(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const rerozadez::SignatureCheck check =
      rerozadez::CheckPublisherSignature(held.Get(), path, pins, count);
  const double seconds = Now() - start;
  if (check.verdict != rerozadez::kSignatureAccepted) {
    fprintf(stderr, "refused: %s (0x%08lX)\n", rerozadez::DescribeSignatureVerdict(check.verdict),
            check.code);
    return -1;
  }
  return seconds;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: signature_bench <signed file> <rounds>\n");
    return 2;
  }
  const int rounds = _wtoi(argv[2]) > 0 ? _wtoi(argv[2]) : 1;
  const double first = TimeSignatureCheck(argv[1]);
  double warm = 1e9;
  double md5 = 1e9;
  for (int round = 0; round < rounds && first >= 0; ++round) {
    const double start = Now();
    std::string digest;
    if (!rerozadez::GetFileMd5(argv[1], true, &digest).ok()) {
      return 1;
    }
    const double seconds = Now() - start;
    md5 = seconds < md5 ? seconds : md5;
    const double check = TimeSignatureCheck(argv[1]);
    warm = check >= 0 && check < warm ? check : warm;
  }
  if (first < 0 || warm > 1e8) {
    return 1;
  }
  printf(
      "MD5 %.3f s, signature check %.3f s first in the process, %.3f s warm; "
      "gate (MD5 + check) / MD5: %.2f first, %.2f warm\n",
      md5, first, warm, (md5 + first) / md5, (md5 + warm) / md5);
  return 0;
}
