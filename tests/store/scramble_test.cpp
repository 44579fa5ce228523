// The two scrambling schemes of "server.db": exact texts with an injected
// clock and filler, round trips, lengths and alphabets, and foreign texts.
#include "store/scramble.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <vector>

using namespace store_scramble;

namespace {

// k = ms % 16 + 1, so the milliseconds k - 1 give offset k.
SaltSource Fixed(int k, std::vector<unsigned> filler = {}) {
  auto index = std::make_shared<size_t>(0);
  return SaltSource{[k] { return k - 1; },
                    [filler, index] { return *index < filler.size() ? filler[(*index)++] : 0u; }};
}

QString Repeat(const QString& unit, int n) { return unit.repeated(n); }

// The value of characters pos, pos + 1 after undoing the salted substitutions.
int SaltedByte(QString text, int pos) {
  for (int i = 0; i < 3; ++i) text.replace(QChar(kSaltedLetters[i]), QChar(kSaltedDigits[i]));
  return text.mid(pos, 2).toInt(nullptr, 16);
}

}  // namespace

TEST(ScrambleSalted, ExactTextsWithInjectedClockAndFiller) {
  struct Case {
    QString value;
    int k;
    QString expected;
  };
  const QString z = QStringLiteral("Z");
  const std::vector<Case> cases = {
      {"", 1, "Z1WB" + z.repeated(92)},
      {"1", 5, "Z6WFZW36" + z.repeated(84)},
      {"80", 16, "126Q1Z481Z4Z" + z.repeated(76)},
      {"admin", 16, "1W6Q1Z711Z741Z7D1Z791Z7E" + z.repeated(52)},
      // A unit above 0x00FF.
      {QString::fromUtf16(u"\u4E2D"), 16, "116QWE3D" + z.repeated(84)},
      // 0xFF + 3 wraps to 0x02.
      {QString::fromUtf16(u"\u00FF"), 3, "Z4WDZ3Z2" + z.repeated(84)},
      {QString::fromUtf16(u"\u4E2D\u6587 'x'"), 7, "ZD61WW346C8EZ727Z72EZ77FZ72E" + z.repeated(44)},
      // 11 units still get filler up to 52 characters, 12 units need none.
      {Repeat("a", 11), 1, "ZCWB" + QStringLiteral("Z162").repeated(11) + "ZZZZ"},
      {Repeat("a", 12), 1, "ZDWB" + QStringLiteral("Z162").repeated(12)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ScrambleSalted(c.value, Fixed(c.k)), c.expected) << c.value.toStdString();
  }
  // Only the low byte of each random number becomes a filler pair.
  EXPECT_EQ(ScrambleSalted("ab", Fixed(2, {0x1234, 0xFF, 7})),
            "Z4WCZ263Z26434FFZ7" + z.repeated(70));
}

TEST(ScrambleSalted, RoundTripLengthAndAlphabetFromTheRealClock) {
  const QRegularExpression alphabet(QStringLiteral("^[1-46-9B-FZWQ]*$"));
  const std::vector<QString> values = {
      "",
      "1",
      "'",
      "admin",
      "Gate O'Neil",
      QString::fromUtf16(u"\u5927\u9580"),
      QString::fromUtf16(u"\u00FF\u0100\uFFFF"),
      QString::fromUtf16(u"\U0001F600"),
      Repeat("x", 11),
      Repeat("y", 12),
      Repeat("z", 20),
      Repeat("p", 49),
      Repeat(QString::fromUtf16(u"\u9580"), 60),
      Repeat("m", kMaxSaltedUnits),
  };
  for (const QString& value : values) {
    SCOPED_TRACE(value.size());
    const QString text = ScrambleSalted(value);
    const int n = static_cast<int>(value.size());
    EXPECT_EQ(text.size(), n <= 11 ? 96 - 4 * n : 4 + 4 * n);
    EXPECT_TRUE(alphabet.match(text).hasMatch()) << text.toStdString();
    // Every unit comes back, 60 and more included.
    EXPECT_EQ(UnscrambleSalted(text), value);
    const int k = SaltedByte(text, 2) - kSaltBias;
    EXPECT_GE(k, 1);
    EXPECT_LE(k, kSaltOffsetMax);
    EXPECT_EQ(SaltedByte(text, 0), n + k);
    // Apart from the filler, the text is the one that offset gives.
    EXPECT_EQ(text.left(4 + 4 * n), ScrambleSalted(value, Fixed(k)).left(4 + 4 * n));
  }
}

TEST(ScrambleSalted, LongestValueFitsEveryOffsetAndLongerHasNoForm) {
  const QString longest = Repeat(QString::fromUtf16(u"\u00FF"), kMaxSaltedUnits);
  EXPECT_EQ(kMaxSaltedUnits, 239);
  for (int k = 1; k <= kSaltOffsetMax; ++k) {
    const QString text = ScrambleSalted(longest, Fixed(k));
    ASSERT_EQ(text.size(), 4 + 4 * kMaxSaltedUnits);
    EXPECT_EQ(SaltedByte(text, 0), kMaxSaltedUnits + k);
    EXPECT_EQ(UnscrambleSalted(text), longest);
  }
  EXPECT_EQ(ScrambleSalted(longest, Fixed(kSaltOffsetMax)).left(2), "FF");
  // No length field of three digits: a longer value has no salted form.
  EXPECT_TRUE(ScrambleSalted(longest + "x").isEmpty());
  EXPECT_TRUE(ScrambleSalted(Repeat("x", 300)).isEmpty());
}

