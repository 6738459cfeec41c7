// Text encodings. Stored and processed text is Windows-1252 ("ANSI") bytes in
// std::string; UTF-8 and UTF-16 appear only at the edge to the OS and Qt, and
// "OEM" text is CP437. All tables are fixed, so results never depend on the
// machine's locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace plat {

// --- single characters ---------------------------------------------------
char16_t AnsiCharToUnicode(unsigned char c);
// -1 when the code point has no Windows-1252 byte.
int UnicodeToAnsiChar(char32_t cp);
char16_t OemCharToUnicode(unsigned char c);
int UnicodeToOemChar(char32_t cp);
// OEM <-> ANSI by way of Unicode; characters without a counterpart become '?'.
unsigned char OemToAnsiChar(unsigned char c);
unsigned char AnsiToOemChar(unsigned char c);

// --- strings ---------------------------------------------------------------
// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, char32_t cp);
std::string AnsiToUtf8(std::string_view ansi);
// Characters without a Windows-1252 byte become `fallback`; malformed UTF-8
// sequences count as one unknown character each.
std::string Utf8ToAnsi(std::string_view utf8, char fallback = '?');
std::u16string AnsiToWide(std::string_view ansi);
std::string WideToAnsi(std::u16string_view wide, char fallback = '?');
std::string OemToAnsi(std::string_view oem);
std::string AnsiToOem(std::string_view ansi);

// --- character classes and case of Windows-1252 ------------------------------
bool IsCharAlpha(unsigned char c);
bool IsCharAlphaNumeric(unsigned char c);
bool IsCharUpper(unsigned char c);
bool IsCharLower(unsigned char c);
bool IsCharDigit(unsigned char c);
bool IsCharSpace(unsigned char c);
unsigned char CharUpper(unsigned char c);
unsigned char CharLower(unsigned char c);
void CharUpperBuff(char* buf, std::size_t len);
void CharLowerBuff(char* buf, std::size_t len);
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);

// --- collation ---------------------------------------------------------------
// A fixed, linguistic-style order for Windows-1252 text: punctuation and
// symbols, then digits, then letters with accented forms next to their base
// letter. Levels: base character, then accent, then case (lower before
// upper), then byte value, so the case-sensitive order is total: two strings
// compare equal only when they are the same bytes. With ignoreCase, strings
// that differ only in letter case compare equal.
int CompareAnsi(std::string_view a, std::string_view b, bool ignoreCase);
int CompareWide(std::u16string_view a, std::u16string_view b, bool ignoreCase);

// The Win32-shaped entry points return these values (0 on bad arguments).
constexpr int CSTR_LESS_THAN = 1;
constexpr int CSTR_EQUAL = 2;
constexpr int CSTR_GREATER_THAN = 3;
constexpr unsigned NORM_IGNORECASE = 0x00000001;
// Lengths of -1 mean "up to the terminating NUL".
int CompareStringA(unsigned flags, const char* a, int lenA, const char* b, int lenB);
int CompareStringW(unsigned flags, const char16_t* a, int lenA, const char16_t* b, int lenB);

}  // namespace plat
