// Tablebase registry: directory lists, the five name attempts, split extents,
// the men count, the material tree, and every fatal "*** " message.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tablebases/block_cache.h"
#include "tablebases/block_decoder.h"
#include "tablebases/descriptor.h"
#include "tablebases/material_tree.h"
#include "tablebases/registry.h"
#include "tests/tb_encoder.h"
#include "tests/tb_test_files.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int KPK = 1, KNK = 2, KNKN = 8, KQQK = 35, KPPKN = 37, KBNKNN = 147, KQQPKQ = 440;
constexpr int64_t KPK_WHITE = 81664, KPK_BLACK = 84012;
constexpr unsigned CHILD_DEADLINE_SECONDS = 10;  // a registration that hangs fails by then
constexpr int OFFSET_HEADER_SIZE = 64;             // of a compressed file, big-endian

// The bytes of a compressed file's header, checksum included.
size_t headerBytes(const Bytes& file) {
  size_t h = 0;
  for (int i = 0; i < 4; ++i) h = (h << 8) | file[OFFSET_HEADER_SIZE + i];
  return h;
}

// A literal regular expression for the whole of a death test's output.
std::string exactly(const std::string& text) {
  std::string re = "^";
  for (char c : text) {
    if (std::strchr(".[]{}()\\*+?^$|", c)) re += '\\';
    re += c;
  }
  return re + "$";
}

class TbRegistryTest : public ::testing::Test {
 protected:
  std::vector<std::string> dirs;
  tbfiles::SavedLengths saved;

  void SetUp() override {
    saved.save();
  }
  void TearDown() override {
    initTablebases(nullptr);
    saved.restore();
    for (const auto& d : dirs) tbfiles::removeScratchDir(d);
  }
  std::string newDir() {
    dirs.push_back(tbfiles::makeScratchDir());
    EXPECT_FALSE(dirs.back().empty());
    return dirs.back();
  }
  static void write(const std::string& dir, const char* name, const Bytes& bytes) {
    ASSERT_TRUE(tbfiles::writeFile(dir + "/" + name, bytes));
  }
  static std::string fileName(int id, int side, int extent) {
    const char* p = tbDescriptors[id].fileName[side][extent];
    return p ? p : "";
  }
  // Runs initTablebases in a child with its standard output on the checked stream.
  static void initToStderr(const std::string& paths) {
    dup2(STDERR_FILENO, STDOUT_FILENO);
    initTablebases(paths.c_str());
  }
  // Registers in a child that must answer before a deadline, and writes the men
  // count and kpk's file of each side ("-" for none) on the checked stream.
  static void registerKpkBeforeDeadline(const std::string& dir) {
    alarm(CHILD_DEADLINE_SECONDS);
    dup2(STDERR_FILENO, STDOUT_FILENO);
    const int men = initTablebases(dir.c_str());
    const std::string white = fileName(KPK, 0, 0), black = fileName(KPK, 1, 0);
    std::printf("men %d white %s black %s\n", men, white.empty() ? "-" : white.c_str(),
                black.empty() ? "-" : black.c_str());
    std::fflush(stdout);
    std::exit(0);
  }
};

}  // namespace

TEST_F(TbRegistryTest, FirstDirectoryWins) {
  const std::string a = newDir(), b = newDir();
  write(a, "kpk.nbw", Bytes(KPK_WHITE, 1));
  write(b, "kpk.nbw", Bytes(KPK_WHITE, 2));
  write(b, "kpk.nbb", Bytes(KPK_BLACK, 3));
  const std::string lists[] = {a + "," + b, a + "/;" + b, a + ";" + b + "/", a + ",," + b + ","};
  for (const std::string& list : lists) {
    EXPECT_EQ(initTablebases(list.c_str()), 3) << list;
    EXPECT_EQ(fileName(KPK, 0, 0), a + "/kpk.nbw") << list;
    EXPECT_EQ(fileName(KPK, 1, 0), b + "/kpk.nbb") << list;
  }
  EXPECT_EQ(initTablebases((b + "," + a).c_str()), 3);
  EXPECT_EQ(fileName(KPK, 0, 0), b + "/kpk.nbw");
  // The registry is rebuilt from nothing on each call.
  EXPECT_EQ(initTablebases(newDir().c_str()), 0);
  EXPECT_EQ(fileName(KPK, 0, 0), "");
  EXPECT_EQ(tbDescriptors[KPK].cacheBuckets[0], nullptr);
}

