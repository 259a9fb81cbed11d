#include "platform/SysUtils.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sys/time.h>
#include <vector>

std::string FormatV(const char* Fmt, va_list Args) {
  va_list Copy;
  va_copy(Copy, Args);
  const int N = std::vsnprintf(nullptr, 0, Fmt, Copy);
  va_end(Copy);
  if (N <= 0) return {};
  std::string R(static_cast<size_t>(N) + 1, '\0');
  std::vsnprintf(R.data(), R.size(), Fmt, Args);
  R.resize(static_cast<size_t>(N));
  return R;
}

std::string Format(const char* Fmt, ...) {
  va_list Args;
  va_start(Args, Fmt);
  std::string R = FormatV(Fmt, Args);
  va_end(Args);
  return R;
}

void RaiseListIndexError(long long Index) {
  throw EListError(Format(SListIndexError, static_cast<int>(Index)));
}

void RaiseLastOSError(int Code) {
  throw EOSError(Format(SOSError, Code, std::strerror(Code)), Code);
}

// ---------------------------------------------------------------------------------------------

std::string UpperCase(std::string_view S) {
  std::string R(S);
  for (char& C : R)
    if (C >= 'a' && C <= 'z') C = static_cast<char>(C - 'a' + 'A');
  return R;
}

std::string LowerCase(std::string_view S) {
  std::string R(S);
  for (char& C : R)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return R;
}

std::string Trim(std::string_view S) {
  size_t B = 0, E = S.size();
  while (B < E && static_cast<unsigned char>(S[B]) <= ' ') ++B;
  while (E > B && static_cast<unsigned char>(S[E - 1]) <= ' ') --E;
  return std::string(S.substr(B, E - B));
}

std::string IntToStr(long long Value) { return std::to_string(Value); }

std::string IntToHex(unsigned long long Value, int Digits) {
  static const char Hex[] = "0123456789ABCDEF";
  std::string R;
  do {
    R.insert(R.begin(), Hex[Value & 15]);
    Value >>= 4;
  } while (Value != 0);
  while (static_cast<int>(R.size()) < Digits) R.insert(R.begin(), '0');
  return R;
}

bool TryStrToInt(std::string_view S, int32_t& Value) {
  // The run-time library's Val: leading blanks, optional sign, decimal or $/0x hexadecimal.
  size_t I = 0;
  while (I < S.size() && S[I] == ' ') ++I;
  bool Neg = false;
  if (I < S.size() && (S[I] == '-' || S[I] == '+')) Neg = S[I++] == '-';
  int Base = 10;
  if (I < S.size() && S[I] == '$') {
    Base = 16;
    ++I;
  } else if (I + 1 < S.size() && S[I] == '0' && (S[I + 1] == 'x' || S[I + 1] == 'X')) {
    Base = 16;
    I += 2;
  }
  if (I >= S.size()) return false;
  long long V = 0;
  for (; I < S.size(); ++I) {
    const char C = S[I];
    int D;
    if (C >= '0' && C <= '9') D = C - '0';
    else if (Base == 16 && C >= 'a' && C <= 'f') D = C - 'a' + 10;
    else if (Base == 16 && C >= 'A' && C <= 'F') D = C - 'A' + 10;
    else return false;
    V = V * Base + D;
    if (V > 0x100000000LL) return false;
  }
  if (Neg) V = -V;
  if (Base == 16 && !Neg && V <= 0xFFFFFFFFLL) V = static_cast<int32_t>(static_cast<uint32_t>(V));
  if (V < INT32_MIN || V > INT32_MAX) return false;
  Value = static_cast<int32_t>(V);
  return true;
}

int32_t StrToInt(std::string_view S) {
  int32_t V;
  if (!TryStrToInt(S, V)) throw EConvertError(Format(SInvalidInteger, std::string(S).c_str()));
  return V;
}

