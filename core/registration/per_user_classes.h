// /c in the worker: while an item of the current user only is performed, HKEY_CLASSES_ROOT
// is that user's own classes, HKEY_CURRENT_USER\Software\Classes, so that what the component
// registers there serves the user's programs and needs no right over the machine's classes.
// Nothing else is redirected. Called on the worker's thread, around one item.
#pragma once

// False, with the system's error, when the user's classes cannot be opened or HKEY_CLASSES_ROOT
// cannot be redirected: the item must then not be performed.
bool redirectClassesToUser();
void restoreClassesRoot();
