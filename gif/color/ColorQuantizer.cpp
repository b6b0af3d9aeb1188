// The octree colour quantiser.
#include "ColorQuantizer.h"

#include "GIFException.h"

TColorQuantizer::TColorQuantizer(int AMaxColors, int AColorBits)
    : FMaxColors(AMaxColors), FColorBits(AColorBits) {
  if (AColorBits < 0 || AColorBits > 8) throw GIFException("ColorBits must be 8 or less");
}

TOctreeNode* TColorQuantizer::CreateNode(int ALevel) {
  auto* node = new TOctreeNode;
  if (ALevel == FColorBits) {
    node->IsLeaf = true;
    ++FLeafCount;
  } else {
    node->Next = FReducibleNodes[ALevel];
    FReducibleNodes[ALevel] = node;
  }
  return node;
}

void TColorQuantizer::AddColor(uint8_t ARed, uint8_t AGreen, uint8_t ABlue) {
  std::unique_ptr<TOctreeNode>* slot = &FTree;
  for (int level = 0;; ++level) {
    if (!*slot) slot->reset(CreateNode(level));
    TOctreeNode& node = **slot;
    if (node.IsLeaf) {
      ++node.PixelCount;
      node.RedSum += ARed;
      node.GreenSum += AGreen;
      node.BlueSum += ABlue;
      return;
    }
    const int shift = 7 - level;
    const int index =
        (((ARed >> shift) & 1) << 2) | (((AGreen >> shift) & 1) << 1) | ((ABlue >> shift) & 1);
    slot = &node.Child[index];
  }
}

bool TColorQuantizer::ReduceTree() {
  // The deepest level that still has a node with children; its children are
  // all leaves, since every deeper level is reduced already.
  int level = FColorBits - 1;
  while (level > 0 && !FReducibleNodes[level])
    --level;
  if (level < 0 || !FReducibleNodes[level]) return false;
  TOctreeNode* node = FReducibleNodes[level];
  FReducibleNodes[level] = node->Next;
  int children = 0;
  for (auto& child : node->Child) {
    if (!child) continue;
    node->PixelCount += child->PixelCount;
    node->RedSum += child->RedSum;
    node->GreenSum += child->GreenSum;
    node->BlueSum += child->BlueSum;
    child.reset();
    ++children;
  }
  node->IsLeaf = true;
  FLeafCount += 1 - children;
  return true;
}

void TColorQuantizer::ProcessImage(TDIBReader& AReader) {
  if (AReader.PixelFormat() != pf24bit) throw GIFException("Unsupported PixelFormat");
  const int width = AReader.Bitmap().Width(), height = AReader.Bitmap().Height();
  for (int y = 0; y < height; ++y) {
    const uint8_t* pixel = AReader.ScanLine(y);
    for (int x = 0; x < width; ++x, pixel += 3) {
      AddColor(pixel[2], pixel[1], pixel[0]);
      while (FLeafCount > FMaxColors)
        if (!ReduceTree()) break;
    }
  }
}

namespace {

void CollectLeaves(const TOctreeNode& ANode, TPalette& ATable) {
  if (ANode.IsLeaf) {
    TPaletteEntry entry;
    if (ANode.PixelCount > 0) {
      entry.Red = static_cast<uint8_t>(ANode.RedSum / ANode.PixelCount);
      entry.Green = static_cast<uint8_t>(ANode.GreenSum / ANode.PixelCount);
      entry.Blue = static_cast<uint8_t>(ANode.BlueSum / ANode.PixelCount);
    }
    ATable.push_back(entry);
    return;
  }
  for (const auto& child : ANode.Child)
    if (child) CollectLeaves(*child, ATable);
}

} // namespace

TPalette TColorQuantizer::GetColorTable() const {
  TPalette table;
  if (FTree) CollectLeaves(*FTree, table);
  return table;
}
