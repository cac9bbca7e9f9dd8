#include "tests/robustness/guarded_text.h"

GuardedText::GuardedText(const std::string& bytes) : size_(bytes.size())
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    size_t page = info.dwPageSize;
    size_t dataPages = (size_ + page - 1) / page + 1;
    reserved_ = (dataPages + 1) * page;
    base_ = (char*)VirtualAlloc(nullptr, reserved_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    DWORD old;
    VirtualProtect(base_ + dataPages * page, page, PAGE_NOACCESS, &old);
    begin_ = base_ + dataPages * page - size_;
    CopyMemory(begin_, bytes.data(), size_);
}

GuardedText::~GuardedText()
{
    VirtualFree(base_, 0, MEM_RELEASE);
}
