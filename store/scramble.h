#pragma once
// Scrambling of the values kept in "server.db", so that the file shows no
// readable address, name, port, user, password or flag. No key, no crypto:
// it only keeps the values from being read at a glance.
//
// Each UTF-16 unit is written as two bytes, high byte first, two upper-case hex
// digits per byte; then three hex digits of the scheme are replaced by letters
// that are not hex digits (and never a quote, so the texts go between single
// quotes in SQL unescaped).
//
// Salted form (every column but ip): "%02X"(n + k), "%02X"(k + B), then each
// byte plus k mod 256, then random filler pairs up to 50 characters when the
// text is shorter than that. k changes with the clock, so one value gives
// different texts.
//
// Fixed form (the ip column): just the bytes, no header, offset or filler, so
// the same value always gives the same text and can be matched in a WHERE.
#include <QString>

#include <functional>

namespace store_scramble {

// The parameters below decide how a stored "server.db" reads back: a file
// written with other values cannot be read with these. Never change them.
//
// Offset k = (milliseconds of the local time mod kSaltOffsetMax) + 1, so
// 1 <= k <= kSaltOffsetMax.
inline constexpr int kSaltOffsetMax = 16;
// Bias B added to k in the offset field; k + B <= 0x6A fits two digits.
inline constexpr int kSaltBias = 0x5A;
// n + k must fit the two-digit length field whatever k is: the longest value
// the salted scheme can store, in UTF-16 units.
inline constexpr int kMaxSaltedUnits = 0xFF - kSaltOffsetMax;  // 239
// Substitutions, hex digit -> letter. Letters G-Z are neither hex digits (in
// either case) nor quote, "%" or "_", and are distinct within a scheme.
inline constexpr char16_t kSaltedDigits[3] = {u'0', u'5', u'A'};
inline constexpr char16_t kSaltedLetters[3] = {u'Z', u'W', u'Q'};
inline constexpr char16_t kFixedDigits[3] = {u'0', u'3', u'E'};
inline constexpr char16_t kFixedLetters[3] = {u'G', u'K', u'R'};

}  // namespace store_scramble

// Where the salted scrambler takes its offset and filler from; tests inject
// both to get exact texts. An unset member falls back to the default.
struct SaltSource {
  std::function<int()> milliseconds;  // 0 to 999, the milliseconds of the local time
  std::function<unsigned()> random;   // any number; only its low byte is used
};

// The local clock and the process's random generator.
SaltSource DefaultSaltSource();

// The salted form of value. A value longer than kMaxSaltedUnits has no salted
// form: the result is then the empty text (which unscrambles to the empty
// text), and the store refuses such values before it gets here.
QString ScrambleSalted(QString value);
QString ScrambleSalted(QString value, const SaltSource& source);

// Every unit that the length field gives, as far as the text holds whole units.
// Texts that no scrambler made give what can be read of them: a text shorter
// than the header, or with a foreign character in it, gives the empty text or
// the units before that character.
QString UnscrambleSalted(QString text);

QString ScrambleFixed(QString value);
// Whole groups of four characters; a trailing short group, and everything from
// a foreign character on, is ignored.
QString UnscrambleFixed(QString text);
