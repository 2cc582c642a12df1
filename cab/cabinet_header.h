#pragma once

#include <string>

namespace cab {

// True when the bytes of a whole cabinet file have a consistent header: the
// MSCF signature and version 1.3, cbCabinet equal to the file's size, the
// optional reserve and set names inside the file, at least one folder when
// there are files, every folder's data blocks (sizes within the format's
// limits) inside the file and laid out in order, the file table inside the
// file with each entry's name ended, and each file in a folder of this
// cabinet within that folder's data. FDI is handed only cabinets that pass:
// some cabinet libraries crash on headers that do not. Compressed data and
// checksums are not looked at.
bool IsCabinetHeaderSound(const std::string& bytes);

}  // namespace cab
