#include "video/inflate.h"

#include <cstring>

namespace slidetrack {

namespace {

constexpr int kMaxBits = 15;
constexpr int kFastBits = 10;

// Bits in stream order, lowest first. Past the end of the input zero bytes are read, and
// counted, so that a stream that needs them is found out afterwards.
struct Bits {
  const std::uint8_t* p;
  const std::uint8_t* end;
  std::uint64_t buffer = 0;
  int count = 0;
  std::size_t padding = 0;  // zero bytes read past the end

  // At least 56 bits in the buffer afterwards.
  void refill() {
    if (end - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);  // little-endian machines only, as every target here is
      buffer |= word << count;
      p += (63 - count) >> 3;
      count |= 56;
      return;
    }
    while (count <= 56) {
      if (p < end) {
        buffer |= static_cast<std::uint64_t>(*p++) << count;
      } else {
        ++padding;
      }
      count += 8;
    }
  }
  unsigned peek(int n) const { return static_cast<unsigned>(buffer & ((1ull << n) - 1)); }
  void drop(int n) {
    buffer >>= n;
    count -= n;
  }
  unsigned take(int n) {
    const unsigned v = peek(n);
    drop(n);
    return v;
  }
  // True while no bit beyond the input has been used.
  bool inside() const { return padding * 8 <= static_cast<std::size_t>(count); }
};

// A canonical Huffman code: a table for codes of up to kFastBits bits, the counts and
// symbols for the longer ones.
struct Huffman {
  std::uint16_t fast[1 << kFastBits];  // symbol << 4 | length, 0 for a longer code
  std::uint16_t count[kMaxBits + 1];
  std::uint16_t symbol[288];
  bool build(const std::uint8_t* lengths, int n);
  int decode(Bits& bits) const;
};

bool Huffman::build(const std::uint8_t* lengths, int n) {
  std::memset(count, 0, sizeof count);
  for (int i = 0; i < n; ++i) ++count[lengths[i]];
  count[0] = 0;
  int left = 1;
  for (int len = 1; len <= kMaxBits; ++len) {
    left = (left << 1) - count[len];
    if (left < 0) return false;  // more codes than the lengths allow
  }
  std::uint16_t offset[kMaxBits + 2];
  offset[1] = 0;
  for (int len = 1; len <= kMaxBits; ++len) offset[len + 1] = offset[len] + count[len];
  for (int i = 0; i < n; ++i) {
    if (lengths[i]) symbol[offset[lengths[i]]++] = static_cast<std::uint16_t>(i);
  }
  // Codes in canonical order, bit-reversed into the table, as the stream holds them.
  std::memset(fast, 0, sizeof fast);
  unsigned code = 0;
  int index = 0;
  for (int len = 1; len <= kFastBits; ++len) {
    for (int k = 0; k < count[len]; ++k, ++index, ++code) {
      unsigned reversed = 0;
      for (int b = 0; b < len; ++b) reversed |= ((code >> b) & 1u) << (len - 1 - b);
      const std::uint16_t entry = static_cast<std::uint16_t>(symbol[index] << 4 | len);
      for (unsigned r = reversed; r < (1u << kFastBits); r += 1u << len) fast[r] = entry;
    }
    code <<= 1;
  }
  return true;
}

// The next symbol, or -1 for a code that the lengths left unused.
int Huffman::decode(Bits& bits) const {
  const std::uint16_t entry = fast[bits.peek(kFastBits)];
  if (entry) {
    bits.drop(entry & 15);
    return entry >> 4;
  }
  // Longer codes one bit at a time, the first kFastBits included.
  int code = 0, first = 0, index = 0;
  for (int len = 1; len <= kMaxBits; ++len) {
    code |= static_cast<int>(bits.take(1));
    const int n = count[len];
    if (code - first < n) return symbol[index + code - first];
    index += n;
    first = (first + n) << 1;
    code <<= 1;
  }
  return -1;
}

const std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                       15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                       67, 83, 99, 115, 131, 163, 195, 227, 258};
const std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const std::uint16_t kDistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                         6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

struct Output {
  std::uint8_t* begin;
  std::uint8_t* at;
  std::uint8_t* end;
};

// Copies a match: whole words where source and target lie far enough apart, a run of
// one byte as a fill.
inline void copyMatch(Output& out, std::size_t distance, std::size_t length) {
  std::uint8_t* to = out.at;
  const std::uint8_t* from = to - distance;
  out.at += length;
  if (distance >= 8 && static_cast<std::size_t>(out.end - to) >= length + 8) {
    // Words may run up to 7 bytes past the match; those are written again later.
    for (std::size_t i = 0; i < length; i += 8) std::memcpy(to + i, from + i, 8);
  } else if (distance == 1) {
    std::memset(to, *from, length);
  } else {
    for (std::size_t i = 0; i < length; ++i) to[i] = from[i];
  }
}

