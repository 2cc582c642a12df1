#include "tests/cab/cab_test_support.h"

namespace quilltest {
namespace {

// The build passes its folders with forward slashes.
std::wstring WindowsPath(std::wstring path) {
  for (wchar_t& c : path) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  return path;
}

}  // namespace

std::wstring BridgeCabinetPath() {
  return WindowsPath(QUILL_BRIDGE_CABINET);
}

std::wstring PackedBridgeFile(const std::wstring& name) {
  return WindowsPath(std::wstring(QUILL_BRIDGE_PACKED_DIR) + L"\\" + name);
}

std::wstring TestCabinetFile(const std::wstring& relativePath) {
  return WindowsPath(std::wstring(QUILL_TEST_CABINETS) + L"\\" + relativePath);
}

std::wstring BridgeStandIn(const std::wstring& name) {
  return WindowsPath(std::wstring(QUILL_BRIDGE_STAND_IN_DIR) + L"\\" + name);
}

bool CabinetCarriesStandIns() {
  return QUILL_BRIDGE_PACKS_STAND_INS != 0;
}

}  // namespace quilltest
