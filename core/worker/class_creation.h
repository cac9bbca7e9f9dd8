// In the worker: a component's classes created through a side-by-side manifest alone, as an
// application without their registration would create them. Their class keys are deleted
// first under the overlay laid for the check, so that the system cannot find them in the
// registry, even where they are registered; the registry itself is never changed. Runs on the
// worker's thread.
#pragma once

#include "core/capture/side_by_side_manifest.h"
#include "core/jobs/component_item.h"

// 登録完了 when the system takes the manifest and every class is created and released;
// otherwise マニフェストでの作成失敗, with the class and its HRESULT, or the system's error for a
// manifest it refuses.
void createClassesThroughManifest(const ManifestCheck& check, ComponentItem* item);
