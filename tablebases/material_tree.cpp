#include "tablebases/material_tree.h"

#include <cassert>

#include "tablebases/tb_alloc.h"

MaterialNode* materialTree = nullptr;

namespace {

MaterialNode* buildNode(int level, int limit) {
  MaterialNode* node = static_cast<MaterialNode*>(
      tbAlloc(sizeof(MaterialNode) + sizeof(MaterialSlot) * static_cast<size_t>(limit + 1)));
  node->limit = limit;
  node->slots = reinterpret_cast<MaterialSlot*>(node + 1);
  for (int c = 0; c <= limit; ++c) {
    if (level == TB_MATERIAL_KINDS - 1)
      node->slots[c].id = 0;
    else
      node->slots[c].child = buildNode(level + 1, limit - c);
  }
  return node;
}

// The leaf slot of the material, or null when a count is out of range.
MaterialSlot* findLeaf(const MaterialCounts& counts) {
  MaterialNode* node = materialTree;
  if (!node) return nullptr;
  for (int level = 0;; ++level) {
    const int32_t c = counts.count[level];
    if (c < 0 || c > node->limit) return nullptr;
    if (level == TB_MATERIAL_KINDS - 1) return &node->slots[c];
    node = node->slots[c].child;
  }
}

int storeMaterial(const MaterialCounts& counts, int32_t id) {
  MaterialSlot* leaf = findLeaf(counts);
  if (!leaf) return 0;
  leaf->id = id;
  return 1;
}

int kindOfLetter(char letter) {
  switch (letter) {
    case 'n': return 1;
    case 'b': return 2;
    case 'r': return 3;
    case 'q': return 4;
    default: return 0;  // 'p' and anything else counts as a pawn
  }
}

}  // namespace

void initMaterialTree() {
  if (!materialTree) materialTree = buildNode(0, TB_MATERIAL_MAX_MEN);
}

MaterialCounts materialOfName(const char* name) {
  assert(name != nullptr && name[0] != '\0');
  MaterialCounts counts = {};
  int colour = 0;
  for (const char* p = name + 1; *p; ++p) {
    if (*p == 'k' && colour == 0) {
      colour = 1;
      continue;
    }
    ++counts.count[colour * TB_MATERIAL_PER_SIDE + kindOfLetter(*p)];
  }
  return counts;
}

int registerMaterial(const TbDescriptor& d) {
  const MaterialCounts counts = materialOfName(d.name);
  if (!storeMaterial(counts, d.id)) return 0;
  if (d.flags & tbFlagSymmetric) return 1;
  MaterialCounts reversed;
  for (int k = 0; k < TB_MATERIAL_PER_SIDE; ++k) {
    reversed.count[k] = counts.count[k + TB_MATERIAL_PER_SIDE];
    reversed.count[k + TB_MATERIAL_PER_SIDE] = counts.count[k];
  }
  return storeMaterial(reversed, -d.id);
}

int lookupMaterial(const MaterialCounts& counts) {
  const MaterialSlot* leaf = findLeaf(counts);
  return leaf ? leaf->id : 0;
}
