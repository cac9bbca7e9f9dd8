// Whether the user may write the machine-wide class registration, as "config.ini" asks.
// Runs once at start-up on the initial thread, before either mode.
#pragma once

#include <windows.h>

// "config.ini": CheckType 2 skips the test, 1 informs and stops, anything else asks.
enum CheckType { CHECK_ASK = 0, CHECK_INFORM = 1, CHECK_SKIP = 2 };

// The rights message never exceeds this, whatever the user's name.
const size_t RIGHTS_MESSAGE_CAPACITY = 512;

struct RightsCheck {
    // The two things a test cannot make happen under an administrator: a refused key and
    // a user's answer. Both default to the platform.
    bool (*mayWriteClasses)();
    int (*showMessage)(const char* text, UINT type);

    RightsCheck();
    bool passes();
};

int readCheckType();
// Composes the message for the check type and user name into out (RIGHTS_MESSAGE_CAPACITY
// bytes); a name too long for the message is shortened.
void composeRightsMessage(int checkType, const char* userName, char* out);
