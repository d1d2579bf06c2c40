#include "packaging/scrambler.h"

#include "text/encoding.h"

namespace sorane {

const std::string& ArchiveKey() {
  return SJ("#%&+=@梱包用の鍵");
}
const std::string& SaveKey() {
  return SJ("Sorane.Save:73-KY保存用の暗号");
}
const std::string& DefaultKey() {
  return SJ("Sorane!既定合言葉");
}

TCipher::TCipher() {
  mt_[0] = kScramblerSeed & 0x7FFFFFFFu;
  for (int i = 1; i < kN; ++i) mt_[i] = (mt_[i - 1] & 0xFFu) * 69069u;
  index_ = kN;
}

uint32_t TCipher::Next() {
  constexpr int kM = 397;
  constexpr uint32_t kMatrix = 0x9908B0DFu, kUpper = 0x80000000u, kLower = 0x7FFFFFFFu;
  if (index_ >= kN) {
    auto twist = [](uint32_t upper, uint32_t lower, uint32_t far) {
      uint32_t y = (upper & kUpper) | (lower & kLower);
      return far ^ (y >> 1) ^ ((y & 1u) ? kMatrix : 0u);
    };
    int k = 0;
    for (; k < kN - kM; ++k) mt_[k] = twist(mt_[k], mt_[k + 1], mt_[k + kM]);
    for (; k < kN - 1; ++k) mt_[k] = twist(mt_[k], mt_[k + 1], mt_[k + kM - kN]);
    mt_[kN - 1] = twist(mt_[kN - 1], mt_[0], mt_[kM - 1]);
    index_ = 0;
  }
  uint32_t y = mt_[index_++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9D2C5680u;
  y ^= (y << 15) & 0xEFC60000u;
  y ^= y >> 18;
  return y;
}

void TCipher::Scramble(char* data, size_t size, std::string_view key, uint64_t first) {
  if (key.empty()) key = DefaultKey();
  const size_t length = key.size();
  size_t k = static_cast<size_t>(first % length);
  for (size_t i = 0; i < size; ++i) {
    data[i] = static_cast<char>(data[i] ^ key[k] ^ static_cast<char>(Next() >> 24));
    if (++k == length) k = 0;
  }
}

bool EncodeScrambledText(std::string_view text, std::string& file) {
  file.clear();
  if (text.empty()) return true;
  if (text.size() > 0x7FFFFFFFu) return false;
  uint32_t length = static_cast<uint32_t>(text.size());
  for (int i = 0; i < 4; ++i) file += static_cast<char>(length >> (8 * i));
  file.append(text);
  TCipher().Scramble(file, SaveKey());
  return true;
}

bool DecodeScrambledText(std::string file, std::string& text) {
  text.clear();
  TCipher().Scramble(file, SaveKey());
  if (file.size() < 4) return true;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(file.data());
  int32_t length =
      static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
  if (length < 0 || static_cast<uint64_t>(length) > file.size() - 4) return false;
  text.assign(file, 4, static_cast<size_t>(length));
  return true;
}

}  // namespace sorane
