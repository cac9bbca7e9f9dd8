// What the registry-reading test component reads, writes and deletes while it registers, and
// what a test plants first and looks at afterwards.
#pragma once

#include <windows.h>

namespace overlay_probe {

// {5A1C7E20-3B4D-4E8F-9A61-2C7D8E9F0A13}
const GUID CLASS_ID = {0x5a1c7e20, 0x3b4d, 0x4e8f, {0x9a, 0x61, 0x2c, 0x7d, 0x8e, 0x9f, 0x0a, 0x13}};
const char CLASS_KEY[] = "CLSID\\{5A1C7E20-3B4D-4E8F-9A61-2C7D8E9F0A13}";
// {5A1C7E21-3B4D-4E8F-9A61-2C7D8E9F0A13}
const GUID CATEGORY_ID = {0x5a1c7e21, 0x3b4d, 0x4e8f, {0x9a, 0x61, 0x2c, 0x7d, 0x8e, 0x9f, 0x0a, 0x13}};
const char CATEGORY_KEY[] = "Component Categories\\{5A1C7E21-3B4D-4E8F-9A61-2C7D8E9F0A13}";
const WCHAR CATEGORY_TEXT[] = L"Plinthora overlay probe";

// Read from the machine, and written again with SUFFIX appended.
const char READ_KEY[] = "Software\\Microsoft\\Windows\\CurrentVersion";
const char READ_VALUE[] = "ProgramFilesDir";
const char WRITTEN_KEY[] = "Software\\PlinthoraOverlayProbe";
const char WRITTEN_VALUE[] = "InstallDir";
const char SUFFIX[] = "\\Plinthora Probe";

// Planted by the test under HKEY_CURRENT_USER; the component deletes the value and the subkey.
const char PLANTED_KEY[] = "Software\\PlinthoraOverlayProbe";
const char PLANTED_VALUE[] = "Planted";
const char KEPT_VALUE[] = "Kept";
const char PLANTED_SUBKEY[] = "Software\\PlinthoraOverlayProbe\\Planted key";
// Made and deleted again under HKEY_CLASSES_ROOT.
const char PASSING_KEY[] = "PlinthoraOverlayProbe\\Passing";
// Made without values below the class key, as controls mark themselves.
const char* const CLASS_FLAGS[] = {"Control", "Programmable"};

// Planted by the test under HKEY_CLASSES_ROOT: the listed key with two subkeys, the shared
// one holding PLANTED_VALUE. The component writes WRITTEN_VALUE to the shared key, so that
// the listed key has subkeys both in the registry and among its writes, and adds a subkey,
// listing and counting the subkeys after each; it deletes the shared key's values one by one,
// at index 0 until none is left, and tries to delete the listed key, which the system refuses.
const char LISTED_KEY[] = "PlinthoraOverlayProbeListed";
const char SHARED_KEY[] = "PlinthoraOverlayProbeListed\\Shared";
const char REAL_ONLY_KEY[] = "PlinthoraOverlayProbeListed\\Real only";
const char ADDED_KEY[] = "PlinthoraOverlayProbeListed\\Added";

}  // namespace overlay_probe
