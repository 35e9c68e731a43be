#include "tablebases/index_plan.h"

#include <cassert>
#include <cstring>

#include "tablebases/enumerations.h"
#include "tablebases/index_tables.h"

TbIndexPlan tbIndexPlans[TB_TABLE_COUNT][2];

namespace {

// Piece letters in name order, their enumeration kinds and first slots.
constexpr char kLetters[5] = {'q', 'r', 'b', 'n', 'p'};
constexpr int kLetterKind[5] = {kindQueen, kindRook, kindBishop, kindKnight, kindPawn};
constexpr int kLetterSlot[5] = {12, 9, 6, 3, 0};
constexpr int kPawnLetter = 4;
constexpr int kFirstPawnId22 = 201, kFirstPawnlessId31 = 266, kFirstPawnId31 = 346;
constexpr int kPawnSquares = 48, kBoardSquares = 64, kEpPawnSquares = 44;

// Men of one side by letter (q, r, b, n, p).
struct SideMen {
  int count[5];
  int total() const { return count[0] + count[1] + count[2] + count[3] + count[4]; }
  int pieces() const { return total() - count[kPawnLetter]; }
};

SideMen parseSide(const char* text, int length) {
  SideMen men{};
  for (int i = 0; i < length; i++)
    for (int l = 0; l < 5; l++)
      if (text[i] == kLetters[l]) men.count[l]++;
  return men;
}

TbUnit unitOf(int letter, int count, int who) {
  return TbUnit{static_cast<int8_t>(kLetterKind[letter]), static_cast<int8_t>(count), static_cast<int8_t>(who),
                static_cast<int8_t>(kLetterSlot[letter]), 0, 0};
}

// Group units of a side's men (pawns included or not): like sets first, then
// singles from the highest kind down. Returns the number of units and sets
// the groupOffsets key.
int groupUnitsOf(const SideMen& men, bool withPawns, int who, TbUnit* units, int32_t* key) {
  int n = 0;
  int kinds[3], kindCount = 0;
  const int letters = withPawns ? 5 : 4;
  for (int pass = 0; pass < 2; pass++)
    for (int l = 0; l < letters; l++) {
      const int c = men.count[l];
      if (c == 0 || (pass == 0) != (c >= 2)) continue;
      units[n++] = unitOf(l, c, who);
    }
  for (int l = 0; l < letters; l++)
    for (int i = 0; i < men.count[l]; i++) kinds[kindCount++] = kLetterKind[l];
  *key = kindCount == 0 ? -1 : tbGroupKey(kindCount, kinds);
  return n;
}

int64_t groupCount(bool pawns, int32_t key) {
  if (key < 0) return pawns ? TB_PAIRS_PAWNS : TB_PAIRS_PAWNLESS;
  assert(groupTotals[pawns ? 1 : 0][key] > 0);
  return groupTotals[pawns ? 1 : 0][key];
}

// Free units of the opponent in placement order and their digit order.
void freeUnitsOf(const SideMen& opp, bool pawnsFree, TbFamily family, TbIndexPlan* p) {
  int n = 0;
  int pawnUnit = -1;
  if (pawnsFree && opp.count[kPawnLetter] > 0) {
    pawnUnit = n;
    p->freeUnit[n++] = unitOf(kPawnLetter, opp.count[kPawnLetter], 1);
  }
  if (family == familyA) {
    for (int pass = 0; pass < 2; pass++)
      for (int l = 0; l < 4; l++)
        if (opp.count[l] > 0 && (pass == 0) == (opp.count[l] == 1)) p->freeUnit[n++] = unitOf(l, opp.count[l], 1);
  } else if (family == familyB) {
    for (int l = 3; l >= 0; l--)
      if (opp.count[l] > 0) p->freeUnit[n++] = unitOf(l, opp.count[l], 1);
  } else {
    for (int l = 0; l < 4; l++)
      if (opp.count[l] > 0) p->freeUnit[n++] = unitOf(l, opp.count[l], 1);
  }
  p->freeUnits = static_cast<int8_t>(n);
  // Digit order: family B as placed; otherwise pieces in name order, pawns last.
  int d = 0;
  if (family == familyB) {
    for (int i = 0; i < n; i++) p->digitOrder[d++] = static_cast<int8_t>(i);
  } else {
    for (int l = 0; l < 4; l++)
      for (int i = 0; i < n; i++)
        if (i != pawnUnit && p->freeUnit[i].slot == kLetterSlot[l]) p->digitOrder[d++] = static_cast<int8_t>(i);
    if (pawnUnit >= 0) p->digitOrder[d++] = static_cast<int8_t>(pawnUnit);
  }
  assert(d == n);
}

void listMen(const SideMen& men, int who, TbIndexPlan* p) {
  int n = 0;
  for (int l = 0; l < 5; l++)
    for (int i = 0; i < men.count[l]; i++) p->menSlot[who][n++] = static_cast<int8_t>(kLetterSlot[l] + i);
  p->menCount[who] = static_cast<int8_t>(n);
  p->pawnCount[who] = static_cast<int8_t>(men.count[kPawnLetter]);
}

// The e.p. block: Ge from the mover's pieces, the opponent's men without the
// moved pawn in the family's digit order, then the mover's other pawns.
void buildEpLayout(const SideMen& mover, const SideMen& opp, TbFamily family, TbIndexPlan* p) {
  p->epGroupUnits = static_cast<int8_t>(groupUnitsOf(mover, false, 0, p->epGroup, &p->epGroupKey));
  p->epGroupCount = static_cast<uint64_t>(groupCount(true, p->epGroupKey));
  const int totalPawns = mover.count[kPawnLetter] + opp.count[kPawnLetter];
  const int oppPawns = opp.count[kPawnLetter] - 1;
  uint64_t range = 1;
  int n = 0;
  TbUnit pawnUnit{};
  if (oppPawns > 0) {
    pawnUnit = unitOf(kPawnLetter, oppPawns, 1);
    // Against every other pawn, the e.p. square and the start square.
    pawnUnit.avail = static_cast<int8_t>(kPawnSquares - (totalPawns - oppPawns) - 2);
    pawnUnit.range = tbChoose(pawnUnit.avail, oppPawns);
  }
  if (family == familyB && oppPawns > 0) p->epOpp[n++] = pawnUnit;
  int placed = 2 + mover.pieces() + totalPawns + 2;
  for (int k = 0; k < 4; k++) {
    const int l = family == familyB ? 3 - k : k;
    if (opp.count[l] == 0) continue;
    TbUnit u = unitOf(l, opp.count[l], 1);
    u.avail = static_cast<int8_t>(kBoardSquares - placed);
    u.range = tbChoose(u.avail, opp.count[l]);
    placed += opp.count[l];
    p->epOpp[n++] = u;
  }
  if (family != familyB && oppPawns > 0) p->epOpp[n++] = pawnUnit;
  p->epOppUnits = static_cast<int8_t>(n);
  for (int i = 0; i < n; i++) range *= static_cast<uint64_t>(p->epOpp[i].range);
  p->epMoverPawns = static_cast<int8_t>(mover.count[kPawnLetter] - 1);
  range *= static_cast<uint64_t>(tbChoose(kEpPawnSquares, p->epMoverPawns));
  p->epDigitRange = range;
}

}  // namespace

