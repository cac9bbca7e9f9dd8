// The short texts that say why an item failed, kept next to its status: at most 255 bytes of
// CP932, cut on a whole character. Each writes into out of capacity bytes. Any thread.
#pragma once

#include <windows.h>

// "エラー 126 : <the system's message>"
void describeSystemError(DWORD code, char* out, size_t capacity);
// "HRESULT 0x80070005 : <the system's message>", or the number alone when it has none.
void describeResult(HRESULT result, char* out, size_t capacity);
// "必要な DLL が見つかりません : depx.dll"
void describeMissingImport(const char* dll, char* out, size_t capacity);
// "32 ビット用のコンポーネント" or "64 ビット用のコンポーネント"; false for another machine.
bool describeMachine(WORD machine, char* out, size_t capacity);
// "例外 0xC0000005 で異常終了しました"
void describeException(DWORD code, char* out, size_t capacity);
// "コンポーネントがプロセスを終了しました (終了コード 3)"
void describeExit(DWORD exitCode, char* out, size_t capacity);
// "時間制限 (300 秒) を過ぎたため打ち切りました"
void describeTimeout(DWORD seconds, char* out, size_t capacity);
