#include "tablebases/compressed_file.h"

#include <sys/types.h>

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "tablebases/bit_reader.h"
#include "tablebases/crc.h"
#include "tablebases/tb_error.h"

namespace {

// Check numbers of the header reader's error values.
enum HeaderCheck {
  CHECK_FILE_SIZE = 1,
  CHECK_FIXED_READ = 2,
  CHECK_BLOCK_BITS = 3,
  CHECK_HEADER_MIN = 4,
  CHECK_DISTANCE_COUNT = 5,
  CHECK_MAGIC = 6,
  CHECK_HEADER_PAST_FILE = 7,
  CHECK_NO_BLOCKS = 8,
  CHECK_HEADER_TOO_SMALL = 9,
  CHECK_HEADER_MEMORY = 10,
  CHECK_HEADER_READ = 11,
  CHECK_HEADER_CRC = 12,
  CHECK_SIZE_STREAM = 13,
  CHECK_CODE_LENGTHS = 14,
  CHECK_DECODE_TABLE = 15,
  CHECK_INDEX_MEMORY = 16,
  CHECK_RECORD_MEMORY = 17,
};

constexpr int OFFSET_HEADER_SIZE = 64;
constexpr int OFFSET_BLOCK_BITS = 70;
constexpr int OFFSET_DISTANCE_COUNT = 71;
constexpr int OFFSET_BLOCK_COUNT = 72;
constexpr int OFFSET_MAGIC = 76;
constexpr uint8_t HEADER_MAGIC[4] = {0, 64, 1, 245};
constexpr int BLOCK_CHECKSUM_BYTES = 8;
constexpr int CRC_BYTES = 4;
constexpr int SIZE_STREAM_EXTRA_VALUES = 1 + TB_MATCH_DISTANCES;

uint32_t readBigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

int32_t fileSize(FILE* file, int64_t& size) {
  if (fseeko(file, 0, SEEK_END) != 0) return tbError(CHECK_FILE_SIZE, TB_ERROR_READ);
  size = ftello(file);
  if (size < 0 || fseeko(file, 0, SEEK_SET) != 0) return tbError(CHECK_FILE_SIZE, TB_ERROR_READ);
  return 0;
}

// Builds the record from the checked header. sizes holds the N compressed sizes
// and then the decoded size of the last block.
int32_t buildRecord(const uint8_t* lengths, const int32_t* sizes, const int32_t* distances,
                    int blockBits, int64_t blockCount, int64_t headerSize,
                    CompressedFile** result) {
  int64_t* offsets = static_cast<int64_t*>(std::malloc(sizeof(int64_t) * (blockCount + 1)));
  if (offsets == nullptr) return tbError(CHECK_INDEX_MEMORY, TB_ERROR_NO_MEMORY);
  offsets[0] = headerSize;
  for (int64_t i = 0; i < blockCount; ++i) offsets[i + 1] = offsets[i] + sizes[i];
  const int64_t groups = blockCount / TB_BLOCK_GROUP + 2;
  auto groupBase = [&](int64_t g) {
    return g * TB_BLOCK_GROUP <= blockCount ? offsets[g * TB_BLOCK_GROUP] : offsets[blockCount];
  };
  auto deltaOf = [&](int64_t i) {
    const int64_t g = i / TB_BLOCK_GROUP;
    return (i & TB_BLOCK_GROUP_HALF) ? groupBase(g + 1) - offsets[i] : offsets[i] - groupBase(g);
  };
  bool wide = false;
  for (int64_t i = 0; i <= blockCount && !wide; ++i) wide = deltaOf(i) > TB_DELTA_LIMIT;

  const size_t indexBytes = wide ? sizeof(int64_t) * (blockCount + 1)
                                 : sizeof(int64_t) * groups + sizeof(uint16_t) * (blockCount + 1);
  uint8_t* memory = static_cast<uint8_t*>(std::malloc(sizeof(CompressedFile) + indexBytes));
  if (memory == nullptr) {
    std::free(offsets);
    return tbError(CHECK_RECORD_MEMORY, TB_ERROR_NO_MEMORY);
  }
  CompressedFile* cf = reinterpret_cast<CompressedFile*>(memory);
  uint8_t* index = memory + sizeof(CompressedFile);
  if (!buildDecodeTable(lengths, TB_BLOCK_ALPHABET, TB_BLOCK_LOOKUP_BITS, cf->decodeTable,
                        TB_BLOCK_TABLE_SLOTS)) {
    std::free(memory);
    std::free(offsets);
    return tbError(CHECK_DECODE_TABLE, TB_ERROR_BROKEN);
  }
  std::memcpy(cf->distances, distances, sizeof cf->distances);
  cf->blockBits = blockBits;
  cf->blockSize = 1 << blockBits;
  cf->lastBlockSize = sizes[blockCount];
  cf->blockCount = static_cast<int32_t>(blockCount);
  if (wide) {
    cf->base = nullptr;
    cf->delta = nullptr;
    cf->wideOffset = reinterpret_cast<int64_t*>(index);
    std::memcpy(cf->wideOffset, offsets, sizeof(int64_t) * (blockCount + 1));
  } else {
    cf->wideOffset = nullptr;
    cf->base = reinterpret_cast<int64_t*>(index);
    cf->delta = reinterpret_cast<uint16_t*>(index + sizeof(int64_t) * groups);
    for (int64_t g = 0; g < groups; ++g) cf->base[g] = groupBase(g);
    for (int64_t i = 0; i <= blockCount; ++i) cf->delta[i] = static_cast<uint16_t>(deltaOf(i));
  }
  std::free(offsets);
  *result = cf;
  return 0;
}

// Reads the size stream and the code lengths out of the header buffer, then
// builds the record.
int32_t parseHeader(const uint8_t* header, int64_t headerSize, int blockBits, int64_t blockCount,
                    int64_t sizeStreamBytes, CompressedFile** result) {
  const int64_t sizeStart = TB_HEADER_FIXED_BYTES + BLOCK_CHECKSUM_BYTES * blockCount;
  const int64_t lengthStart = sizeStart + sizeStreamBytes;
  const int64_t streamEnd = headerSize - CRC_BYTES;
  int32_t* sizes = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * (blockCount + 1)));
  if (sizes == nullptr) return tbError(CHECK_INDEX_MEMORY, TB_ERROR_NO_MEMORY);

  BitReader r;
  initBitReader(r, header + sizeStart, lengthStart - sizeStart);
  const int32_t fullSize = 1 << blockBits;
  for (int64_t i = 0; i <= blockCount; ++i) {
    const int32_t v = static_cast<int32_t>(takeBits(r, blockBits));
    sizes[i] = v == 0 ? fullSize : v;
  }
  int32_t distances[TB_MATCH_DISTANCES];
  for (int i = 0; i < TB_MATCH_DISTANCES; ++i)
    distances[i] = static_cast<int32_t>(takeBits(r, blockBits));
  if (bitReaderOverrun(r)) {
    std::free(sizes);
    return tbError(CHECK_SIZE_STREAM, TB_ERROR_BROKEN);
  }

  uint8_t lengths[TB_BLOCK_ALPHABET];
  initBitReader(r, header + lengthStart, streamEnd - lengthStart);
  if (!readCodeLengths(r, TB_BLOCK_ALPHABET, lengths) || bitReaderOverrun(r)) {
    std::free(sizes);
    return tbError(CHECK_CODE_LENGTHS, TB_ERROR_BROKEN);
  }
  const int32_t error =
      buildRecord(lengths, sizes, distances, blockBits, blockCount, headerSize, result);
  std::free(sizes);
  return error;
}

}  // namespace