TEST(ScrambleSalted, EveryMillisecondGivesAnOffsetInRange) {
  for (int ms = 0; ms < 1000; ++ms) {
    const QString text = ScrambleSalted("80", SaltSource{[ms] { return ms; }, [] { return 0u; }});
    const int k = SaltedByte(text, 2) - kSaltBias;
    ASSERT_EQ(k, ms % kSaltOffsetMax + 1);
    ASSERT_EQ(UnscrambleSalted(text), "80");
  }
}

TEST(UnscrambleSalted, ForeignTextsGiveWhatCanBeReadAndNoMore) {
  struct Case {
    QString text;
    QString expected;
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"1", ""},
      {"ZZ", ""},
      {"Z1W", ""},
      // Header only, claiming three units.
      {"Z4WB", ""},
      // The length field claims 40 units; the text holds two.
      {"29WBZ162Z163", "ab"},
      // A length field below the offset: no units.
      {"ZZWBZ162", ""},
      // Lower case and other characters are not the scrambler's.
      {"z2wbz162", ""},
      {"Z3WBZ162Z1x3", "a"},
      {"Z3WBZ162" + QString::fromUtf16(u"\u4E2D") + "163", "a"},
      {"Z2W" + QString::fromUtf16(u"\u4E2D") + "Z162", ""},
      {"Z2WBZ1'2", ""},
      // A trailing half unit is not read.
      {"Z3WBZ162Z16", "a"},
  };
  for (const Case& c : cases) EXPECT_EQ(UnscrambleSalted(c.text), c.expected) << c.text.toStdString();
}

TEST(UnscrambleSalted, EveryCutOfAScrambledTextGivesAPrefixOfTheValue) {
  const QString value = QString::fromUtf16(u"pass\u5927word\u00FF") + Repeat("q", 30);
  const QString text = ScrambleSalted(value, Fixed(9));
  for (qsizetype length = 0; length <= text.size(); ++length) {
    // An exact-size copy, so the sanitizer sees a read past its end.
    const std::u16string cut = text.left(length).toStdU16String();
    const QString back = UnscrambleSalted(QString::fromStdU16String(cut));
    EXPECT_EQ(back, value.left(length < 4 ? 0 : (length - 4) / 4)) << length;
  }
}

TEST(ScrambleFixed, ExactTextsAndRoundTrips) {
  EXPECT_EQ(ScrambleFixed("abc"), "GG61GG62GG6K");
  EXPECT_EQ(ScrambleFixed("192.168.1.10"), "GGK1GGK9GGK2GG2RGGK1GGK6GGK8GG2RGGK1GG2RGGK1GGKG");
  EXPECT_EQ(ScrambleFixed(""), "");
  EXPECT_EQ(UnscrambleFixed(""), "");
  // A surrogate pair is two units.
  EXPECT_EQ(ScrambleFixed(QString::fromUtf16(u"\U0001F600")), "D8KDDRGG");

  const QRegularExpression alphabet(QStringLiteral("^[1-24-9A-DFGKR]*$"));
  for (const QString& value : {QString("nvr.example.local"), QString::fromUtf16(u"\u5927\u9580\uFFFF"),
                               QString::fromUtf16(u"\U0001F600"), Repeat("1", 60), Repeat("9", 400)}) {
    const QString text = ScrambleFixed(value);
    EXPECT_EQ(text.size(), 4 * value.size());
    EXPECT_TRUE(alphabet.match(text).hasMatch()) << text.toStdString();
    // The same value always gives the same text, and there is no length limit.
    EXPECT_EQ(ScrambleFixed(value), text);
    EXPECT_EQ(UnscrambleFixed(text), value);
  }
}

TEST(UnscrambleFixed, ForeignTextsGiveWhatCanBeRead) {
  struct Case {
    QString text;
    QString expected;
  };
  const std::vector<Case> cases = {
      {"G", ""},
      {"GG6", ""},
      {"GG61G", "a"},
      {"GG61GG6", "a"},
      {"gg61", ""},
      {"GG61xx62GG62", "a"},
      {"GG61GG'2", "a"},
      {"GG61" + QString::fromUtf16(u"\u4E2D") + "G62", "a"},
  };
  for (const Case& c : cases) EXPECT_EQ(UnscrambleFixed(c.text), c.expected) << c.text.toStdString();
  const QString text = ScrambleFixed("10.0.0.5");
  for (qsizetype length = 0; length <= text.size(); ++length) {
    const std::u16string cut = text.left(length).toStdU16String();
    EXPECT_EQ(UnscrambleFixed(QString::fromStdU16String(cut)), QString("10.0.0.5").left(length / 4));
  }
}