TbFamily tbFamilyOf(int id) {
  assert(id >= 1 && id <= TB_MAX_ID);
  if (id >= kFirstPawnId31) return familyC;
  if (id >= kFirstPawnId22 && id < kFirstPawnlessId31) return familyB;
  return familyA;
}

void buildIndexPlan(int id, int side, TbIndexPlan* p) {
  assert(id >= 1 && id <= TB_MAX_ID && (side == 0 || side == 1) && p != nullptr);
  memset(p, 0, sizeof(*p));
  const TbDescriptor& d = tbDescriptors[id];
  const char* name = d.name;
  const char* second = strchr(name + 1, 'k');
  assert(name[0] == 'k' && second != nullptr);
  const SideMen white = parseSide(name + 1, static_cast<int>(second - name - 1));
  const SideMen black = parseSide(second + 1, static_cast<int>(strlen(second + 1)));
  const TbFamily family = tbFamilyOf(id);
  p->valid = true;
  p->pawns = white.count[kPawnLetter] + black.count[kPawnLetter] > 0;
  if (side == 1 && (d.flags & tbFlagSymmetric)) {
    // Equal material: side 1 is side 0 of the colour-reversed position.
    buildIndexPlan(id, 0, p);
    p->swapSides = true;
    return;
  }
  p->moverFirst = side == 0;
  const SideMen& mover = side == 0 ? white : black;
  const SideMen& opp = side == 0 ? black : white;
  listMen(mover, 0, p);
  listMen(opp, 1, p);

  // Group: the mover's men; a mover without men groups the opponent's pawns
  // as kind p (tables with pawns) or has the king pair alone.
  bool pawnsFree = true;
  int groupMen = 0, groupPawns = 0;
  if (mover.total() > 0) {
    p->groupUnits = static_cast<int8_t>(groupUnitsOf(mover, true, 0, p->group, &p->groupKey));
    groupMen = mover.total();
    groupPawns = mover.count[kPawnLetter];
  } else if (p->pawns) {
    const int n = opp.count[kPawnLetter];
    p->groupUnits = 1;
    p->group[0] = TbUnit{kindOppPawn, static_cast<int8_t>(n), 1, 0, 0, 0};
    const int kinds[3] = {kindOppPawn, kindOppPawn, kindOppPawn};
    p->groupKey = tbGroupKey(n, kinds);
    groupMen = groupPawns = n;
    pawnsFree = false;
  } else {
    p->groupKey = -1;
  }
  p->groupFlip = (side == 1 && p->pawns && groupPawns > 0) ? 56 : 0;

  freeUnitsOf(opp, pawnsFree, family, p);
  int placed = 2 + groupMen, pawnsPlaced = groupPawns;
  uint64_t range = 1;
  for (int i = 0; i < p->freeUnits; i++) {
    TbUnit& u = p->freeUnit[i];
    if (u.kind == kindPawn) {
      u.avail = static_cast<int8_t>(kPawnSquares - pawnsPlaced);
      pawnsPlaced += u.count;
    } else {
      u.avail = static_cast<int8_t>(kBoardSquares - placed);
    }
    u.range = tbChoose(u.avail, u.count);
    placed += u.count;
    range *= static_cast<uint64_t>(u.range);
  }
  p->freeRange = range;
  p->normalSize = static_cast<uint64_t>(groupCount(p->pawns, p->groupKey)) * range;
  p->indexSpace = p->normalSize;

  p->hasEp = mover.count[kPawnLetter] > 0 && opp.count[kPawnLetter] > 0;
  if (p->hasEp) {
    buildEpLayout(mover, opp, family, p);
    p->indexSpace += p->epGroupCount * p->epDigitRange * 14;
  }
}

void initIndexPlans() {
  for (int id = 1; id <= TB_MAX_ID; id++)
    for (int side = 0; side < 2; side++) buildIndexPlan(id, side, &tbIndexPlans[id][side]);
}
