// File names of any length that the system allows (see irrSystemPaths.h).

#include "IrrCompileConfig.h"
#include <stdio.h>
#include "irrSystemPaths.h"
#include "irrArray.h"

#if defined(_IRR_WINDOWS_API_)
#include <windows.h>
#endif

namespace irr
{
namespace io
{

namespace
{
	// The longest full path that the wide functions take after the "\\?\" prefix.
	const u32 MaxSystemPath = 32767;
	// The longest name of one file or folder.
	const u32 MaxPathPart = 255;

#if defined(_IRR_WINDOWS_API_)
	core::stringw wideOf(const path& name)
	{
#if defined(_IRR_WCHAR_FILESYSTEM)
		return name;
#else
		if (name.empty())
			return core::stringw();
		const int n = MultiByteToWideChar(CP_ACP, 0, name.c_str(), (int)name.size(), 0, 0);
		if (n <= 0)
			return core::stringw();
		core::array<wchar_t> wide((u32)n + 1);
		wide.set_used((u32)n + 1);
		MultiByteToWideChar(CP_ACP, 0, name.c_str(), (int)name.size(), wide.pointer(), n);
		wide[(u32)n] = 0;
		return core::stringw(wide.const_pointer());
#endif
	}
#endif
}

core::stringw getSystemFullPath(const path& filename)
{
#if defined(_IRR_WINDOWS_API_)
	const core::stringw wide = wideOf(filename);
	if (wide.empty())
		return wide;
	const DWORD need = GetFullPathNameW(wide.c_str(), 0, 0, 0);
	if (need == 0 || need > MaxSystemPath + 1)
		return core::stringw();
	core::array<wchar_t> full(need + 1);
	full.set_used(need + 1);
	const DWORD got = GetFullPathNameW(wide.c_str(), need + 1, full.pointer(), 0);
	if (got == 0 || got > need)
		return core::stringw();
	full[got] = 0;
	core::stringw result(full.const_pointer());
	result.replace(L'/', L'\\');
	return result;
#else
	return core::stringw(filename);
#endif
}

path getFullPath(const path& filename)
{
#if defined(_IRR_WINDOWS_API_) && !defined(_IRR_WCHAR_FILESYSTEM)
	const core::stringw full = getSystemFullPath(filename);
	if (full.empty())
		return path();
	const int n = WideCharToMultiByte(CP_ACP, 0, full.c_str(), (int)full.size(), 0, 0, 0, 0);
	if (n <= 0)
		return path();
	core::array<c8> narrow((u32)n + 1);
	narrow.set_used((u32)n + 1);
	WideCharToMultiByte(CP_ACP, 0, full.c_str(), (int)full.size(), narrow.pointer(), n, 0, 0);
	narrow[(u32)n] = 0;
	return path(narrow.const_pointer());
#else
	return path(getSystemFullPath(filename));
#endif
}

core::stringw getSystemPath(const path& filename)
{
#if defined(_IRR_WINDOWS_API_)
	const core::stringw wide = wideOf(filename);
	if (wide.size() >= 4 && wide[0] == L'\\' && wide[1] == L'\\' && (wide[2] == L'?' || wide[2] == L'.') && wide[3] == L'\\')
		return wide; // already in the system's own form
	const core::stringw full = getSystemFullPath(filename);
	if (full.size() < MAX_PATH - 1)
		return wide;
	if (full.size() >= 2 && full[0] == L'\\' && full[1] == L'\\')
		return core::stringw(L"\\\\?\\UNC\\") + full.subString(2, full.size() - 2);
	return core::stringw(L"\\\\?\\") + full;
#else
	return core::stringw(filename);
#endif
}

bool isPathTooLong(const path& filename)
{
#if defined(_IRR_WINDOWS_API_)
	if (filename.empty())
		return false;
	const core::stringw full = getSystemFullPath(filename);
	if (full.empty())
		return GetLastError() == ERROR_FILENAME_EXCED_RANGE || wideOf(filename).size() >= MaxSystemPath;
	if (full.size() + 8 > MaxSystemPath)
		return true;
	u32 part = 0;
	for (u32 i = 0; i < full.size(); ++i)
	{
		if (full[i] == L'\\')
			part = 0;
		else if (++part > MaxPathPart)
			return true;
	}
	return false;
#else
	return false;
#endif
}

bool systemFileExists(const path& filename)
{
	if (filename.empty())
		return false;
#if defined(_IRR_WINDOWS_API_)
	if (GetFileAttributesA(filename.c_str()) != INVALID_FILE_ATTRIBUTES)
		return true;
	// the ANSI functions may refuse names past MAX_PATH
	return GetFileAttributesW(getSystemPath(filename).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
	FILE* file = fopen(filename.c_str(), "rb");
	if (file)
		fclose(file);
	return file != 0;
#endif
}

FILE* openSystemFile(const path& filename, const wchar_t* mode)
{
	if (filename.empty())
		return 0;
	const core::stringc narrowMode(mode);
	FILE* file = fopen(filename.c_str(), narrowMode.c_str());
#if defined(_IRR_WINDOWS_API_)
	// The standard functions may refuse names past MAX_PATH: such a name is opened by the system's own
	// form of its full path.
	if (!file)
		file = _wfopen(getSystemPath(filename).c_str(), mode);
#endif
	return file;
}

} // end namespace io
} // end namespace irr
