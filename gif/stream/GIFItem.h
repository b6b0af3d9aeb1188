// The bases of everything a GIF picture stores: TGIFItem (header, frame,
// extension, trailer) and TGIFList (an owned list of items, such as the
// extensions in front of a frame).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "GIFStream.h"

class TGIFImageHost;

// The common base of the codec's stored objects; warnings name one as sender.
class TGIFObject {
public:
  virtual ~TGIFObject() = default;
};

class TGIFItem : public TGIFObject {
public:
  explicit TGIFItem(TGIFImageHost* AImage) : FImage(AImage) {}
  TGIFItem(const TGIFItem&) = delete;
  TGIFItem& operator=(const TGIFItem&) = delete;

  // 1 when GIF87a can hold the item, 2 when it needs GIF89a.
  virtual int RequiredVersion() const { return 1; }
  // Hands the warning to the picture; without one it is dropped.
  virtual void ReportWarning(int ASeverity, const std::string& AMessage);
  virtual void SaveToStream(TGIFStream& AStream) = 0;
  virtual void LoadFromStream(TGIFStream& AStream) = 0;
  virtual void SaveToFile(const std::string& AFileName);
  virtual void LoadFromFile(const std::string& AFileName);

  TGIFImageHost* Image() const { return FImage; }

protected:
  TGIFImageHost* FImage;
};

class TGIFList : public TGIFObject {
public:
  explicit TGIFList(TGIFImageHost* AImage) : FImage(AImage) {}
  ~TGIFList() override;
  TGIFList(const TGIFList&) = delete;
  TGIFList& operator=(const TGIFList&) = delete;

  // A bad index raises the list's range error.
  TGIFItem* Items(int AIndex) const;
  int Count() const { return static_cast<int>(FItems.size()); }
  int Add(std::unique_ptr<TGIFItem> AItem);
  // Takes the item out and frees it.
  void Delete(int AIndex);
  // Takes the item out without freeing it: the caller owns it from then on.
  // Answers its former index, or -1 when the list does not hold it.
  int Remove(TGIFItem* AItem);
  void Clear();

  virtual void ReportWarning(int ASeverity, const std::string& AMessage);
  // Every item in list order.
  virtual void SaveToStream(TGIFStream& AStream);
  virtual void LoadFromStream(TGIFStream& AStream) = 0;

  TGIFImageHost* Image() const { return FImage; }

protected:
  TGIFImageHost* FImage;

private:
  std::vector<std::unique_ptr<TGIFItem>> FItems;
};
