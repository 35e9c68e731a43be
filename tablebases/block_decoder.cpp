#include "tablebases/block_decoder.h"

#include <sys/types.h>

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "tablebases/tb_error.h"

namespace {

// Check numbers of the block reader's error values.
enum BlockCheck {
  CHECK_READ_TAG = 40,
  CHECK_READ_INDEX = 41,
  CHECK_READ_CAPACITY = 42,
  CHECK_READ_SEEK = 43,
  CHECK_READ_SHORT = 44,
  CHECK_DECODE_TAG = 45,
  CHECK_DECODE_NOTHING_READ = 46,
  CHECK_DECODE_SIZE = 47,
  CHECK_MATCH_DISTANCE = 48,
  CHECK_STREAM_OVERRUN = 49,
  CHECK_READ_NO_OUTPUT = 50,
};

constexpr int LITERAL_SYMBOLS = 256;
constexpr int LENGTH_CODES = 32;
constexpr int LENGTH_CODE_SHIFT = 5;
constexpr int DIRECT_LENGTH_CODES = 15;  // codes 0..14 are lengths 1..15
constexpr int LONG_LENGTH_BASE = 14;
constexpr int WIDEST_EXTRA = 17;        // taken as 16 bits and then 1

}  // namespace

DecodeBlock* decodeBlockShared = nullptr;

int32_t allocDecodeBlock(int32_t blockSize, DecodeBlock** result) {
  if (result == nullptr) return DECODE_BLOCK_NO_RESULT;
  *result = nullptr;
  if (blockSize < 1 || blockSize > (1 << TB_MAX_BLOCK_BITS) || (blockSize & (blockSize - 1)))
    return DECODE_BLOCK_BAD_SIZE;
  uint8_t* memory = static_cast<uint8_t*>(
      std::malloc(sizeof(DecodeBlock) + static_cast<size_t>(blockSize) + TB_INPUT_PADDING));
  if (memory == nullptr) return DECODE_BLOCK_NO_MEMORY;
  DecodeBlock* record = reinterpret_cast<DecodeBlock*>(memory);
  record->tag = DECODE_BLOCK_TAG;
  record->blockSize = blockSize;
  record->input = memory + sizeof(DecodeBlock);
  std::memset(record->input, 0, static_cast<size_t>(blockSize) + TB_INPUT_PADDING);
  initDecodeBlock(record, nullptr);
  *result = record;
  return 0;
}

void freeDecodeBlock(DecodeBlock* record) {
  if (record != nullptr) record->tag = 0;
  std::free(record);
}

void initDecodeBlock(DecodeBlock* record, uint8_t* output) {
  assert(record != nullptr && record->tag == DECODE_BLOCK_TAG);
  record->output = output;
  record->blockIndex = -1;
  record->decodedSize = 0;
  record->compressedSize = 0;
  record->complete = false;
}

int32_t readCompressedBlock(DecodeBlock* record, const CompressedFile* file, FILE* stream,
                            int64_t block) {
  assert(file != nullptr && stream != nullptr);
  if (record == nullptr || record->tag != DECODE_BLOCK_TAG)
    return tbError(CHECK_READ_TAG, TB_ERROR_BAD_ARGUMENT);
  if (block < 0 || block >= file->blockCount)
    return tbError(CHECK_READ_INDEX, TB_ERROR_BAD_ARGUMENT);
  if (record->output == nullptr) return tbError(CHECK_READ_NO_OUTPUT, TB_ERROR_BAD_ARGUMENT);
  record->blockIndex = -1;
  record->complete = false;
  const int32_t decoded = compressedBlockDecodedSize(*file, block);
  const int64_t start = compressedBlockOffset(*file, block);
  const int64_t compressed = compressedBlockOffset(*file, block + 1) - start;
  if (decoded > record->blockSize || compressed < 1 || compressed > record->blockSize)
    return tbError(CHECK_READ_CAPACITY, TB_ERROR_BAD_ARGUMENT);
  if (fseeko(stream, static_cast<off_t>(start), SEEK_SET) != 0)
    return tbError(CHECK_READ_SEEK, TB_ERROR_READ);
  const size_t want = static_cast<size_t>(compressed);
  if (std::fread(record->input, 1, want, stream) != want)
    return tbError(CHECK_READ_SHORT, TB_ERROR_READ);
  std::memset(record->input + want, 0, TB_INPUT_PADDING);
  record->decodedSize = decoded;
  record->compressedSize = static_cast<int32_t>(compressed);
  record->blockIndex = block;
  if (compressed == decoded) {
    std::memcpy(record->output, record->input, want);
    record->complete = true;
  }
  return 0;
}

