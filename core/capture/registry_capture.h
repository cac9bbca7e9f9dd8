// core/capture owns /x: the scratch keys each item's writes are kept in, the walk of them into
// one output, and the writers of that output (.reg, WiX source, Inno Setup script,
// side-by-side manifest), which speak the verbs of capture_writer.h. It reaches core/overlay
// and core/registration, never core/check or core/worker.
//
// Capture: each item is performed with the registry of its worker overlaid by scratch keys of
// the run's own, so that what the component writes and deletes lands there and never in the
// registry, while what it reads is the real registry with its own changes laid over it. The
// run then hands what landed there, under the real root names, to the capture's output (a
// registry file it appends to, or an installer source), and removes the scratch keys,
// whatever became of the item.
#pragma once

#include <windows.h>

#include "core/jobs/component_item.h"
#include "core/capture/capture_output.h"

struct RegistryCapture {
    CaptureOutput output;
    // Under HKEY_CURRENT_USER: one subkey for each captured root, named as the root, and the
    // same for the keys and the values deleted under each root.
    char scratchKey[MAX_PATH];

    // Opens the output in the format the path's extension asks for; false, with the system's
    // error, when it cannot.
    bool begin(const char* path);
    // The scratch keys alone, for a process that captures and reads them itself (a check in
    // its worker): named by this process's id, and those of ended runs removed.
    void beginScratch();
    // Empty scratch keys for the next item; false, with the system's error, when they cannot
    // be made: the item must then not be performed.
    bool prepareItem();
    // A comment naming the item and its status, then every key and value the item wrote.
    void recordItem(const ComponentItem* item);
    // Removes the scratch keys and closes the output; false when its file did not take
    // everything written to it.
    bool end();
};

// What a scratch key holds of each root: what was written, and the keys and the values deleted
// (a deleted key is marked by a value, a deleted value by a value of the same name).
enum ScratchTree { SCRATCH_WRITTEN, SCRATCH_DELETED_KEYS, SCRATCH_DELETED_VALUES };
// The key below HKEY_CURRENT_USER that holds one tree of one root (an OverlayRoot); out holds
// MAX_PATH + 64 bytes.
void scratchTreeKey(const char* scratchKey, int root, ScratchTree tree, char* out);

// In the worker: the registry overlaid by the scratch keys under scratchKey, and no longer;
// false, with the system's error, when it cannot be.
bool overlayScratchKeys(const char* scratchKey);
void removeScratchOverlay();
