#include "tests/persistence/HostileInputs.h"

#include "tests/persistence/TestClasses.h"

using namespace ptest;

namespace {

RawItems Empty() { return {}; }

RawItems ClassInfo(const std::string& Class, int32_t Count) {
  return RawItems().IntValue("IsNIL", 0).StringValue("ClassName", Class).IntValue("PropertyCount", Count);
}

// A media record whose embedded stream holds the given items.
std::string MediaWith(const RawItems& StreamItems) {
  RawItems Inner;
  Inner.Block("Info", RawItems().StringValue("Extension", ".jpg").IntValue("FileSize", 1).BinaryValue(
                          "FileDate", std::string(8, '\0')));
  Inner.Block("MediaContent", StreamItems);
  return Record("TFuzzMedia", 0, {}, Inner).B;
}

}  // namespace

std::string NestedInfos(int Levels) {
  RawItems R = Record("TFuzzInfo", 0, {});
  for (int I = 0; I < Levels; ++I)
    R = Record("TFuzzInfo", 1, Property("Extra", 7, RawItems().Block("Value", R)));
  return R.B;
}

std::vector<HostileInput> HostileInputs() {
  std::vector<HostileInput> H;
  const std::string Bag = "EPropertyBagError";

  H.push_back({"negative-string-length", RawItems().Int(0).Int(-1).B, Bag, "invalid string length -1"});
  H.push_back({"huge-name-length-at-stream-end", RawItems().Int(0).Int(0x7FFFFFF0).Bytes("Cl").B,
               "EReadError", "Stream read error"});
  {
    RawItems CI;
    CI.IntValue("IsNIL", 0).Int(1).Str("ClassName").Int(0x7FFFFFF0).Bytes("TFuzzInfo");
    H.push_back({"huge-string-length-in-block", RawItems().Block("ClassInfo", CI).Block("Properties", Empty()).B,
                 Bag, "runs past the end of its block"});
  }
  {
    RawItems R;
    R.Int(0).Str("ClassInfo").Int64(0).IntValue("IsNIL", 1);
    H.push_back({"block-length-zero", R.B, Bag, "invalid length 0 of block ClassInfo"});
  }
  {
    RawItems R;
    R.Int(0).Str("ClassInfo").Int64(-17).IntValue("IsNIL", 1);
    H.push_back({"block-length-negative", R.B, Bag, "invalid length -17"});
  }
  {
    RawItems R;
    R.Int(0).Str("ClassInfo").Int64(INT64_MAX).IntValue("IsNIL", 1);
    H.push_back({"block-length-overflow", R.B, "EIntOverflow", "Integer overflow"});
  }
  {
    // A property block that claims more than its "Properties" block holds.
    RawItems Props;
    Props.Int(0).Str("Title").Int64(4000).IntValue("Type", 10).StringValue("Value", "x");
    RawItems R;
    R.Block("ClassInfo", ClassInfo("TFuzzInfo", 1)).Block("Properties", Props).Block("InnerProperties", Empty());
    R.Bytes(std::string(5000, '\0'));
    H.push_back({"child-block-beyond-parent", R.B, Bag, "invalid length 4000 of block Title"});
  }
  {
    RawItems R;
    R.Int(0).Str("ClassInfo").Int64(8 + 10).IntValue("IsNIL", 0).StringValue("ClassName", "TFuzzInfo");
    H.push_back({"value-beyond-block", R.B, Bag, "runs past the end of its block"});
  }
  {
    // An object property's nested medium, every block around it ending at 3 GiB, far beyond
    // the stream: refused at the outermost, before an object is made whose block could not be
    // left.
    const int64_t End = int64_t{3} << 30;
    RawItems R;
    R.Block("ClassInfo", ClassInfo("TFuzzInfo", 1));
    auto Enter = [&](const std::string& Name) {
      R.Int(0).Str(Name);
      const int64_t At = static_cast<int64_t>(R.B.size());
      R.Int64(End - At);
      return End - At;
    };
    const int64_t Outermost = Enter("Properties");
    Enter("Extra");
    R.IntValue("Type", 7);
    Enter("Value");
    RawItems St;
    St.BinaryValue("StreamSize", RawItems().Int64(0).B).IntValue("BufferCount", 0);
    R.Bytes(MediaWith(St));
    H.push_back({"blocks-beyond-the-stream", R.B, Bag,
                 "invalid length " + std::to_string(Outermost) + " of block Properties"});
  }
  H.push_back({"nesting-beyond-the-limit", NestedInfos(120), Bag, "blocks nested deeper than 256"});
  {
    RawItems R;
    R.Block("ClassInfo", ClassInfo("TFuzzInfo", 0x7FFFFFFF)).Block("Properties", Empty()).Block("InnerProperties", Empty());
    R.Bytes(std::string(64, '\0'));
    H.push_back({"billions-of-properties", R.B, Bag, "runs past the end of its block"});
  }
  {
    RawItems Inner;
    Inner.Block("_Items", RawItems().IntValue("Count", 0x7FFFFFFF));
    RawItems R = Record("TFuzzList", 0, {}, Inner);
    R.Bytes(std::string(64, '\0'));
    H.push_back({"billions-of-items", R.B, Bag, "runs past the end of its block"});
  }
  {
    RawItems St;
    St.BinaryValue("StreamSize", RawItems().Int64(int64_t{1} << 40).B).IntValue("BufferCount", 0x7FFFFFFF);
    H.push_back({"billions-of-chunks", MediaWith(St) + std::string(64, '\0'), Bag,
                 "runs past the end of its block"});
  }
  {
    RawItems St;
    St.BinaryValue("StreamSize", RawItems().Int64(70000).B)
        .IntValue("BufferCount", 1)
        .IntValue("BufferSize0", 70000)
        .BinaryValue("BufferData0", std::string(70000, 'x'));
    H.push_back({"chunk-above-64KiB", MediaWith(St), Bag, "TPropertyBag.ReadStream : Error while reading stream"});
  }
  {
    RawItems St;
    St.BinaryValue("StreamSize", RawItems().Int64(5).B)
        .IntValue("BufferCount", 1)
        .IntValue("BufferSize0", 3)
        .BinaryValue("BufferData0", "abc");
    H.push_back({"stream-size-mismatch", MediaWith(St), Bag, "TPropertyBag.ReadStream : Error while reading stream"});
  }
  H.push_back({"unknown-class", Record("TGibtEsNicht", 0, {}).B, Bag, "unkown class TGibtEsNicht"});
  {
    RawItems Props;
    Props.Bytes(Property("Mode", 3, RawItems().StringValue("Value", "fmNever")).B);
    H.push_back({"unknown-identifier", Record("TFuzzInfo", 1, Props).B, "EPropertyConvertError",
                 "Invalid property element: fmNever"});
  }
  {
    // A nested object of another class than the property holds: the setter does not take it.
    RawItems Props;
    Props.Bytes(Property("Extra", 7, RawItems().Block("Value", Record("TFuzzPerson", 1,
        Property("Name", 10, RawItems().StringValue("Value", "x"))))).B);
    Props.Bytes(Property("Creator", 7, RawItems().Block("Value", Record("TFuzzInfo", 0, {}))).B);
    H.push_back({"object-of-another-class", Record("TFuzzInfo", 2, Props).B, Bag,
                 "classnames do not match : TFuzzInfo, TFuzzPerson"});
  }
  {
    RawItems Inner;
    Inner.Block("_Items", RawItems().IntValue("Count", 1).Block("Item00000000", Record("TFuzzInfo", 0, {})));
    H.push_back({"foreign-item-in-typed-list", Record("TFuzzPersonList", 0, {}, Inner).B, Bag,
                 "unsupportet object property class : TFuzzInfo"});
  }
  return H;
}
