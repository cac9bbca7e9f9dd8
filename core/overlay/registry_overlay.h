// core/overlay owns the registry as this process sees it while its writes are kept apart: this
// interface, the store's record, the native names of keys, the import patcher and the native
// registry functions. It reaches no other room of core but core/jobs.
//
// The registry as this process sees it while its writes are kept apart: once installed, every
// key and value any module of the process reads is the real one with a store's content laid
// over it, and every write and deletion under an overlaid root goes to the store. The real
// registry is never written under those roots.
//
// The overlay sits below every registry function of the system: it replaces the native
// registry calls in the import tables of the loaded modules, and of each module loaded later.
// A key is named by its root and its path below the root, whichever way it was opened: by a
// handle of a predefined key, by its native name, or by a handle of a store key.
//
// A store is a registry key for each root that holds what was written under that root, in the
// same layout; where a store keeps deletions, a key deleted from the real registry is marked in
// one tree (a key with an empty REG_NONE default value) and a deleted value in another (a
// REG_NONE value of the same name). Without them, what only the real registry holds cannot be
// deleted. Install and remove on one thread, with no other thread in a registry call; between
// them, any thread.
#pragma once

#include <windows.h>

#include "core/overlay/key_names.h"
#include "core/overlay/overlay_store.h"

// False, with the system's error and nothing changed, when the system lacks what the overlay
// needs or a loaded module's import slots could not all be rewritten: the real registry would
// then not be kept apart.
bool installRegistryOverlay(const OverlayStore* store);
void removeRegistryOverlay();
