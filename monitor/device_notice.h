// Reading a device-interface notice (WM_DEVICECHANGE with DBT_DEVICEARRIVAL or
// DBT_DEVICEREMOVECOMPLETE). Windows hands a window of an ANSI class the ANSI
// form (one byte per character); Wine hands every window the wide form
// (UTF-16). The reader takes either and tells them apart by the name's bytes.
#pragma once
#include <windows.h>

#include <cstddef>

namespace z9mnt {

enum class NoticeForm { Ansi, Wide };

// The interface path and class of a device-interface notice. Reads nothing
// beyond the size the notice's header gives: the name ends at its zero or at
// the end of the notice, whichever comes first. A wide name is converted to
// the ANSI code page. The path is cut to fit `pathSize` (never inside a
// double-byte character) and always terminated.
//
// The form is told from the name's first two bytes: a wide path starts with a
// character and a zero byte ('\\', 0, '\\', 0, ...), an ANSI one with two
// characters. A one-character ANSI name and an empty name read the same in
// either form.
//
// False (and an empty path) when the notice is no device-interface notice or
// its size does not cover the header and the interface class.
bool ReadInterfaceNotice(const void* notice, char* path, size_t pathSize, GUID* interfaceClass,
                         NoticeForm* form = nullptr);

}  // namespace z9mnt
