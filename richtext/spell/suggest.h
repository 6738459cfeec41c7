// Spelling suggestions: sound codes, Ratcliff/Obershelp similarity, the
// ranked candidate list and the guided walk of a dictionary's letter tree.
// TDictionary::Suggest and TDictionary::CompleteWord live in suggest.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "richtext/spell/dictionary.h"
#include "richtext/spell/linked_list.h"

namespace spell {

// Sound code (at most 4 characters) of an OEM word; the first character is
// the word's first letter in ANSI form, upper-cased (ASCII). Characters that
// are not letters of the code table (digits, the apostrophe) are dropped like
// vowels. With `Pad`, a shorter code is filled up with "0".
std::string SoundCode(std::string_view word, bool Pad);

// Ratcliff/Obershelp similarity of two words, 0..100.
std::int16_t Similarity(std::string_view word, std::string_view candidate);

unsigned char UpperChar(unsigned char c);  // ANSI
std::string UpperWord(std::string_view s);
// The suggestion in the capitalisation of the word it replaces (both ANSI).
std::string MatchCase(std::string_view word, std::string_view suggestion);
std::string OemToAnsiWord(std::string_view s);
std::string AnsiToOemWord(std::string_view s);

class TSuggestion : public TLinkedListNode {
public:
    std::string Word;
    std::int16_t Score = 0;
    std::int16_t Distance = 0;  // EditDistance to the misspelt word
};

// Edit distance in which inserting, deleting or replacing a letter costs 2
// and swapping two neighbouring letters costs 1: "teh" is nearer to "the"
// than to "ten".
int EditDistance(std::string_view a, std::string_view b);

// Candidates in descending score; equal scores go by the smaller edit
// distance, then keep the order of arrival.
class TSuggestList : public TLinkedList {
public:
    std::uint8_t MaxCount = 0;
    TDCTFile* DictFile = nullptr;
    std::string SoundCode;
    std::int16_t MaxLength = 0;
    std::int16_t MinLength = 0;

    void TryAdd(std::string_view word, std::string_view candidate);
    // Walks one dictionary file for candidates for `word` (OEM).
    void BuildSuggestions(TDCTFile* DictFile, std::uint8_t MaxCount, std::string_view word);
};

}  // namespace spell
