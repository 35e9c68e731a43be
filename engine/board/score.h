// Score bounds. Scores are in centipawn-like units from the side to move's view.
#pragma once

constexpr int MATE_SCORE = 9999;  // the mated side's score is -MATE_SCORE; also the widest window
constexpr int MATE_BOUND = 9899;  // scores beyond this are mates in so many plies
constexpr int MATE_FOUND = MATE_BOUND + 1;  // the least score of a found mate
constexpr int PRUNED_SCORE = MATE_SCORE - 1;  // a child's score that makes its move count as tried and refuted
constexpr int DECISIVE_SCORE = 9000;  // above any evaluation: a line decided by mate or tablebase
