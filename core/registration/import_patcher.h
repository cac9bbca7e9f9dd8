// Redirects calls of one function to another in every module of this process by rewriting the
// modules' import address tables; calls made from inside the function's own module, and calls
// through addresses taken with GetProcAddress, are not redirected. Any thread.
#pragma once

struct ImportRedirect {
    void* from;
    void* to;
};

// Every import slot of every loaded module that holds a redirect's `from` gets its `to`.
void redirectImports(const ImportRedirect* redirects, int count);
