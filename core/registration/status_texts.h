// The result vocabulary of an item. Items point at these constants, never copy them;
// compare by content.
#pragma once

#include "core/jobs/component_item.h"

extern const char STATUS_LOAD_FAILED[];
extern const char STATUS_NO_REGISTER_ENTRY[];
extern const char STATUS_NO_UNREGISTER_ENTRY[];
extern const char STATUS_REGISTER_FAILED[];
extern const char STATUS_UNREGISTER_FAILED[];
extern const char STATUS_NO_INSTALL_ENTRY[];
extern const char STATUS_INSTALL_FAILED[];
extern const char STATUS_REGISTERED[];
extern const char STATUS_UNREGISTERED[];
extern const char STATUS_TYPELIB_LOAD_FAILED[];
extern const char STATUS_TYPELIB_REGISTER_FAILED[];
extern const char STATUS_TYPELIB_UNREGISTER_FAILED[];
extern const char STATUS_MANIFEST_CREATE_FAILED[];
// The answers of a check (/q).
extern const char STATUS_CHECK_REGISTERED[];
extern const char STATUS_CHECK_NOT_REGISTERED[];
extern const char STATUS_CHECK_PARTLY_REGISTERED[];
extern const char STATUS_CHECK_OTHER_FILE[];

// True for exactly "登録完了" and "解除完了".
bool isSuccessStatus(const char* status);
// Whether the item came out as asked, which /e, the log's details and the boxes go by: a
// check's answer is the one it asks for (登録済み, or with /u 未登録), any other item's status
// is a success.
bool isExpectedResult(const ComponentItem* item);

// The status texts by number, for a worker process to name its result: -1 for a text that is
// none of them, null for a number that names none.
int statusIndex(const char* status);
const char* statusAtIndex(int index);
