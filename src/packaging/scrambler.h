// The stream scrambler: a keyed XOR with a pseudo-random byte sequence, which
// hides the data of archive entries with flag 1 and of scrambled files from
// casual reading. It is obfuscation, not encryption: the keys are part of the
// program, and anyone holding it (or these sources) reads the data back.
//
// Each byte at position i (from the first byte of the content) becomes
//   byte ^ key[i mod key length] ^ (next value of the generator >> 24),
// the generator being a Mersenne twister whose state is seeded from the
// scrambler's seed in this format's own way (each word from the low 8 bits of
// the one before). A TCipher seeds its own generator when it is made, so the
// same key and content always give the same bytes, and scrambling twice with
// fresh TCiphers gives the content back. The seed, the keys and this scheme
// fix the format of the files already written: never change them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sorane {

constexpr uint32_t kScramblerSeed = 1104067433;

// The keys (CP932 bytes): archive entries with flag 1 (16 bytes), the files of
// 暗号化して保存 (29 bytes), and the key used when an empty one is given (17 bytes).
const std::string& ArchiveKey();
const std::string& SaveKey();
const std::string& DefaultKey();

class TCipher {
 public:
  TCipher();

  // Scrambles (or unscrambles: the same operation) `content` in place from its
  // first byte.
  void Scramble(std::string& content, std::string_view key) {
    Scramble(content.data(), content.size(), key, 0);
  }
  // The same for the piece of a longer content that starts at position
  // `first`: the pieces of one content go through one TCipher in order, so a
  // large content is scrambled a block at a time.
  void Scramble(char* data, size_t size, std::string_view key, uint64_t first);

  // The next 32-bit value of the generator.
  uint32_t Next();

 private:
  static constexpr int kN = 624;
  uint32_t mt_[kN];
  int index_;
};

// The file 暗号化して保存 writes: the text's length (signed 32-bit, little-
// endian) and its bytes, all scrambled with the save key; an empty text is an
// empty file. False when the text is too long for the length field.
bool EncodeScrambledText(std::string_view text, std::string& file);
// The text of such a file; a file shorter than 4 bytes holds the empty text.
// False when the stored length is negative or more than the bytes that follow.
bool DecodeScrambledText(std::string file, std::string& text);

}  // namespace sorane
