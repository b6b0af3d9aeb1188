// Items, item lists and their files.
#include "GIFItem.h"

#include "Exception.h"
#include "GIFImageHost.h"

void TGIFItem::ReportWarning(int ASeverity, const std::string& AMessage) {
  if (FImage) FImage->ReportWarning(this, ASeverity, AMessage);
}

void TGIFItem::SaveToFile(const std::string& AFileName) {
  TGIFFileStream stream(AFileName, TFileMode::fmCreate);
  SaveToStream(stream);
  stream.Flush();
}

void TGIFItem::LoadFromFile(const std::string& AFileName) {
  TGIFFileStream stream(AFileName, TFileMode::fmOpenRead);
  LoadFromStream(stream);
}

TGIFList::~TGIFList() {
  Clear();
}

TGIFItem* TGIFList::Items(int AIndex) const {
  if (AIndex < 0 || AIndex >= Count())
    throw Exception("List index out of bounds (" + std::to_string(AIndex) + ")");
  return FItems[static_cast<size_t>(AIndex)].get();
}

int TGIFList::Add(std::unique_ptr<TGIFItem> AItem) {
  FItems.push_back(std::move(AItem));
  return Count() - 1;
}

void TGIFList::Delete(int AIndex) {
  Items(AIndex);
  // Out of the list before it dies, so that its destructor sees a list
  // without it.
  std::unique_ptr<TGIFItem> item = std::move(FItems[static_cast<size_t>(AIndex)]);
  FItems.erase(FItems.begin() + AIndex);
}

int TGIFList::Remove(TGIFItem* AItem) {
  for (size_t i = 0; i < FItems.size(); ++i) {
    if (FItems[i].get() == AItem) {
      FItems[i].release();
      FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(i));
      return static_cast<int>(i);
    }
  }
  return -1;
}

void TGIFList::Clear() {
  while (!FItems.empty())
    Delete(0);
}

void TGIFList::ReportWarning(int ASeverity, const std::string& AMessage) {
  if (FImage) FImage->ReportWarning(this, ASeverity, AMessage);
}

void TGIFList::SaveToStream(TGIFStream& AStream) {
  for (const std::unique_ptr<TGIFItem>& item : FItems)
    item->SaveToStream(AStream);
}