TEST_F(TbRegistryTest, EmptyEntryIsTheCurrentDirectory) {
  const std::string a = newDir();
  write(a, "kpk.nbw", Bytes(KPK_WHITE, 1));
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(a.c_str()), 0);
  EXPECT_EQ(initTablebases(""), 3);
  EXPECT_EQ(fileName(KPK, 0, 0), "kpk.nbw");
  EXPECT_EQ(initTablebases("/nonexistent-tablebase-dir;"), 3);
  EXPECT_EQ(fileName(KPK, 0, 0), "kpk.nbw");
  ASSERT_EQ(chdir(old), 0);
}

TEST_F(TbRegistryTest, SplitExtentsAcrossDirectories) {
  const std::string a = newDir(), b = newDir();
  write(a, "kqqpkq.0.nbw", Bytes(100, 1));
  write(a, "kqqpkq.1.nbw", Bytes(100, 2));
  write(b, "kqqpkq.2.nbw", Bytes(100, 3));
  write(b, "kqqpkq.1.nbw", Bytes(100, 4));
  EXPECT_EQ(initTablebases((a + "," + b).c_str()), 6);
  EXPECT_EQ(fileName(KQQPKQ, 0, 0), a + "/kqqpkq.0.nbw");
  EXPECT_EQ(fileName(KQQPKQ, 0, 1), a + "/kqqpkq.1.nbw");
  EXPECT_EQ(fileName(KQQPKQ, 0, 2), b + "/kqqpkq.2.nbw");
  EXPECT_EQ(fileName(KQQPKQ, 0, 3), "");
  // A directory without extent '0' contributes nothing, even its extent '1'.
  const std::string c = newDir(), d = newDir();
  write(c, "kqqpkq.1.nbw", Bytes(100, 5));
  write(d, "kqqpkq.0.nbw", Bytes(100, 6));
  EXPECT_EQ(initTablebases((c + "," + d).c_str()), 6);
  EXPECT_EQ(fileName(KQQPKQ, 0, 0), d + "/kqqpkq.0.nbw");
  EXPECT_EQ(fileName(KQQPKQ, 0, 1), "");
  EXPECT_EQ(initTablebases(c.c_str()), 0);
}

TEST_F(TbRegistryTest, FiveNameAttempts) {
  tbDescriptors[KBNKNN].length[0] = 0;  // no size test for this side
  struct Case { const char* file; int id; int side; size_t entries; bool found; };
  const Case cases[] = {
      {"kpk.nbw.emd", KPK, 0, KPK_WHITE, true},
      {"kpk_nbb.emd", KPK, 1, KPK_BLACK, true},
      {"kpk_nbw_emd", KPK, 0, KPK_WHITE, true},
      {"kpknbb.emd", KPK, 1, KPK_BLACK, true},
      {"kqqk_nbw.emd", KQQK, 0, 698739, true},
      {"kbnknn_nbw.emd", KBNKNN, 0, 5000, true},
      {"kbnknn_nbw_emd", KBNKNN, 0, 5000, true},
      {"kbnknnnbw.emd", KBNKNN, 0, 5000, false},
      {"kqqpkq.0_nbw.emd", KQQPKQ, 0, 5000, false},
      {"KPK.nbw", KPK, 0, KPK_WHITE, false},
  };
  for (const Case& c : cases) {
    const std::string dir = newDir();
    const Bytes data = tbfiles::patternBytes(c.entries, 1);
    write(dir, c.file, std::string(c.file).find("emd") == std::string::npos ? data
                                                                            : tbencoder::encode(data));
    initTablebases(dir.c_str());
    EXPECT_EQ(fileName(c.id, c.side, 0), c.found ? dir + "/" + c.file : "") << c.file;
    EXPECT_EQ(tbDescriptors[c.id].decoder[c.side][0] != nullptr, c.found) << c.file;
  }
  // Several names present: the plain file is tried first.
  const std::string dir = newDir();
  write(dir, "kpk.nbw", Bytes(KPK_WHITE, 0));
  write(dir, "kpk.nbw.emd", tbencoder::encode(Bytes(KPK_WHITE, 0)));
  initTablebases(dir.c_str());
  EXPECT_EQ(fileName(KPK, 0, 0), dir + "/kpk.nbw");
  EXPECT_EQ(tbDescriptors[KPK].decoder[0][0], nullptr);
}

