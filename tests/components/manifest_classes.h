// What comp_manifest_classes registers: one in-process class with everything a manifest
// carries, an out-of-process class and an interface with its own marshaller it cannot carry,
// and an automation-marshalled interface.
#pragma once

namespace manifest_classes {

const char CLASS_ID[] = "{3E0C7B52-6A1D-4F38-9C24-8D5B1E7A0F61}";
const char LOCAL_CLASS_ID[] = "{3E0C7B52-6A1D-4F38-9C24-8D5B1E7A0F62}";
const char PROGID[] = "Plinthora.ManifestTest.1";
const char VERSION_INDEPENDENT_PROGID[] = "Plinthora.ManifestTest";
// The type library of tests/components/test_library.idl.
const char LIBRARY_ID[] = "{5C3B6E2A-8F41-4D7B-9E0C-2A6D1F3B7C55}";
const char AUTOMATION_INTERFACE_ID[] = "{3E0C7B52-6A1D-4F38-9C24-8D5B1E7A0F63}";
const char OWN_MARSHALLER_INTERFACE_ID[] = "{3E0C7B52-6A1D-4F38-9C24-8D5B1E7A0F64}";

}  // namespace manifest_classes
