// The six regulator parameters as words: which text converts to which word,
// within the range each word can hold, and the texts shown for a word.
// Plain Qt Core: the window, files and scripts convert the same way.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include <QString>

namespace paramwords {

constexpr int ParamCount = 6;

enum class EKind { Signed, FixedPoint, Unsigned };

struct TParamInfo {
    const char* label;  // as the window labels the edit
    EKind kind;
};

// #1 and #5 signed, #2 to #4 unsigned 8.8 fixed point, #6 unsigned.
const TParamInfo& Info(int index);
QString Label(int index);

enum class EOutcome { Converted, NotANumber, OutOfRange };

struct TConversion {
    EOutcome outcome = EOutcome::NotANumber;
    uint16_t word = 0;  // when converted
};

// The text of edit `index` as a word. A number that the word cannot hold
// (a sign where none fits, a value past either end) is out of range, never
// wrapped: what reaches the controller is what the text says.
TConversion Convert(int index, const QString& text);

// "Параметр Kp (#3): допустимо от 0 до 255,99609375" in the locale's separator.
QString RangeMessage(int index);

// The text shown for a word: #1 and #5 signed, #2 to #4 as word / 256 with
// four significant digits, #6 unsigned.
QString Text(int index, uint16_t word);
std::array<QString, ParamCount> Texts(const std::array<uint16_t, ParamCount>& words);

// The text of `word` shown beside `other`: where the two words differ but
// read the same (#2 to #4 keep four significant digits), with its word,
// "100 (слово 25601)", so two values marked different never look equal.
// `wordName` is "слово" in the window, "word" for scripts.
QString DistinctText(int index, uint16_t word, uint16_t other, const char* wordName = "слово");

}  // namespace paramwords

namespace paramwords {

// What the console last put into each edit: the text and the word it shows.
// An edit whose text is still that text stands for that word, so reading and
// writing back without editing changes nothing in the controller, whatever
// the four significant digits of the display dropped.
class TShownWords {
public:
    void Filled(int index, const QString& text, uint16_t word);
    // The user typed into the edit: from now on its text is taken as typed.
    void Edited(int index);
    // The word an edit stands for while its text is unchanged.
    std::optional<uint16_t> Unchanged(int index, const QString& text) const;

private:
    struct TShown {
        QString text;
        uint16_t word = 0;
    };
    std::array<std::optional<TShown>, ParamCount> FShown;
};

}  // namespace paramwords
