// The octree colour quantiser: it collects a picture's colours in a tree of
// up to 8 levels (one bit of red, green and blue per level) and merges the
// deepest branches whenever the tree holds more leaves than colours wanted,
// so it stays small however many colours the picture has. Each leaf gives
// the mean colour of its pixels.
#pragma once

#include <cstdint>
#include <memory>

#include "DIB.h"
#include "Palette.h"

struct TOctreeNode {
  bool IsLeaf = false;
  // 64-bit, so that the sums of a picture of any size cannot wrap.
  uint64_t PixelCount = 0;
  uint64_t RedSum = 0;
  uint64_t GreenSum = 0;
  uint64_t BlueSum = 0;
  TOctreeNode* Next = nullptr; // the next node in its level's reducible list
  std::unique_ptr<TOctreeNode> Child[8];
};

class TColorQuantizer {
public:
  // At most AMaxColors leaves in a tree of AColorBits levels (0-8); "ColorBits
  // must be 8 or less" otherwise.
  TColorQuantizer(int AMaxColors, int AColorBits);

  // Adds every pixel of the reader's 24-bit rows, top to bottom, left to
  // right, reducing the tree after each pixel while it has too many leaves.
  void ProcessImage(TDIBReader& AReader);
  void AddColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue);

  // One entry per leaf, depth first with the children in index order; flags 0.
  TPalette GetColorTable() const;

  int LeafCount() const { return FLeafCount; }

private:
  TOctreeNode* CreateNode(int ALevel);
  bool ReduceTree();

  std::unique_ptr<TOctreeNode> FTree;
  int FLeafCount = 0;
  TOctreeNode* FReducibleNodes[8] = {};
  int FMaxColors;
  int FColorBits;
};
