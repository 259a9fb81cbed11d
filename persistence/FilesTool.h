#pragma once
#include <string>

// The eight version strings of a file's version block; outputs not found stay as passed.
bool GetFileVersionStrings(const std::string& FileName, std::string& CompanyName,
                           std::string& FileDescription, std::string& FileVersion,
                           std::string& InternalName, std::string& LegalCopyright,
                           std::string& OriginalFilename, std::string& ProductName,
                           std::string& ProductVersion);
// A name in Dir that no existing file has: Dir/Prefix<16 hex digits>.Ext, counting up from
// the bytes of the current date and time.
void MakeUniqueFileName(const std::string& Dir, const std::string& Prefix, const std::string& Ext,
                        std::string& FileName);
bool FileExists(const std::string& FileName);
