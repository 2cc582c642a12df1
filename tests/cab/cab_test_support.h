#pragma once

#include <string>

// What the build made for the cabinet and bridge tool tests.
namespace quilltest {

// Windows path of a file the build made: the carried cabinet "bridge.cab",
// a packed file ("adb.exe", ...), a gcab test cabinet or the file it holds
// ("nested.cab", "inputs\\aa\\sub\\deeper.bin"), a built stand-in.
std::wstring BridgeCabinetPath();
std::wstring PackedBridgeFile(const std::wstring& name);
std::wstring TestCabinetFile(const std::wstring& relativePath);
std::wstring BridgeStandIn(const std::wstring& name);

// True when the carried cabinet holds the project's stand-ins (the default)
// rather than the real tools.
bool CabinetCarriesStandIns();

}  // namespace quilltest
