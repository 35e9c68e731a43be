// The command tables of the reader loop and of the engine command thread.
#include "uci/commands.h"
#include "uci/engine_thread.h"
#include "uci/reader.h"

const CommandEntry commandTable[] = {
    {"uci", 1, 1, cmdUci},
    {"debug", 1, 2, nullptr},
    {"isready", 1, 1, cmdIsready},
    {"setoption", 3, -1, cmdSetoption},
    {"ucinewgame", 1, 1, cmdUcinewgame},
    {"position", 2, -1, cmdPosition},
    {"quit", 1, 1, cmdQuit},
    {"go", 1, -1, cmdGo},
    {"stop", 1, 1, cmdStop},
    {"ponderhit", 1, 1, cmdPonderhit},
    {nullptr, 0, 0, nullptr},
};

const CommandEntry engineCommandTable[] = {
    {"waitforidle", 1, 1, cmdWaitforidle},
    {"think", 9, 9, cmdThink},
    {nullptr, 0, 0, nullptr},
};
