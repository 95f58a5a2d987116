#include "app/reg2.h"

#include <cstring>

int KeyExists(HKEY hive, const char *subkey)
{
    HKEY key;
    if (RegOpenKeyA(hive, subkey, &key) != ERROR_SUCCESS)
        return 0;
    RegCloseKey(key);
    return 1;
}

int ReadStringValue(HKEY hive, const char *subkey, const char *name, char *buffer)
{
    HKEY key;
    if (RegOpenKeyExA(hive, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    // Read into our own buffer with room for a terminator, so that data
    // stored without one still comes out as a string.
    BYTE data[REG_VALUE_MAX + 1];
    DWORD size = REG_VALUE_MAX;
    LONG result = RegQueryValueExA(key, name, nullptr, nullptr, data, &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return 0;
    // Data stored without its terminator must still leave room for one.
    if (size == REG_VALUE_MAX && data[size - 1] != '\0')
        return 0;
    data[size] = '\0';
    const char *text = reinterpret_cast<const char *>(data);
    memcpy(buffer, text, strlen(text) + 1); // at most REG_VALUE_MAX bytes
    return 1;
}