TEST_F(TbRegistryTest, LinkToATableRegistersUnderTheLinkName) {
  const std::string dir = newDir(), store = newDir();
  write(store, "white side", Bytes(KPK_WHITE, 1));
  ASSERT_EQ(symlink((store + "/white side").c_str(), (dir + "/kpk.nbw").c_str()), 0);
  EXPECT_EQ(initTablebases(dir.c_str()), 3);
  EXPECT_EQ(fileName(KPK, 0, 0), dir + "/kpk.nbw");
  EXPECT_EQ(fileName(KPK, 1, 0), "");
}

TEST_F(TbRegistryTest, MenOfTheLargestTable) {
  const std::string three = newDir(), four = newDir(), five = newDir(), six = newDir();
  write(three, "kpk.nbw", Bytes(KPK_WHITE, 0));
  write(four, "kpk.nbw", Bytes(KPK_WHITE, 0));
  write(four, "knkn.nbw", Bytes(1603202, 0));
  write(five, "kppkn.nbb", Bytes(10, 0));
  tbDescriptors[KPPKN].length[1] = 0;
  tbDescriptors[KBNKNN].length[1] = 0;
  write(six, "kbnknn.nbb", Bytes(10, 0));
  EXPECT_EQ(initTablebases(nullptr), 0);
  EXPECT_EQ(initTablebases(newDir().c_str()), 0);
  EXPECT_EQ(initTablebases(three.c_str()), 3);
  EXPECT_EQ(initTablebases(four.c_str()), 4);
  EXPECT_NE(fileName(KNKN, 0, 0), "");
  EXPECT_EQ(initTablebases((three + "," + five).c_str()), 5);
  EXPECT_EQ(initTablebases((six + ";" + four).c_str()), 6);
}

TEST_F(TbRegistryTest, MaterialTreeHoldsEveryTableBothWays) {
  initTablebases(nullptr);
  for (int id = 1; id <= TB_MAX_ID; ++id) ASSERT_EQ(registerMaterial(tbDescriptors[id]), 1) << id;
  for (int id = 1; id <= TB_MAX_ID; ++id) {
    const TbDescriptor& d = tbDescriptors[id];
    const MaterialCounts counts = materialOfName(d.name);
    MaterialCounts reversed;
    for (int k = 0; k < 5; ++k) {
      reversed.count[k] = counts.count[k + 5];
      reversed.count[k + 5] = counts.count[k];
    }
    const bool sameBothWays = std::memcmp(&counts, &reversed, sizeof counts) == 0;
    if (d.flags & tbFlagSymmetric) {
      EXPECT_EQ(lookupMaterial(counts), id) << d.name;
    } else if (sameBothWays) {
      // kpkp is stored unflipped and then flipped at the same leaf: the flip wins.
      EXPECT_EQ(lookupMaterial(counts), -id) << d.name;
    } else {
      EXPECT_EQ(lookupMaterial(counts), id) << d.name;
      EXPECT_EQ(lookupMaterial(reversed), -id) << d.name;
    }
  }
  // kpk: a white pawn is +1; a black pawn alone is the table with colours reversed.
  MaterialCounts c = {};
  c.count[0] = 1;
  EXPECT_EQ(lookupMaterial(c), KPK);
  c = {};
  c.count[5] = 1;
  EXPECT_EQ(lookupMaterial(c), -KPK);
  c = {};
  c.count[4] = 2;
  c.count[0] = 1;
  c.count[9] = 1;
  EXPECT_EQ(lookupMaterial(c), KQQPKQ);
  c.count[1] = 1;  // five men besides the kings
  EXPECT_EQ(lookupMaterial(c), 0);
  c = {};
  EXPECT_EQ(lookupMaterial(c), 0);  // bare kings: no table
  c.count[3] = 5;
  EXPECT_EQ(lookupMaterial(c), 0);
  EXPECT_EQ(materialOfName("kqqpkq").count[4], 2);
  EXPECT_EQ(materialOfName("kxkp").count[0], 1);  // an unknown letter counts as a pawn
}

