// Text placed so that its last byte is the last readable byte before a no-access page:
// any read past the end faults at once instead of going unnoticed.
#pragma once

#include <windows.h>
#include <string>

class GuardedText {
public:
    explicit GuardedText(const std::string& bytes);
    ~GuardedText();
    const char* begin() const { return begin_; }
    const char* end() const { return begin_ + size_; }

private:
    char* base_;
    size_t reserved_;
    char* begin_;
    size_t size_;
};
