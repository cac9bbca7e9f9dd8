// What comp_time_stamp_registrar registers, for the tests that look for it.
#pragma once

// {7C1E5B3A-2D94-4F60-A8B7-1E3C5D9F0A24}
const char TIME_STAMP_CLASS_KEY[] = "CLSID\\{7C1E5B3A-2D94-4F60-A8B7-1E3C5D9F0A24}";
const char TIME_STAMP_SERVER_KEY[] = "CLSID\\{7C1E5B3A-2D94-4F60-A8B7-1E3C5D9F0A24}\\InprocServer32";
const char TIME_STAMP_VALUE[] = "RegisteredAt";
