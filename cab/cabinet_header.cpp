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

// The fixed header's fields that the rest of the header depends on.
struct FixedHeader {
  uint32_t filesOffset = 0;
  uint32_t folders = 0;
  uint32_t files = 0;
  uint32_t flags = 0;
};

// Where the folder table starts and the reserve sizes it and the data
// blocks carry.
struct Layout {
  uint64_t foldersOffset = kFixedHeaderSize;
  uint32_t folderReserve = 0;
  uint32_t dataReserve = 0;
};

// The signature, version 1.3 and a size equal to the file's; at least one
// folder when there are files.
bool ReadFixedHeader(const std::string& text, const Bytes& bytes, FixedHeader* header) {
  uint32_t cabinetSize;
  if (bytes.Size() < kFixedHeaderSize || text.compare(0, 4, "MSCF") != 0 ||
      !bytes.Read32(8, &cabinetSize) || cabinetSize != bytes.Size() ||
      !bytes.Read32(16, &header->filesOffset) || text[24] != 3 || text[25] != 1 ||
      !bytes.Read16(26, &header->folders) || !bytes.Read16(28, &header->files) ||
      !bytes.Read16(30, &header->flags)) {
    return false;
  }
  return header->files == 0 || header->folders > 0;
}

// The optional reserve sizes (within the format's limit) and the previous
// and next cabinets' names and disk names, each ended inside the file.
bool ReadReserveAndSetNames(const Bytes& bytes, const FixedHeader& header, Layout* layout) {
  uint64_t offset = kFixedHeaderSize;
  if (header.flags & kReservePresent) {
    uint32_t headerReserve;
    if (!bytes.Read16(offset, &headerReserve) || !bytes.Read8(offset + 2, &layout->folderReserve) ||
        !bytes.Read8(offset + 3, &layout->dataReserve) || headerReserve > kMaxHeaderReserve) {
      return false;
    }
    offset += 4 + headerReserve;
  }
  int setNames =
      ((header.flags & kPreviousCabinet) ? 2 : 0) + ((header.flags & kNextCabinet) ? 2 : 0);
  for (int i = 0; i < setNames; ++i) {
    uint64_t length;
    if (!bytes.SkipString(&offset, &length)) {
      return false;
    }
  }
  layout->foldersOffset = offset;
  return true;
}

// Folders: their blocks must lie inside the file, one folder after the
// other, which also bounds the walk by the file's size. unpackedSizes
// receives each folder's uncompressed size.
bool ReadFolders(const Bytes& bytes, const FixedHeader& header, const Layout& layout,
                 std::vector<uint64_t>* unpackedSizes) {
  const uint64_t folderEntry = kFolderEntrySize + layout.folderReserve;
  const uint64_t tablesEnd = layout.foldersOffset + header.folders * folderEntry;
  if (tablesEnd > bytes.Size() || header.filesOffset < tablesEnd ||
      header.filesOffset > bytes.Size()) {
    return false;
  }
  unpackedSizes->assign(header.folders, 0);
  uint64_t previousEnd = tablesEnd;
  for (uint32_t folder = 0; folder < header.folders; ++folder) {
    uint32_t dataOffset, blocks, compression;
    uint64_t entry = layout.foldersOffset + folder * folderEntry;
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
      block += kDataBlockHeaderSize + layout.dataReserve + packed;
      if (block > bytes.Size()) {
        return false;
      }
      (*unpackedSizes)[folder] += unpacked;
    }
    previousEnd = block;
  }
  return true;
}

// One file's folder number: a folder of this cabinet, whose data must hold
// the file, or a continuation the header's set flags allow.
bool IsFileInItsFolder(const FixedHeader& header, const std::vector<uint64_t>& unpackedSizes,
                       uint32_t folder, uint32_t offsetInFolder, uint32_t fileSize) {
  if (folder == kContinuedFromPrevious || folder == kContinuedBothWays) {
    return (header.flags & kPreviousCabinet) != 0;
  }
  if (folder == kContinuedToNext) {
    return (header.flags & kNextCabinet) != 0;
  }
  if (folder >= header.folders) {
    return false;
  }
  // The first folder may have begun in the previous cabinet and the last
  // may go on in the next, so only their own part is here.
  bool partial = (folder == 0 && (header.flags & kPreviousCabinet)) ||
                 (folder == header.folders - 1 && (header.flags & kNextCabinet));
  return partial || static_cast<uint64_t>(offsetInFolder) + fileSize <= unpackedSizes[folder];
}

// The file table: inside the file, each name ended and not empty.
bool ReadFiles(const Bytes& bytes, const FixedHeader& header,
               const std::vector<uint64_t>& unpackedSizes) {
  uint64_t entry = header.filesOffset;
  for (uint32_t file = 0; file < header.files; ++file) {
    uint32_t fileSize, offsetInFolder, folder;
    uint64_t nameLength;
    if (!bytes.Read32(entry, &fileSize) || !bytes.Read32(entry + 4, &offsetInFolder) ||
        !bytes.Read16(entry + 8, &folder)) {
      return false;
    }
    entry += kFileEntrySize;
    if (!bytes.SkipString(&entry, &nameLength) || nameLength == 0 ||
        !IsFileInItsFolder(header, unpackedSizes, folder, offsetInFolder, fileSize)) {
      return false;
    }
  }
  return true;
}

}  // namespace

bool IsCabinetHeaderSound(const std::string& text) {
  const Bytes bytes(text);
  FixedHeader header;
  Layout layout;
  std::vector<uint64_t> unpackedSizes;
  return ReadFixedHeader(text, bytes, &header) && ReadReserveAndSetNames(bytes, header, &layout) &&
         ReadFolders(bytes, header, layout, &unpackedSizes) &&
         ReadFiles(bytes, header, unpackedSizes);
}

}  // namespace cab
