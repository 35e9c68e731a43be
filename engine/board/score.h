// Score bounds. Scores are in centipawn-like units from the side to move's view.
#pragma once

constexpr int MATE_SCORE = 9999;  // the mated side's score is -MATE_SCORE; also the widest window
constexpr int MATE_BOUND = 9899;  // scores beyond this are mates in so many plies