int32_t decodeBlock(DecodeBlock* record, const CompressedFile* file, int32_t size) {
  assert(file != nullptr);
  if (record == nullptr || record->tag != DECODE_BLOCK_TAG)
    return tbError(CHECK_DECODE_TAG, TB_ERROR_BAD_ARGUMENT);
  if (record->blockIndex < 0) return tbError(CHECK_DECODE_NOTHING_READ, TB_ERROR_BAD_ARGUMENT);
  if (size < 1 || size > record->decodedSize)
    return tbError(CHECK_DECODE_SIZE, TB_ERROR_BAD_ARGUMENT);
  if (record->complete) return 0;
  return expandBlock(*file, record->input, record->compressedSize, record->output, size);
}

uint32_t decodeMatchLength(BitReader& r, int lengthCode) {
  assert(lengthCode >= 0 && lengthCode < LENGTH_CODES);
  if (lengthCode < DIRECT_LENGTH_CODES) return static_cast<uint32_t>(lengthCode) + 1;
  const int x = lengthCode - LONG_LENGTH_BASE;
  uint32_t extra;
  if (x == WIDEST_EXTRA) {
    extra = takeBits(r, BIT_READER_MAX_TAKE) << 1;
    extra |= takeBits(r, 1);
  } else {
    extra = takeBits(r, x);
  }
  return LONG_LENGTH_BASE + (1u << x) + extra;
}

int32_t expandBlock(const CompressedFile& file, const uint8_t* input, int32_t inputSize,
                    uint8_t* output, int32_t size) {
  assert(input != nullptr && output != nullptr);
  assert(inputSize >= 0 && size >= 0);
  BitReader r;
  initBitReader(r, input, inputSize);
  int32_t pos = 0;
  while (pos < size) {
    const int s = decodeSymbol(r, file.decodeTable, TB_BLOCK_LOOKUP_BITS);
    if (s < LITERAL_SYMBOLS) {
      output[pos++] = static_cast<uint8_t>(s);
      continue;
    }
    const int t = s - LITERAL_SYMBOLS;
    const int32_t distance = file.distances[t >> LENGTH_CODE_SHIFT];
    uint32_t length = decodeMatchLength(r, t & (LENGTH_CODES - 1));
    if (distance <= 0 || distance > pos) return tbError(CHECK_MATCH_DISTANCE, TB_ERROR_BROKEN);
    if (length > static_cast<uint32_t>(size - pos)) length = static_cast<uint32_t>(size - pos);
    const uint8_t* from = output + pos - distance;
    uint8_t* to = output + pos;
    if (static_cast<uint32_t>(distance) >= length) {
      std::memcpy(to, from, length);
    } else {
      for (uint32_t i = 0; i < length; ++i) to[i] = from[i];
    }
    pos += static_cast<int32_t>(length);
    if (bitReaderOverrun(r)) return tbError(CHECK_STREAM_OVERRUN, TB_ERROR_BROKEN);
  }
  if (bitReaderOverrun(r)) return tbError(CHECK_STREAM_OVERRUN, TB_ERROR_BROKEN);
  return 0;
}
