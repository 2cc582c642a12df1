#include "cab/cabinet_header.h"

#include <cstdint>
#include <vector>

namespace cab {
namespace {

const size_t kFixedHeaderSize = 36;
const uint32_t kFolderEntrySize = 8;
const uint32_t kDataBlockHeaderSize = 8;
const uint32_t kFileEntrySize = 16;

// Header flags.
const uint32_t kPreviousCabinet = 0x0001;
const uint32_t kNextCabinet = 0x0002;
const uint32_t kReservePresent = 0x0004;

// Folder numbers of files that continue across cabinets of a set.
const uint32_t kContinuedFromPrevious = 0xFFFD;
const uint32_t kContinuedToNext = 0xFFFE;
const uint32_t kContinuedBothWays = 0xFFFF;

// The format's limits: the header reserve, and one data block's sizes.
const uint32_t kMaxHeaderReserve = 60000;
const uint32_t kMaxBlockUncompressed = 32768;
const uint32_t kMaxBlockCompressed = 32768 + 6144;
const uint32_t kHighestCompressionType = 3;  // LZX

// Little-endian reads that fail instead of reading past the end.
class Bytes {
 public:
  explicit Bytes(const std::string& bytes) : bytes_(bytes) {}

  uint64_t Size() const { return bytes_.size(); }

  bool Read8(uint64_t offset, uint32_t* value) const {
    if (offset >= Size()) {
      return false;
    }
    *value = static_cast<unsigned char>(bytes_[static_cast<size_t>(offset)]);
    return true;
  }
  bool Read16(uint64_t offset, uint32_t* value) const {
    uint32_t low, high;
    if (!Read8(offset, &low) || !Read8(offset + 1, &high)) {
      return false;
    }
    *value = low | high << 8;
    return true;
  }
  bool Read32(uint64_t offset, uint32_t* value) const {
    uint32_t low, high;
    if (!Read16(offset, &low) || !Read16(offset + 2, &high)) {
      return false;
    }
    *value = low | high << 16;
    return true;
  }
  // Moves offset past a NUL-ended string; false when it runs off the end.
  bool SkipString(uint64_t* offset, uint64_t* length) const {
    uint64_t start = *offset;
    while (*offset < Size() && bytes_[static_cast<size_t>(*offset)] != '\0') {
      ++*offset;
    }
    if (*offset >= Size()) {
      return false;
    }
    *length = *offset - start;
    ++*offset;
    return true;
  }

 private:
  const std::string& bytes_;
};

}  // namespace

bool IsCabinetHeaderSound(const std::string& text) {
  const Bytes bytes(text);
  uint32_t cabinetSize, filesOffset, folders, files, flags;
  if (bytes.Size() < kFixedHeaderSize || text.compare(0, 4, "MSCF") != 0 ||
      !bytes.Read32(8, &cabinetSize) || cabinetSize != bytes.Size() ||
      !bytes.Read32(16, &filesOffset) || text[24] != 3 || text[25] != 1 ||
      !bytes.Read16(26, &folders) || !bytes.Read16(28, &files) || !bytes.Read16(30, &flags)) {
    return false;
  }
  if (files > 0 && folders == 0) {
    return false;
  }

  uint64_t offset = kFixedHeaderSize;
  uint32_t headerReserve = 0, folderReserve = 0, dataReserve = 0;
  if (flags & kReservePresent) {
    if (!bytes.Read16(offset, &headerReserve) || !bytes.Read8(offset + 2, &folderReserve) ||
        !bytes.Read8(offset + 3, &dataReserve) || headerReserve > kMaxHeaderReserve) {
      return false;
    }
    offset += 4 + headerReserve;
  }
  // The previous and next cabinets' names and disk names.
  int setNames = ((flags & kPreviousCabinet) ? 2 : 0) + ((flags & kNextCabinet) ? 2 : 0);
  for (int i = 0; i < setNames; ++i) {
    uint64_t length;
    if (!bytes.SkipString(&offset, &length)) {
      return false;
    }
  }

  // Folders: their blocks must lie inside the file, one folder after the
  // other, which also bounds the walk by the file's size.
  const uint64_t folderEntry = kFolderEntrySize + folderReserve;
  const uint64_t tablesEnd = offset + folders * folderEntry;
  if (tablesEnd > bytes.Size() || filesOffset < tablesEnd || filesOffset > bytes.Size()) {
    return false;
  }
  std::vector<uint64_t> unpackedSizes(folders, 0);
  uint64_t previousEnd = tablesEnd;
  for (uint32_t folder = 0; folder < folders; ++folder) {
    uint32_t dataOffset, blocks, compression;
    uint64_t entry = offset + folder * folderEntry;
    if (!bytes.Read32(entry, &dataOffset) || !bytes.Read16(entry + 4, &blocks) ||
        !bytes.Read16(entry + 6, &compression) ||
        (compression & 0x000F) > kHighestCompressionType || dataOffset < previousEnd) {
      return false;
    }
    uint64_t block = dataOffset;
    for (uint32_t i = 0; i < blocks; ++i) {
      uint32_t packed, unpacked;
      if (!bytes.Read16(block + 4, &packed) || !bytes.Read16(block + 6, &unpacked) ||
          packed > kMaxBlockCompressed || unpacked > kMaxBlockUncompressed) {
        return false;
      }
      block += kDataBlockHeaderSize + dataReserve + packed;
      if (block > bytes.Size()) {
        return false;
      }
      unpackedSizes[folder] += unpacked;
    }
    previousEnd = block;
  }

  // Files.
  uint64_t entry = filesOffset;
  for (uint32_t file = 0; file < files; ++file) {
    uint32_t fileSize, offsetInFolder, folder;
    uint64_t nameLength;
    if (!bytes.Read32(entry, &fileSize) || !bytes.Read32(entry + 4, &offsetInFolder) ||
        !bytes.Read16(entry + 8, &folder)) {
      return false;
    }
    entry += kFileEntrySize;
    if (!bytes.SkipString(&entry, &nameLength) || nameLength == 0) {
      return false;
    }
    if (folder == kContinuedFromPrevious || folder == kContinuedBothWays) {
      if (!(flags & kPreviousCabinet)) {
        return false;
      }
    } else if (folder == kContinuedToNext) {
      if (!(flags & kNextCabinet)) {
        return false;
      }
    } else if (folder >= folders) {
      return false;
    } else {
      // The first folder may have begun in the previous cabinet and the last
      // may go on in the next, so only their own part is here.
      bool partial = (folder == 0 && (flags & kPreviousCabinet)) ||
                     (folder == folders - 1 && (flags & kNextCabinet));
      if (!partial && static_cast<uint64_t>(offsetInFolder) + fileSize > unpackedSizes[folder]) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace cab
