#pragma once

class QMdiArea;

namespace kvx {

// The arrangements of the frame's window menu, by the codes the window system knows them.
enum class Arrangement { Cascade = 0, TileHorizontally = 1, TileVertically = 2, ArrangeIcons = 3 };

void arrange(QMdiArea* area, Arrangement arrangement);

} // namespace kvx
