#pragma once

// The number of GDI objects (bitmaps, device contexts, brushes, ...) this
// process holds. Windows answers GetGuiResources; Wine 8 only has a stub
// there that answers 0, so under Wine the objects are counted in the
// process's GDI handle table, which the process environment block points
// to on both systems (GdiSharedHandleTable): every used entry has a
// non-zero type.
long countGdiObjects();

// Which of the two ways countGdiObjects took: "GetGuiResources" or "the GDI
// handle table".
const char* gdiCountSource();