TEST_F(TbRegistryTest, RegistrationCountsCompressedFilesAndAllocatesTheDecodeBlock) {
  const std::string dir = newDir();
  write(dir, "kpk.nbw.emd", tbencoder::encode(tbfiles::patternBytes(KPK_WHITE, 2)));
  const int32_t before = tbCompressedFiles;
  EXPECT_EQ(initTablebases(dir.c_str()), 3);
  EXPECT_EQ(tbCompressedFiles, before + 1);
  ASSERT_NE(decodeBlockShared, nullptr);
  EXPECT_EQ(decodeBlockShared->blockSize, 8192);
  EXPECT_NE(tbDescriptors[KPK].cacheBuckets[0], nullptr);
  EXPECT_EQ(tbDescriptors[KPK].cacheBuckets[1], nullptr);
}

using TbRegistryDeathTest = TbRegistryTest;

TEST_F(TbRegistryDeathTest, SixteenBitCompressedSideCountsTwoBytesAnEntry) {
  // krnknn side 0 given 6,000 two-byte entries: 12,000 bytes in two blocks,
  // (2 - 1) * 4096 + 3808 / 2 = 6000 entries.
  const int KRNKNN = 151;
  tbDescriptors[KRNKNN].length[0] = 6000;
  const std::string dir = newDir();
  write(dir, "krnknn_nbw.emd", tbencoder::encode(tbfiles::patternBytes(12000, 5)));
  EXPECT_EQ(initTablebases(dir.c_str()), 6);
  EXPECT_NE(tbDescriptors[KRNKNN].decoder[0][0], nullptr);
  tbDescriptors[KRNKNN].length[0] = 6001;
  std::fflush(stdout);
  EXPECT_EXIT(initToStderr(dir), ::testing::ExitedWithCode(1),
              exactly("*** " + dir + "/krnknn_nbw.emd corrupted 6001 6001 6000\n"));
}

TEST_F(TbRegistryDeathTest, CorruptedPlainFile) {
  const std::string dir = newDir();
  write(dir, "kpk.nbw", Bytes(KPK_WHITE - 1, 0));
  std::fflush(stdout);
  EXPECT_EXIT(initToStderr(dir), ::testing::ExitedWithCode(1),
              exactly("*** " + dir + "/kpk.nbw corrupted 81664 81664 81663\n"));
}

TEST_F(TbRegistryDeathTest, CorruptedSplitCompressedExtent) {
  const std::string dir = newDir();
  write(dir, "kqqpkq.0.nbw.emd", tbencoder::encode(Bytes(1000, 0)));
  std::fflush(stdout);
  EXPECT_EXIT(initToStderr(dir), ::testing::ExitedWithCode(1),
              exactly("*** " + dir + "/kqqpkq.0.nbw.emd corrupted 2147483648 855510632 1000\n"));
}

TEST_F(TbRegistryDeathTest, UnsupportedBlockSize) {
  const std::string dir = newDir();
  tbencoder::Options o;
  o.blockBits = 12;
  write(dir, "kpk.nbw.emd", tbencoder::encode(tbfiles::patternBytes(KPK_WHITE, 3), o));
  std::fflush(stdout);
  EXPECT_EXIT(initToStderr(dir), ::testing::ExitedWithCode(1),
              exactly("*** " + dir + "/kpk.nbw.emd: Unsupported block size 4096\n"));
}

