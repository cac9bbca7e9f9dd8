// Native key names (\Registry\...): how the overlay reads the name of an open key, and the
// current user's, under which a store can live. Any thread.
#pragma once

#include <stddef.h>

#include "core/overlay/nt_registry.h"

// A key's native name, terminated, in capacity characters at most; NT_BUFFER_OVERFLOW when it
// is longer.
NTSTATUS readKeyName(const NtRegistry& nt, HANDLE key, WCHAR* name, size_t capacity, size_t* length);

// The native name of the current user's key (\Registry\User\<SID>); false, with the system's
// error, when it cannot be read or is longer than capacity.
bool currentUserKeyName(WCHAR* name, size_t capacity);
