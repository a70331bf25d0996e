#pragma once

// The number of GDI objects (bitmaps, device contexts, brushes, ...) this
// process holds, counted in the GDI handle table that the process
// environment block points to (GdiSharedHandleTable): Wine 8's
// GetGuiResources is a stub that answers 0.
long countGdiObjects();