int32_t openCompressedFile(FILE* file, CompressedFile** result) {
  assert(file != nullptr && result != nullptr);
  *result = nullptr;
  initCrcTable();
  int64_t size = 0;
  if (int32_t error = fileSize(file, size)) return error;

  uint8_t fixed[TB_HEADER_FIXED_BYTES];
  if (std::fread(fixed, 1, sizeof fixed, file) != sizeof fixed)
    return tbError(CHECK_FIXED_READ, TB_ERROR_READ);
  const int64_t headerSize = readBigEndian32(fixed + OFFSET_HEADER_SIZE);
  const int blockBits = fixed[OFFSET_BLOCK_BITS];
  const int64_t blockCount = readBigEndian32(fixed + OFFSET_BLOCK_COUNT);
  if (blockBits > TB_MAX_BLOCK_BITS) return tbError(CHECK_BLOCK_BITS, TB_ERROR_BROKEN);
  if (headerSize < TB_HEADER_MIN_BYTES) return tbError(CHECK_HEADER_MIN, TB_ERROR_BROKEN);
  if (fixed[OFFSET_DISTANCE_COUNT] != TB_MATCH_DISTANCES)
    return tbError(CHECK_DISTANCE_COUNT, TB_ERROR_BROKEN);
  if (std::memcmp(fixed + OFFSET_MAGIC, HEADER_MAGIC, sizeof HEADER_MAGIC) != 0)
    return tbError(CHECK_MAGIC, TB_ERROR_BROKEN);
  if (blockCount < 1) return tbError(CHECK_NO_BLOCKS, TB_ERROR_BROKEN);
  const int64_t sizeStreamBits = int64_t{blockBits} * (blockCount + SIZE_STREAM_EXTRA_VALUES);
  const int64_t sizeStreamBytes = (sizeStreamBits + 7) / 8;
  if (TB_HEADER_FIXED_BYTES + BLOCK_CHECKSUM_BYTES * blockCount + sizeStreamBytes + CRC_BYTES >
      headerSize)
    return tbError(CHECK_HEADER_TOO_SMALL, TB_ERROR_BROKEN);
  // A file that ends inside its header would read the rest of it short: a read
  // error, found before H bytes are allocated for a file too small to hold them.
  if (headerSize > size) return tbError(CHECK_HEADER_PAST_FILE, TB_ERROR_READ);

  uint8_t* header = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(headerSize)));
  if (header == nullptr) return tbError(CHECK_HEADER_MEMORY, TB_ERROR_NO_MEMORY);
  std::memcpy(header, fixed, sizeof fixed);
  const size_t rest = static_cast<size_t>(headerSize - TB_HEADER_FIXED_BYTES);
  if (std::fread(header + TB_HEADER_FIXED_BYTES, 1, rest, file) != rest) {
    std::free(header);
    return tbError(CHECK_HEADER_READ, TB_ERROR_READ);
  }
  const int64_t crcAt = headerSize - CRC_BYTES;
  if (datacompCrc(header, static_cast<size_t>(crcAt)) != readBigEndian32(header + crcAt)) {
    std::free(header);
    return tbError(CHECK_HEADER_CRC, TB_ERROR_BROKEN);
  }
  const int32_t error =
      parseHeader(header, headerSize, blockBits, blockCount, sizeStreamBytes, result);
  std::free(header);
  return error;
}

void freeCompressedFile(CompressedFile* file) { std::free(file); }

int64_t compressedBlockOffset(const CompressedFile& file, int64_t block) {
  assert(block >= 0 && block <= file.blockCount);
  if (file.wideOffset != nullptr) return file.wideOffset[block];
  const int64_t g = block / TB_BLOCK_GROUP;
  if (block & TB_BLOCK_GROUP_HALF) return file.base[g + 1] - file.delta[block];
  return file.base[g] + file.delta[block];
}

int32_t compressedBlockDecodedSize(const CompressedFile& file, int64_t block) {
  assert(block >= 0 && block < file.blockCount);
  return block == file.blockCount - 1 ? file.lastBlockSize : file.blockSize;
}
