// Reading the installation's settings from the Windows registry. The
// program only reads; it never writes a value.
#pragma once

#include <windows.h>

// Bytes a value may take, terminator included, to count as readable.
constexpr DWORD REG_VALUE_MAX = 80;

// 1 if `subkey` under `hive` can be opened (it is closed again), else 0.
int KeyExists(HKEY hive, const char *subkey);

// Reads the string value `name` of `subkey` under `hive` into `buffer`,
// which must hold at least REG_VALUE_MAX bytes. Returns 1 when the value
// was read; 0 when the key can't be opened (buffer untouched) or the value
// is missing or needs more than REG_VALUE_MAX bytes.
int ReadStringValue(HKEY hive, const char *subkey, const char *name, char *buffer);
