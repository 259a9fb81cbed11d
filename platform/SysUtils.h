#pragma once
// Run-time library of the system: the exception hierarchy, checked integer arithmetic,
// text helpers and the date-time value. Everything here is plain C++ with no GUI.

#include <cstdarg>
#include <cstdint>
#include <exception>
#include <limits>
#include <utility>
#include <string>
#include <string_view>
#include <type_traits>

// ---------------------------------------------------------------------------------------------
// Root object

class TObject {
public:
  virtual ~TObject() = default;
  // The class name as the stored formats know it; every persistent class overrides it.
  virtual std::string ClassName() const { return "TObject"; }
};

// ---------------------------------------------------------------------------------------------
// Exceptions

class Exception : public std::exception {
public:
  explicit Exception(std::string Msg) : FMessage(std::move(Msg)) {}
  const std::string& Message() const noexcept { return FMessage; }
  void SetMessage(std::string Msg) { FMessage = std::move(Msg); }
  const char* what() const noexcept override { return FMessage.c_str(); }
  virtual const char* ClassName() const noexcept { return "Exception"; }

private:
  std::string FMessage;
};

#define RIZ_DECLARE_EXCEPTION(Name, Base)                                                  \
  class Name : public Base {                                                              \
  public:                                                                                 \
    using Base::Base;                                                                     \
    const char* ClassName() const noexcept override { return #Name; }                    \
  }

RIZ_DECLARE_EXCEPTION(EAbort, Exception);
RIZ_DECLARE_EXCEPTION(EExternal, Exception);
RIZ_DECLARE_EXCEPTION(EIntError, EExternal);
RIZ_DECLARE_EXCEPTION(EIntOverflow, EIntError);
RIZ_DECLARE_EXCEPTION(ERangeError, EIntError);
RIZ_DECLARE_EXCEPTION(EDivByZero, EIntError);
RIZ_DECLARE_EXCEPTION(EConvertError, Exception);
RIZ_DECLARE_EXCEPTION(EPropertyConvertError, Exception);
RIZ_DECLARE_EXCEPTION(EInvalidCast, Exception);
RIZ_DECLARE_EXCEPTION(EAbstractError, Exception);
RIZ_DECLARE_EXCEPTION(EInvalidOperation, Exception);
RIZ_DECLARE_EXCEPTION(EListError, Exception);
RIZ_DECLARE_EXCEPTION(EStringListError, EListError);
RIZ_DECLARE_EXCEPTION(EStreamError, Exception);
RIZ_DECLARE_EXCEPTION(EReadError, EStreamError);
RIZ_DECLARE_EXCEPTION(EWriteError, EStreamError);
RIZ_DECLARE_EXCEPTION(EFCreateError, EStreamError);
RIZ_DECLARE_EXCEPTION(EFOpenError, EStreamError);
RIZ_DECLARE_EXCEPTION(EOutOfMemory, Exception);
RIZ_DECLARE_EXCEPTION(EInvalidGraphic, Exception);

class EOSError : public Exception {
public:
  EOSError(std::string Msg, int Code) : Exception(std::move(Msg)), ErrorCode(Code) {}
  const char* ClassName() const noexcept override { return "EOSError"; }
  int ErrorCode;
};

// The run-time library's message texts.
inline constexpr const char* SListIndexError = "List index out of bounds (%d)";
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";
inline constexpr const char* SIntOverflow = "Integer overflow";
inline constexpr const char* SRangeError = "Range check error";
inline constexpr const char* SDivByZero = "Division by zero";
inline constexpr const char* SAbstractError = "Abstract Error";
inline constexpr const char* SAssignError = "Cannot assign a %s to a %s";
inline constexpr const char* SInvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char* SFOpenErrorEx = "Cannot open file \"%s\". %s";
inline constexpr const char* SFCreateErrorEx = "Cannot create file \"%s\". %s";
inline constexpr const char* SDuplicateString = "String list does not allow duplicates";
inline constexpr const char* SOSError = "System Error.  Code: %d.\n%s";

// printf-style formatting into a std::string.
std::string Format(const char* Fmt, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* Fmt, va_list Args);

[[noreturn]] void RaiseListIndexError(long long Index);
[[noreturn]] void RaiseLastOSError(int Code);

// ---------------------------------------------------------------------------------------------
// Checked integer arithmetic: overflow raises, never wraps.

template <class T>
T CheckedAdd(T A, T B) {
  T R;
  if (__builtin_add_overflow(A, B, &R)) throw EIntOverflow(SIntOverflow);
  return R;
}
template <class T>
T CheckedSub(T A, T B) {
  T R;
  if (__builtin_sub_overflow(A, B, &R)) throw EIntOverflow(SIntOverflow);
  return R;
}
template <class T>
T CheckedMul(T A, T B) {
  T R;
  if (__builtin_mul_overflow(A, B, &R)) throw EIntOverflow(SIntOverflow);
  return R;
}
// Truncating division and remainder; a zero divisor raises, as does MIN / -1.
template <class T>
T CheckedDiv(T A, T B) {
  if (B == 0) throw EDivByZero(SDivByZero);
  if constexpr (std::is_signed_v<T>)
    if (A == std::numeric_limits<T>::min() && B == T(-1)) throw EIntOverflow(SIntOverflow);
  return A / B;
}
template <class T>
T CheckedMod(T A, T B) {
  if (B == 0) throw EDivByZero(SDivByZero);
  if constexpr (std::is_signed_v<T>)
    if (B == T(-1)) return 0;
  return A % B;
}
// Narrowing with the range check.
template <class To, class From>
To RangeChecked(From V) {
  if constexpr (std::is_floating_point_v<From>) {
    if (!(V >= static_cast<From>(std::numeric_limits<To>::min()) &&
          V <= static_cast<From>(std::numeric_limits<To>::max())))
      throw ERangeError(SRangeError);
    return static_cast<To>(V);
  } else {
    if (!std::in_range<To>(V)) throw ERangeError(SRangeError);
    return static_cast<To>(V);
  }
}

// ---------------------------------------------------------------------------------------------
// Text helpers (8-bit rules: only a..z and A..Z change case).

std::string UpperCase(std::string_view S);
std::string LowerCase(std::string_view S);
// Removes leading and trailing characters at or below the blank.
std::string Trim(std::string_view S);
std::string IntToStr(long long Value);
// Upper-case hexadecimal with at least Digits digits (more when the value needs them).
std::string IntToHex(unsigned long long Value, int Digits);
// Decimal (or $hex) integer; raises EConvertError when the text is no 32-bit integer.
int32_t StrToInt(std::string_view S);
bool TryStrToInt(std::string_view S, int32_t& Value);
int32_t StrToIntDef(std::string_view S, int32_t Default);
bool SameText(std::string_view A, std::string_view B);
// Ordinal comparison after folding a..z to upper case.
int CompareText(std::string_view A, std::string_view B);
// The user-locale comparison ignoring case, as the sorted lists of the system use it: fixed
// rather than host-dependent: symbols before digits before letters, accented letters beside
// their base letter, case ignored. Returns 0 exactly when the texts are equal ignoring case.
int AnsiCompareText(std::string_view A, std::string_view B);
bool AnsiSameText(std::string_view A, std::string_view B);
std::string StringReplaceAll(std::string S, std::string_view From, std::string_view To);
bool EndsWith(std::string_view S, std::string_view Tail);
bool StartsWith(std::string_view S, std::string_view Head);
// The file name part of a path; separators are '\\', '/' and ':' whatever the host.
std::string ExtractFileName(std::string_view Path);
std::string ExtractFileExt(std::string_view Path);
std::string IncludeTrailingPathDelimiter(std::string_view Path);

// ---------------------------------------------------------------------------------------------
// 8-bit text of the stored formats: Windows-1252 on disk, UTF-8 in memory. Lossless for every
// byte; the five bytes the code page leaves undefined map to U+0081, U+008D, U+008F, U+0090
// and U+009D. Code points outside the code page become '?'; invalid UTF-8 bytes pass through
// as the Windows-1252 character of the same byte value.
std::string Win1252ToUtf8(std::string_view S);
std::string Utf8ToWin1252(std::string_view S);

// ---------------------------------------------------------------------------------------------
// Date and time: days since 30 December 1899 as a double, the fraction the time of day, local.

using TDateTime = double;
TDateTime Now();
TDateTime EncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int Msec);
// The calendar date of D (1 January 1 to 31 December 9999); false for NaN, infinities and
// values outside that range, which leave the three fields unchanged.
bool TryDecodeDate(TDateTime D, int& Year, int& Month, int& Day);

namespace plat {
// Tests fix the wall clock with this; nullptr restores the real one.
using NowFunc = TDateTime (*)();
void SetNowHook(NowFunc F);
}  // namespace plat
