#pragma once
#include <memory>
#include <string>

class TFileStream;

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
// The same names, but the file is created here, afresh and for the user alone: a name that
// anything (a link included) takes by then is passed over for the next one. FileName is set
// only when a file was made; errors other than a taken name raise EFOpenError.
std::unique_ptr<TFileStream> CreateUniqueFile(const std::string& Dir, const std::string& Prefix,
                                              const std::string& Ext, std::string& FileName);
bool FileExists(const std::string& FileName);
