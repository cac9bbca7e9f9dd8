// Capacities of the text fields shared by all records.
#pragma once

// A path text: at most 259 characters and the terminator.
const size_t PATH_TEXT_CAPACITY = 260;
// A DllInstall command line: at most 255 characters and the terminator.
const size_t COMMAND_LINE_CAPACITY = 256;
// Why an item failed: at most 255 bytes and the terminator.
const size_t DETAIL_TEXT_CAPACITY = 256;
// An option text: "/c /q /u /n /i:", a whole command line and the terminator fit with room to spare.
const size_t OPTION_TEXT_CAPACITY = 272;
