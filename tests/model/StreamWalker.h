#pragma once
// Walks the tagged items of an object stream as the model writes them, so that tests can look
// at a record's layout and find the boundaries of every item. Binary values carry no length of
// their own: their sizes come from the value names the model uses.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace modeltest {

struct TStreamItem {
  int32_t Tag = 0;  // 0 block, 1 string, 2 binary
  std::string Name;
  int64_t Start = 0;  // offset of the tag
  int64_t End = 0;    // offset after the item
  std::string Text;   // string value (stored bytes)
  std::string Bytes;  // binary value
  std::vector<TStreamItem> Children;

  const TStreamItem* Child(const std::string& ChildName) const;
  // A path of child names, such as {"Properties", "CreatorInfo", "Value"}.
  const TStreamItem* Find(const std::vector<std::string>& Path) const;
  std::vector<std::string> ChildNames() const;
  int32_t Int() const;  // a 4-byte binary value
};

// The items from Offset to the end of Data, or the first MaxItems of them (an object record
// is three blocks). Throws std::runtime_error on anything it cannot follow.
std::vector<TStreamItem> WalkItems(const std::string& Data, int64_t Offset = 0, int MaxItems = -1);
// Every item's start and end offset, nested ones included, sorted and unique.
std::vector<int64_t> ItemBoundaries(const std::vector<TStreamItem>& Items);
// The bytes of every value that the reader takes as it comes: the chunks of an embedded file,
// a font's data and every text longer than MinTextBytes; nested ones included, as [first, end)
// pairs in stream order.
std::vector<std::pair<int64_t, int64_t>> ContentValues(const std::vector<TStreamItem>& Items,
                                                       int64_t MinTextBytes);
// The last byte of every binary value of up to 8 bytes, nested ones included: the top byte of
// a number, whose change makes it huge or negative.
std::vector<int64_t> NumberTopBytes(const std::vector<TStreamItem>& Items);

}  // namespace modeltest
