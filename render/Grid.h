#pragma once

// The geometry grid: its vertex layout, its size limit and its counts. The grid
// builders, Render and the parameter reader all take them from here.

#include <windows.h>

#include <d3d9types.h>

#include <cstdint>
#include <limits>

namespace quorvel {

// Flexible vertex format 0x142. Must match GridVertex.
inline constexpr DWORD kGridVertexFormat = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct GridVertex {
    float x;
    float y;
    float z;
    D3DCOLOR diffuse;
    float u;
    float v;
};

inline constexpr UINT kGridVertexStride = sizeof(GridVertex);
static_assert(kGridVertexFormat == 0x142, "the grid's vertex format");
static_assert(kGridVertexStride == 24, "stride of the vertex format");

// 16-bit indices address at most this many vertices; beyond it the indices
// wrap and the buffer lengths can overflow.
inline constexpr std::int64_t kMaxGridVertices = 65536;
static_assert(kMaxGridVertices == std::int64_t{std::numeric_limits<WORD>::max()} + 1,
              "every vertex reachable by a 16-bit index");

inline constexpr bool GridSizeFits(int columns, int rows) {
    return columns >= 2 && rows >= 2 && std::int64_t{columns} * rows <= kMaxGridVertices;
}

// Counts of a grid whose size fits.
inline constexpr UINT GridVertexCount(int columns, int rows) {
    return static_cast<UINT>(columns * rows);
}
// Two triangles per cell.
inline constexpr UINT GridTriangleCount(int columns, int rows) {
    return static_cast<UINT>(2 * (rows - 1) * (columns - 1));
}
inline constexpr UINT GridIndexCount(int columns, int rows) {
    return 3 * GridTriangleCount(columns, rows);
}

static_assert(GridIndexCount(2, 2) == 6, "one cell: two triangles");
static_assert(GridSizeFits(256, 256) && !GridSizeFits(257, 256), "the vertex limit");
static_assert(std::uint64_t{GridIndexCount(256, 256)} * sizeof(WORD) <
                  std::numeric_limits<UINT>::max(),
              "the largest index buffer's length fits a UINT");

} // namespace quorvel
