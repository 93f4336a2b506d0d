#pragma once
#include <QString>
#include <cstdint>
#include <optional>

// The tag dialog's year text as a number: optional leading blanks, an optional
// "+" or "-", then decimal digits within the signed 32-bit range, or
// hexadecimal digits after "$", "x", "X", "0x" or "0X" within 32 bits (taken
// as a signed 32-bit pattern). Nothing may follow the digits; empty text,
// trailing blanks and anything else give no value.
std::optional<int32_t> ParseTagYear(const QString &text);
