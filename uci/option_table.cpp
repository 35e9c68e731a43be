// The option rows in listing order, and the Elo-to-strength table.
#include "uci/options.h"

char threadsDefault[20] = "1";
char threadsBounds[20] = "min 1 max 1";

OptionRow optionTable[] = {
    {"Hash", 1, "16", "spin", "min 4 max 4095", nullptr},
    {"Ponder", 1, "false", "check", "", nullptr},
    {"OwnBook", 1, "true", "check", "", nullptr},
    {"Book_file", 1, "tessel12.5.bin", "string", "", nullptr},
    {"Book_selectivity", 1, "5", "spin", "min 0 max 30", nullptr},
    {"MultiPV", 1, "1", "spin", "min 1 max 50", nullptr},
    {"Contempt", 1, "0", "spin", "min -500 max 500", nullptr},
    {"Use_tablebases", 1, "true", "check", "", nullptr},
    {"NalimovPath", 1, "C:\\TBs", "string", "", nullptr},
    {"NalimovCache", 1, "32", "spin", "min 1 max 256", nullptr},
    {"UCI_LimitStrength", 1, "false", "check", "", nullptr},
    {"UCI_ELO", 1, "3000", "spin", "min 1200 max 3000", nullptr},
    {"Clear_hash", 1, "false", "check", "", nullptr},
    {"Threads", 1, threadsDefault, "spin", threadsBounds, nullptr},
    {nullptr, 0, nullptr, nullptr, nullptr, nullptr},
};

const StrengthLevel strengthTable[] = {
    {-2147483647 - 1, 5000, 3},
    {1540, 5000, 4},
    {1660, 5000, 5},
    {1840, 5000, 6},
    {2000, 100, 6},
    {2060, 100, 7},
    {2180, 100, 8},
    {2300, 100, 9},
    {2420, 100, 10},
    {2540, 100, 11},
    {2660, 100, 60},
};
const int strengthLevels = sizeof strengthTable / sizeof strengthTable[0];
