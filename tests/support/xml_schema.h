// What xmllint says of an XML file the program wrote, checked against a schema. Wine starts the Linux program but gives no process to wait for,
// so the shell moves its verdict into place once it is complete.
#pragma once

#include <string>

// xmllint's output and "exit <status>"; schema: a Linux path.
std::string xmlSchemaVerdict(const std::string& path, const char* schema);
