#pragma once
// The fast stretch's column plan and row routines, shared by GfxTool and its vector units.
//
// Only plain declarations here: the SSSE3 and AVX2 units include this header, and any inline
// function they compiled (from a template or a library header) could be the copy the linker keeps
// for every unit, running their instructions on processors without them.

#include <cstddef>
#include <cstdint>

namespace gfx::stretch {

// How a group of output columns gets its pixels.
enum TGroupKind : uint8_t {
  gkScattered = 0,  // one load per pixel
  gkOneLoad = 1,    // all from one vector load starting at Base, rearranged
  gkTwoLoads = 2,   // from two neighbouring vector loads (SSSE3 and AVX2)
};

// Where each output column of one geometry takes its pixel; the same for every row. Columns
// [0, First) and [Last, Cols) fall outside the source row and are black. From First on, the
// columns form Groups groups of the vector width (4 for SSE2 and SSSE3, 8 for AVX2), up to
// GroupsEnd; the rest, up to Last, go pixel by pixel.
struct TRowPlan {
  size_t Cols = 0, First = 0, GroupsEnd = 0, Last = 0;
  const int32_t* Map = nullptr;   // source column of output column I, for I in [First, Last)
  size_t Groups = 0;
  const uint8_t* Kind = nullptr;  // TGroupKind per group
  const int32_t* Base = nullptr;  // per group: the first source column loaded
  // SSE2: per group the shuffle control (2 bits per pixel); SSSE3: per group 16 bytes, 0x70 plus
  // the byte each output byte takes of the 32 from Base on (bit 7 set: one of the second 16),
  // all 0x80 in a scattered group (the row routine tells the kinds by these top bits); AVX2:
  // per group 8 bytes, each pixel's source column minus Base (0..15).
  const uint8_t* Lanes = nullptr;
};

// The grouped columns [First, GroupsEnd) of one output row Out from the source row Src (which
// holds at least every column the plan names), opaque (top byte 0xFF); the caller does the rest.
void RowSSE2(const uint32_t* Src, uint32_t* Out, const TRowPlan& P);
void RowSSSE3(const uint32_t* Src, uint32_t* Out, const TRowPlan& P);
void RowAVX2(const uint32_t* Src, uint32_t* Out, const TRowPlan& P);

// The fast path of StretchToDC: the same arguments and the same pixels as the plain stretch
// (see GfxTool.cpp), on the widest vector unit allowed.
void StretchFast(const uint32_t* Src, int W, int H, int SrcX, int SrcY, int SrcW, int SrcH,
                 int DestW, int DestH, int X0, int Y0, int X1, int Y1, uint32_t* Out,
                 ptrdiff_t OutStride);

}  // namespace gfx::stretch
