#include "common/bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

// The plain reading of findMarker's contract, to compare the vector search with.
std::size_t naiveFind(std::string_view text, std::size_t from, std::string_view marker) {
  if (marker.size() < 2 || marker.size() > text.size()) return kNotFound;
  for (std::size_t i = from; i + marker.size() <= text.size(); ++i) {
    if (text.substr(i, marker.size()) == marker) return i;
  }
  return kNotFound;
}

// A text in an allocation of exactly its size, so that the sanitizer sees any
// read past its end.
struct ExactText {
  std::unique_ptr<char[]> bytes;
  std::string_view view;
  explicit ExactText(const std::string& text)
      : bytes(new char[text.size() ? text.size() : 1]), view(bytes.get(), text.size()) {
    text.copy(bytes.get(), text.size());
  }
};

TEST(FindMarker, Rules) {
  struct Case {
    const char* what;
    std::string text;
    std::size_t from;
    std::string marker;
    std::size_t anchor;
    std::size_t expected;
  } cases[] = {
      {"empty text", "", 0, "ab", 0, kNotFound},
      {"marker of one byte", "abc", 0, "b", 0, kNotFound},
      {"empty marker", "abc", 0, "", 0, kNotFound},
      {"marker longer than the text", "abc", 0, "abcd", 1, kNotFound},
      {"marker is the whole text", "abcd", 0, "abcd", 2, 0},
      {"at the very start", "abxxxxxxxx", 0, "ab", 0, 0},
      {"at the very end", "xxxxxxxxab", 0, "ab", 0, 8},
      {"cut off by the end", "xxxxxxxxxa", 0, "ab", 0, kNotFound},
      {"from past a match", "abxxab", 1, "ab", 0, 4},
      {"from at a match", "abxxab", 4, "ab", 0, 4},
      {"from just past the last start", "abxxab", 5, "ab", 0, kNotFound},
      {"from far past the end", "abxxab", kNotFound, "ab", 0, kNotFound},
      {"anchor pair alone is no match", "xxLixx Like:<", 0, "Like:<", 0, 7},
      {"anchor pair matched, the rest not", "resolveLinkX resolveLink\"", 0, "resolveLink\"", 6,
       13},
      {"overlapping candidates", "aaaab", 0, "aab", 0, 2},
      {"overlapping with an anchor late in the marker", "aaaaab", 0, "aaab", 2, 2},
      {"anchor on the last byte falls back to the first", "xxabc", 0, "abc", 2, 2},
      {"anchor out of range falls back to the first", "xxabc", 0, "abc", 99, 2},
      {"case-sensitive", "AB ab", 0, "ab", 0, 3},
      {"zero bytes are ordinary", std::string("x\0\0y", 4), 0, std::string("\0y", 2), 0, 2},
      {"high bytes are ordinary", "x\xB0\xFFy", 0, "\xB0\xFF", 0, 1},
  };
  for (const Case& c : cases) {
    ExactText text(c.text);
    EXPECT_EQ(findMarker(text.view, c.from, c.marker, c.anchor), c.expected) << c.what;
  }
}

// Every placement of the marker in texts around the vector block sizes (16,
// 64, 128 bytes) and at every alignment of the text, with decoys that hold the
// anchor pair or all but the marker's last byte.
TEST(FindMarker, AgreesWithPlainSearchAcrossBlocks) {
  const std::string marker = "currentTemperature\"";
  const std::size_t anchor = 7;  // "Te"
  const std::string decoys[] = {"", "Te", "currentTemperature", "TTeTe"};
  for (std::size_t length : {19u,  20u,  31u,  33u,  63u,  64u,  65u,  79u,  80u,  127u,
                             128u, 129u, 146u, 147u, 148u, 200u, 255u, 256u, 257u, 300u}) {
    for (std::size_t shift = 0; shift < 64; shift += 7) {
      for (const std::string& decoy : decoys) {
        for (std::size_t at = 0; at + marker.size() <= length; ++at) {
          std::string page(length, '.');
          page.replace(at, marker.size(), marker);
          if (!decoy.empty() && at >= decoy.size() + 1)
            page.replace(at - decoy.size() - 1, decoy.size(), decoy);
          // The shift moves the text against the cache lines.
          ExactText storage(std::string(shift, '#') + page);
          std::string_view text = storage.view.substr(shift);
          std::size_t from = at % 3 == 0 ? 0 : at / 2;
          ASSERT_EQ(findMarker(text, from, marker, anchor), naiveFind(text, from, marker))
              << "length " << length << " shift " << shift << " at " << at << " decoy '" << decoy
              << "' from " << from;
        }
      }
    }
  }
}

// Pairs everywhere make every block a candidate block; only the real marker
// may be found, in texts of all lengths up to a few blocks.
TEST(FindMarker, DenseCandidates) {
  for (std::size_t length = 2; length <= 260; ++length) {
    std::string page;
    for (std::size_t i = 0; i < length; ++i) page += i % 2 ? 'e' : 'L';
    ExactText plain(page);
    EXPECT_EQ(findMarker(plain.view, 0, "Lex", 0), kNotFound) << length;
    page[length - 1] = 'x';
    ExactText ending(page);
    EXPECT_EQ(findMarker(ending.view, 0, "eLx", 0), naiveFind(ending.view, 0, "eLx")) << length;
    EXPECT_EQ(findMarker(ending.view, 0, "Lx", 0), naiveFind(ending.view, 0, "Lx")) << length;
  }
}

TEST(MarkerAt, Rules) {
  struct Case {
    std::string text;
    std::size_t at;
    std::string marker;
    bool expected;
  } cases[] = {
      {"abc", 0, "ab", true},   {"abc", 1, "bc", true}, {"abc", 2, "cd", false},
      {"abc", 3, "", true},     {"abc", 4, "", false},  {"abc", kNotFound, "a", false},
      {"abc", 1, "abc", false},
  };
  for (const Case& c : cases) {
    ExactText text(c.text);
    EXPECT_EQ(markerAt(text.view, c.at, c.marker), c.expected) << c.text << " at " << c.at;
  }
}

TEST(CopyUntil, Rules) {
  struct Case {
    std::string text;
    std::size_t start;
    std::size_t expectedStop;
    std::string expectedCopy;
  } cases[] = {
      {"ab<cd", 0, 2, "ab"},
      {"ab<cd", 2, 2, ""},
      {"ab<cd", 3, kNotFound, "cd"},
      {"ab<cd", 5, kNotFound, ""},
      {"ab<cd", kNotFound, kNotFound, ""},
      {std::string(300, 'x') + "<", 0, 300, std::string(255, 'x')},
      {std::string(300, 'x'), 10, kNotFound, std::string(255, 'x')},
  };
  for (const Case& c : cases) {
    ExactText text(c.text);
    TextBuffer out;
    std::memset(out, 'z', sizeof out);
    EXPECT_EQ(copyUntil(text.view, c.start, '<', out), c.expectedStop) << c.start;
    EXPECT_EQ(textOf(out), c.expectedCopy) << c.start;
  }
}

}  // namespace