TEST_F(TbRegistryDeathTest, UnreadableAndBrokenCompressedFiles) {
  const std::string dir = newDir(), other = newDir();
  write(dir, "kpk_nbw.emd", Bytes(40, 0));  // shorter than the fixed header
  Bytes broken = tbencoder::encode(tbfiles::patternBytes(KPK_WHITE, 4));
  broken[76] = 1;  // the bytes 0, 64, 1, 245 are wrong
  write(other, "kpk.nbb.emd", broken);
  std::fflush(stdout);
  EXPECT_EXIT(initToStderr(dir), ::testing::ExitedWithCode(1),
              exactly("*** Unable to read " + dir + "/kpk_nbw.emd - read error\n"));
  EXPECT_EXIT(initToStderr(other), ::testing::ExitedWithCode(1),
              exactly("*** Unable to read " + other + "/kpk.nbb.emd - file broken\n"));
}

TEST_F(TbRegistryDeathTest, CompressedFileCutInsideItsHeaderIsAReadError) {
  const Bytes good = tbencoder::encode(tbfiles::patternBytes(KPK_WHITE, 6));
  const size_t h = headerBytes(good);
  ASSERT_LT(h, good.size());
  for (size_t cut : {size_t{79}, size_t{80}, h - 5, h - 1}) {
    const std::string dir = newDir();
    write(dir, "kpk.nbw.emd", Bytes(good.begin(), good.begin() + cut));
    std::fflush(stdout);
    EXPECT_EXIT(initToStderr(dir), ::testing::ExitedWithCode(1),
                exactly("*** Unable to read " + dir + "/kpk.nbw.emd - read error\n"))
        << "cut at " << cut;
  }
}

// A directory, a FIFO or a link to a directory under each name registration
// tries is passed over at once like a missing file: the next name is still
// tried, and the other side's table registers.
TEST_F(TbRegistryDeathTest, OnlyRegularFilesAreTables) {
  const char* names[] = {"kpk.nbw", "kpk.nbw.emd", "kpk_nbw.emd", "kpk_nbw_emd", "kpknbw.emd"};
  const int count = static_cast<int>(sizeof names / sizeof names[0]);
  const Bytes compressed = tbencoder::encode(tbfiles::patternBytes(KPK_WHITE, 7));
  for (tbfiles::NotAFile kind : tbfiles::NOT_A_FILE_KINDS) {
    for (int i = 0; i < count; ++i) {
      const std::string dir = newDir();
      ASSERT_TRUE(tbfiles::makeNotAFile(dir + "/" + names[i], kind));
      write(dir, "kpk.nbb", Bytes(KPK_BLACK, 0));
      std::string white = "-";
      if (i + 1 < count) {
        write(dir, names[i + 1], compressed);
        white = dir + "/" + names[i + 1];
      }
      std::fflush(stdout);
      EXPECT_EXIT(registerKpkBeforeDeadline(dir), ::testing::ExitedWithCode(0),
                  exactly("men 3 white " + white + " black " + dir + "/kpk.nbb\n"))
          << tbfiles::notAFileName(kind) << " " << names[i];
    }
  }
}

TEST_F(TbRegistryDeathTest, MaterialOutsideTheTree) {
  const std::string dir = newDir();
  write(dir, "kpppkpp.nbw", Bytes(10, 0));
  std::fflush(stdout);
  EXPECT_EXIT(
      {
        std::strcpy(tbDescriptors[KPPKN].name, "kpppkpp");  // five men: no place in the tree
        tbDescriptors[KPPKN].length[0] = 0;
        initToStderr(dir);
      },
      ::testing::ExitedWithCode(1), exactly("*** Unable to register " + dir + "/kpppkpp.nbw\n"));
}

TEST_F(TbRegistryDeathTest, LongPathIsPrintedWhole) {
  std::string dir = newDir();
  for (int i = 0; i < 6; ++i) {
    dir += "/" + std::string(200, static_cast<char>('a' + i));
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
  }
  ASSERT_GT(dir.size(), 1024u);
  write(dir, "knk.nbb", Bytes(10, 0));
  tbDescriptors[KNK].length[1] = 11;
  std::fflush(stdout);
  EXPECT_EXIT(initToStderr(dir), ::testing::ExitedWithCode(1),
              exactly("*** " + dir + "/knk.nbb corrupted 11 11 10\n"));
  tbDescriptors[KNK].length[1] = 10;
  EXPECT_EQ(initTablebases(dir.c_str()), 3);
  EXPECT_EQ(fileName(KNK, 1, 0), dir + "/knk.nbb");
}
