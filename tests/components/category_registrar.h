// What comp_category_registrar registers, for the tests that look for it.
#pragma once

#include <windows.h>

// {3F9A1C27-5E84-4B1D-8C62-9D0E7A4B2F16}
const CLSID CLSID_CategoryTest = {0x3f9a1c27, 0x5e84, 0x4b1d, {0x8c, 0x62, 0x9d, 0x0e, 0x7a, 0x4b, 0x2f, 0x16}};
// {B2D47E91-0C3A-4F58-9E16-5A8C3D7F0B42}
const GUID CATID_PlinthoraTest = {0xb2d47e91, 0x0c3a, 0x4f58, {0x9e, 0x16, 0x5a, 0x8c, 0x3d, 0x7f, 0x0b, 0x42}};

// Under a classes root: the class, its implemented category, and the category.
const char CATEGORY_CLASS_KEY[] = "CLSID\\{3F9A1C27-5E84-4B1D-8C62-9D0E7A4B2F16}";
const char CATEGORY_IMPLEMENTED_KEY[] =
    "CLSID\\{3F9A1C27-5E84-4B1D-8C62-9D0E7A4B2F16}\\Implemented Categories\\{B2D47E91-0C3A-4F58-9E16-5A8C3D7F0B42}";
const char CATEGORY_KEY[] = "Component Categories\\{B2D47E91-0C3A-4F58-9E16-5A8C3D7F0B42}";