bool inflateBlock(Bits& bits, const Huffman& lengths, const Huffman& distances, Output& out) {
  for (;;) {
    bits.refill();
    const int symbol = lengths.decode(bits);
    if (symbol < 0) return false;
    if (symbol < 256) {
      if (out.at == out.end) return false;
      *out.at++ = static_cast<std::uint8_t>(symbol);
      continue;
    }
    if (symbol == 256) return bits.inside();
    const int l = symbol - 257;
    if (l >= 29) return false;
    const std::size_t length = kLengthBase[l] + bits.take(kLengthExtra[l]);
    const int d = distances.decode(bits);
    if (d < 0 || d >= 30) return false;
    const std::size_t distance = kDistanceBase[d] + bits.take(kDistanceExtra[d]);
    if (distance > static_cast<std::size_t>(out.at - out.begin) ||
        length > static_cast<std::size_t>(out.end - out.at)) {
      return false;
    }
    copyMatch(out, distance, length);
  }
}

bool storedBlock(Bits& bits, Output& out) {
  bits.drop(bits.count & 7);
  bits.refill();
  const unsigned length = bits.take(16);
  if ((bits.take(16) ^ 0xffffu) != length) return false;
  if (length > static_cast<std::size_t>(out.end - out.at)) return false;
  unsigned done = 0;
  // Whole bytes still in the buffer first, then straight from the input.
  while (done < length && bits.count >= 8) {
    *out.at++ = static_cast<std::uint8_t>(bits.take(8));
    ++done;
  }
  if (!bits.inside()) return false;
  // The buffer is empty now but may hold bytes read ahead, which the input pointer skips.
  if (bits.count == 0) bits.buffer = 0;
  const std::size_t rest = length - done;
  if (rest > static_cast<std::size_t>(bits.end - bits.p)) return false;
  std::memcpy(out.at, bits.p, rest);
  out.at += rest;
  bits.p += rest;
  return true;
}

void fixedCodes(Huffman& lengths, Huffman& distances) {
  std::uint8_t l[288];
  for (int i = 0; i < 288; ++i) l[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
  lengths.build(l, 288);
  std::uint8_t d[30];
  std::memset(d, 5, sizeof d);
  distances.build(d, 30);
}

bool dynamicCodes(Bits& bits, Huffman& lengths, Huffman& distances) {
  static const std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                          11, 4,  12, 3, 13, 2, 14, 1, 15};
  bits.refill();
  const int literalCount = static_cast<int>(bits.take(5)) + 257;
  const int distanceCount = static_cast<int>(bits.take(5)) + 1;
  const int codeCount = static_cast<int>(bits.take(4)) + 4;
  if (literalCount > 286 || distanceCount > 30) return false;
  std::uint8_t codeLengths[19] = {};
  for (int i = 0; i < codeCount; ++i) {
    if (i % 8 == 0) bits.refill();
    codeLengths[kOrder[i]] = static_cast<std::uint8_t>(bits.take(3));
  }
  Huffman code;
  if (!code.build(codeLengths, 19)) return false;
  std::uint8_t all[286 + 30];
  const int total = literalCount + distanceCount;
  for (int i = 0; i < total;) {
    bits.refill();
    const int symbol = code.decode(bits);
    if (symbol < 0) return false;
    if (symbol < 16) {
      all[i++] = static_cast<std::uint8_t>(symbol);
      continue;
    }
    std::uint8_t value = 0;
    int repeat = 0;
    if (symbol == 16) {
      if (i == 0) return false;
      value = all[i - 1];
      repeat = 3 + static_cast<int>(bits.take(2));
    } else if (symbol == 17) {
      repeat = 3 + static_cast<int>(bits.take(3));
    } else {
      repeat = 11 + static_cast<int>(bits.take(7));
    }
    if (i + repeat > total) return false;
    std::memset(all + i, value, repeat);
    i += repeat;
  }
  if (all[256] == 0) return false;  // no end-of-block code
  return bits.inside() && lengths.build(all, literalCount) &&
         distances.build(all + literalCount, distanceCount);
}

}  // namespace

bool zlibInflate(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                 std::size_t outSize) {
  if (!in || !out || inSize < 2) return false;
  // Deflate with a window of at most 32 KB, header check, no preset dictionary.
  if ((in[0] & 0x0f) != 8 || (in[0] >> 4) > 7 || ((in[0] << 8) | in[1]) % 31 != 0 ||
      (in[1] & 0x20)) {
    return false;
  }
  Bits bits{in + 2, in + inSize};
  Output target{out, out, out + outSize};
  Huffman lengths, distances;
  for (bool last = false; !last;) {
    bits.refill();
    last = bits.take(1) != 0;
    const unsigned type = bits.take(2);
    bool ok = false;
    if (type == 0) {
      ok = storedBlock(bits, target);
    } else if (type == 1) {
      fixedCodes(lengths, distances);
      ok = inflateBlock(bits, lengths, distances, target);
    } else if (type == 2) {
      ok = dynamicCodes(bits, lengths, distances) && inflateBlock(bits, lengths, distances, target);
    }
    if (!ok) return false;
  }
  return target.at == target.end;
}

}  // namespace slidetrack