int32_t StrToIntDef(std::string_view S, int32_t Default) {
  int32_t V;
  return TryStrToInt(S, V) ? V : Default;
}

int CompareText(std::string_view A, std::string_view B) {
  const size_t N = std::min(A.size(), B.size());
  for (size_t I = 0; I < N; ++I) {
    unsigned char X = static_cast<unsigned char>(A[I]), Y = static_cast<unsigned char>(B[I]);
    if (X >= 'a' && X <= 'z') X = static_cast<unsigned char>(X - 32);
    if (Y >= 'a' && Y <= 'z') Y = static_cast<unsigned char>(Y - 32);
    if (X != Y) return X < Y ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

bool SameText(std::string_view A, std::string_view B) { return CompareText(A, B) == 0; }

namespace {

// Decodes one UTF-8 code point; an invalid byte yields itself (as a Windows-1252 byte would).
char32_t NextCodePoint(std::string_view S, size_t& I) {
  const unsigned char C = static_cast<unsigned char>(S[I]);
  auto Cont = [&](size_t K) {
    return I + K < S.size() && (static_cast<unsigned char>(S[I + K]) & 0xC0) == 0x80;
  };
  if (C < 0x80) {
    ++I;
    return C;
  }
  if ((C & 0xE0) == 0xC0 && C >= 0xC2 && Cont(1)) {
    char32_t R = ((C & 0x1Fu) << 6) | (static_cast<unsigned char>(S[I + 1]) & 0x3Fu);
    I += 2;
    return R;
  }
  if ((C & 0xF0) == 0xE0 && Cont(1) && Cont(2)) {
    char32_t R = ((C & 0x0Fu) << 12) | ((static_cast<unsigned char>(S[I + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(S[I + 2]) & 0x3Fu);
    if (R >= 0x800 && (R < 0xD800 || R > 0xDFFF)) {
      I += 3;
      return R;
    }
  }
  if ((C & 0xF8) == 0xF0 && Cont(1) && Cont(2) && Cont(3)) {
    char32_t R = ((C & 0x07u) << 18) | ((static_cast<unsigned char>(S[I + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(S[I + 2]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(S[I + 3]) & 0x3Fu);
    if (R >= 0x10000 && R <= 0x10FFFF) {
      I += 4;
      return R;
    }
  }
  ++I;
  return C;
}

void AppendUtf8(std::string& R, char32_t Cp) {
  if (Cp < 0x80) {
    R.push_back(static_cast<char>(Cp));
  } else if (Cp < 0x800) {
    R.push_back(static_cast<char>(0xC0 | (Cp >> 6)));
    R.push_back(static_cast<char>(0x80 | (Cp & 0x3F)));
  } else if (Cp < 0x10000) {
    R.push_back(static_cast<char>(0xE0 | (Cp >> 12)));
    R.push_back(static_cast<char>(0x80 | ((Cp >> 6) & 0x3F)));
    R.push_back(static_cast<char>(0x80 | (Cp & 0x3F)));
  } else {
    R.push_back(static_cast<char>(0xF0 | (Cp >> 18)));
    R.push_back(static_cast<char>(0x80 | ((Cp >> 12) & 0x3F)));
    R.push_back(static_cast<char>(0x80 | ((Cp >> 6) & 0x3F)));
    R.push_back(static_cast<char>(0x80 | (Cp & 0x3F)));
  }
}

// Windows-1252 bytes $80..$9F; the undefined ones keep their own value.
constexpr char16_t K1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int CodePointTo1252(char32_t Cp) {
  if (Cp < 0x80 || (Cp >= 0xA0 && Cp <= 0xFF)) return static_cast<int>(Cp);
  for (int I = 0; I < 32; ++I)
    if (K1252High[I] == Cp) return 0x80 + I;
  return -1;
}

// Collation weight of one code point: (class, primary, secondary).
struct Weight {
  int Class;  // 0 control, 1 symbol, 2 digit, 3 letter
  char32_t Primary;
  char32_t Secondary;
};

char32_t BaseLetter(char32_t C) {
  // Latin-1 letters with diacritics sort beside their base letter.
  static const char* Map =
      "AAAAAAACEEEEIIII"   // C0..CF
      "DNOOOOO*OUUUUYTs"   // D0..DF
      "aaaaaaaceeeeiiii"   // E0..EF
      "dnooooo/ouuuuyty";  // F0..FF
  if (C >= 0xC0 && C <= 0xFF) {
    const char B = Map[C - 0xC0];
    if (B != '*' && B != '/') return static_cast<char32_t>(B);
  }
  if (C == 0x160 || C == 0x161) return 's';
  if (C == 0x17D || C == 0x17E) return 'z';
  if (C == 0x178) return 'y';
  if (C == 0x152 || C == 0x153) return 'o';
  return C;
}

Weight WeightOf(char32_t C) {
  char32_t B = BaseLetter(C);
  if (B >= 'a' && B <= 'z') B -= 32;
  if (B >= '0' && B <= '9') return {2, B, 0};
  if (B >= 'A' && B <= 'Z') {
    char32_t Sec = C;
    if (Sec >= 'a' && Sec <= 'z') Sec -= 32;
    if (Sec >= 0xE0 && Sec <= 0xFE && Sec != 0xF7) Sec -= 32;
    return {3, B, Sec == B ? 0 : Sec};
  }
  if (C < 0x20) return {0, C, 0};
  if (C >= 0x80) {
    // Other letters of the wider repertoire come after Latin ones, by code point.
    return {3, 0x10000 + C, 0};
  }
  return {1, C, 0};
}

}  // namespace

int AnsiCompareText(std::string_view A, std::string_view B) {
  size_t I = 0, J = 0;
  int SecondaryDiff = 0;
  while (I < A.size() && J < B.size()) {
    const Weight X = WeightOf(NextCodePoint(A, I));
    const Weight Y = WeightOf(NextCodePoint(B, J));
    if (X.Class != Y.Class) return X.Class < Y.Class ? -1 : 1;
    if (X.Primary != Y.Primary) return X.Primary < Y.Primary ? -1 : 1;
    if (SecondaryDiff == 0 && X.Secondary != Y.Secondary)
      SecondaryDiff = X.Secondary < Y.Secondary ? -1 : 1;
  }
  if (I < A.size()) return 1;
  if (J < B.size()) return -1;
  return SecondaryDiff;
}

bool AnsiSameText(std::string_view A, std::string_view B) { return AnsiCompareText(A, B) == 0; }

std::string StringReplaceAll(std::string S, std::string_view From, std::string_view To) {
  if (From.empty()) return S;
  size_t P = 0;
  while ((P = S.find(From, P)) != std::string::npos) {
    S.replace(P, From.size(), To);
    P += To.size();
  }
  return S;
}

bool EndsWith(std::string_view S, std::string_view Tail) {
  return S.size() >= Tail.size() && S.substr(S.size() - Tail.size()) == Tail;
}

bool StartsWith(std::string_view S, std::string_view Head) {
  return S.size() >= Head.size() && S.substr(0, Head.size()) == Head;
}

std::string ExtractFileName(std::string_view Path) {
  const size_t P = Path.find_last_of("\\/:");
  return std::string(P == std::string_view::npos ? Path : Path.substr(P + 1));
}

std::string ExtractFileExt(std::string_view Path) {
  const size_t P = Path.find_last_of(".\\/:");
  if (P == std::string_view::npos || Path[P] != '.') return {};
  return std::string(Path.substr(P));
}

std::string IncludeTrailingPathDelimiter(std::string_view Path) {
  std::string R(Path);
  if (R.empty() || R.back() != '/') R.push_back('/');
  return R;
}

std::string Win1252ToUtf8(std::string_view S) {
  std::string R;
  R.reserve(S.size() + S.size() / 8);
  for (const char Ch : S) {
    const unsigned char C = static_cast<unsigned char>(Ch);
    if (C < 0x80) R.push_back(Ch);
    else if (C < 0xA0) AppendUtf8(R, K1252High[C - 0x80]);
    else AppendUtf8(R, C);
  }
  return R;
}

std::string Utf8ToWin1252(std::string_view S) {
  std::string R;
  R.reserve(S.size());
  size_t I = 0;
  while (I < S.size()) {
    const size_t Start = I;
    const char32_t Cp = NextCodePoint(S, I);
    if (I == Start + 1 && static_cast<unsigned char>(S[Start]) >= 0x80) {
      R.push_back(S[Start]);  // a stray byte keeps its value
      continue;
    }
    const int B = CodePointTo1252(Cp);
    R.push_back(B < 0 ? '?' : static_cast<char>(B));
  }
  return R;
}

// ---------------------------------------------------------------------------------------------

namespace {
plat::NowFunc GNowHook = nullptr;

long long DaysFromCivil(long long Y, unsigned M, unsigned D) {
  Y -= M <= 2;
  const long long Era = (Y >= 0 ? Y : Y - 399) / 400;
  const unsigned Yoe = static_cast<unsigned>(Y - Era * 400);
  const unsigned Doy = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
  const unsigned Doe = Yoe * 365 + Yoe / 4 - Yoe / 100 + Doy;
  return Era * 146097 + static_cast<long long>(Doe) - 719468;
}
// 1899-12-30 counted from 1970-01-01.
constexpr long long KDelphiEpoch = -25569;
}  // namespace

void plat::SetNowHook(NowFunc F) { GNowHook = F; }

TDateTime EncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second,
                         int Msec) {
  const long long Days = DaysFromCivil(Year, static_cast<unsigned>(Month),
                                       static_cast<unsigned>(Day)) - KDelphiEpoch;
  const double Frac = (Hour * 3600000.0 + Minute * 60000.0 + Second * 1000.0 + Msec) / 86400000.0;
  return static_cast<double>(Days) + Frac;
}

bool TryDecodeDate(TDateTime D, int& Year, int& Month, int& Day) {
  // The date part is the whole days toward zero; a negative fraction is a time of that day.
  const double Days = std::trunc(D);
  // 1 January 1 and 31 December 9999; the test also keeps NaN and huge values away from the
  // integer conversion below.
  if (!(Days >= -693593.0 && Days <= 2958465.0)) return false;
  long long Z = static_cast<long long>(Days) + KDelphiEpoch + 719468;
  const long long Era = (Z >= 0 ? Z : Z - 146096) / 146097;
  const unsigned Doe = static_cast<unsigned>(Z - Era * 146097);
  const unsigned Yoe = (Doe - Doe / 1460 + Doe / 36524 - Doe / 146096) / 365;
  const long long Y = static_cast<long long>(Yoe) + Era * 400;
  const unsigned Doy = Doe - (365 * Yoe + Yoe / 4 - Yoe / 100);
  const unsigned Mp = (5 * Doy + 2) / 153;
  Day = static_cast<int>(Doy - (153 * Mp + 2) / 5 + 1);
  Month = static_cast<int>(Mp < 10 ? Mp + 3 : Mp - 9);
  Year = static_cast<int>(Y + (Month <= 2));
  return true;
}

TDateTime Now() {
  if (GNowHook) return GNowHook();
  timeval Tv{};
  gettimeofday(&Tv, nullptr);
  std::tm Local{};
  const time_t T = Tv.tv_sec;
  localtime_r(&T, &Local);
  return EncodeDateTime(Local.tm_year + 1900, Local.tm_mon + 1, Local.tm_mday, Local.tm_hour,
                        Local.tm_min, Local.tm_sec, static_cast<int>(Tv.tv_usec / 1000));
}
