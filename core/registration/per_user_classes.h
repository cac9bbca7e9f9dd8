// /c in the worker: while an item of the current user only is performed, what it registers
// under HKEY_CLASSES_ROOT goes to that user's own classes, HKEY_CURRENT_USER\Software\Classes,
// which serve the user's programs and need no right over the machine's classes, and what it
// reads there is the user's classes laid over the machine's, as the user's programs see them.
// The registry overlay does it below the registry functions, so that the system's own code in
// the worker (the component category manager, COM's class lookups) is kept to the user's
// classes as well. Nothing else is redirected. Called on the worker's thread, around one item.
#pragma once

// False, with the system's error, when the user's classes cannot be made or overlaid: the
// item must then not be performed.
bool overlayUserClasses();
void removeUserClassesOverlay();
