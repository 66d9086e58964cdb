// Star fields: stars scattered over an unbounded grid of unit cells, at most
// one per cell and pass, placed, sized and coloured by a hash of the cell and
// the layer's seed. No star is stored: every sample recomputes the stars of
// the 3 x 3 cells around it in each pass of its layer, each pass with its own
// zoom and offset, the last one thinned by the density's fraction.
//
// Shortcuts that give the same bits:
// - a last pass whose threshold is 1 or more holds no star (no hash exceeds
//   1, NaN exceeds nothing), so its value is min(max(0, 0), 1) x brightness
//   without hashing;
// - with cullOutsideCore, a cell whose star lies farther than 0.03 in x or y
//   has q = 0.05 / r < 2 and no glow or flare, so its light is
//   K x ((q x 0)^2 x F) = +-0 for finite K and F, and a sum that starts at +0
//   never becomes -0, so adding it changes nothing;
// - the colours of a pass's lit cells are looked up in one call, and a cell
//   whose hash has the same bits in every lane has its colour looked up and
//   hue shifted once;
// - where every cell is lit (glow or flares), a group whose samples' cells
//   form a small block visits each cell of the block once for all lanes, its
//   hash, star and colour computed once, each lane adding the cells of its
//   own 3 x 3 in its own cell order; the passes go over all groups one pass
//   after the other, and a cell the group before met takes the colour found
//   then (a cell's colour depends on the cell alone).
//
// One sample alone (per-sample Output) would fill one lane of a group, so on
// a wider target its reachable cells go in the lanes instead, and their
// lights are added one by one in cell order: the same additions as the
// lane-per-sample pass makes.
//
// Include this only inside a kernel target's namespace, after
// star_shape_lanes.h.

// ---- the cell hash --------------------------------------------------------

// The hash of cell (X, Y) (whole numbers held as doubles) is a double in
// [0, 1). Its terms of a column (A) and of a row (B) are each shared by the
// three cells of that column or row. The order of the operations is part of
// the field's look: every platform must place the same stars.
inline D ColumnTerm(D X, D seed)
{
    const D a = Frac(Mul(X, Set(123.34)));
    return Mul(Add(seed, a), a);
}

inline D RowTerm(D Y, D seed)
{
    const D b = Frac(Mul(Y, Set(456.21)));
    return Mul(Add(seed, b), b);
}

inline D HashOfTerms(D A, D B, D seed)
{
    const D s1 = Add(A, B);
    const D s2 = Add(Mul(Add(s1, seed), s1), B);
    return Frac(Mul(s2, s1));
}

inline D CellHash(D X, D Y, D seed) { return HashOfTerms(ColumnTerm(X, seed), RowTerm(Y, seed), seed); }

// ---- a star from its hash -------------------------------------------------

// The size factor F: the layer's scale without size variation, else a
// fraction of the hash.
NOC_KERNEL_STEP D SizeFactor(const FieldLayerView& layer, D h)
{
    return layer.noSizeVariation ? Set(layer.scale) : Frac(Mul(h, Set(345.32)));
}

// The flare weight of a field star of size measure sz: 0 up to 0.8, 1 from
// 0.9, a smooth step between (over the double difference 0.9 - 0.8).
NOC_KERNEL_STEP D FieldStarFlareWeight(D sz)
{
    const D t = Div(Sub(sz, Set(0.8)), Set(0.09999999999999998));
    const D step = Mul(Sub(Set(3.0), Mul(Set(2.0), t)), Mul(t, t));
    return Select(LessEqual(sz, Set(0.8)), Set(0.0), Select(GreaterEqual(sz, Set(0.9)), Set(1.0), step));
}

// The gradient position of a star of size factor F under "Size Dependent"
// colour: 0 up to q = 0.25, 1 from 0.95, a smooth step between.
inline D SizeDependentColorPosition(D F, double scale)
{
    const D q = Mul(Mul(F, Set(scale)), Set(0.5));
    const D t = Div(Sub(q, Set(0.25)), Set(0.7));
    const D step = Mul(Sub(Set(3.0), Mul(Set(2.0), t)), Mul(t, t));
    return Select(LessEqual(q, Set(0.25)), Set(0.0), Select(GreaterEqual(q, Set(0.95)), Set(1.0), step));
}

// The gradient position of the colour of the stars with hashes h.
inline D ColorPosition(const FieldLayerView& layer, D h)
{
    return layer.sizeDependentColor ? SizeDependentColorPosition(SizeFactor(layer, h), layer.scale) : h;
}

// The star colours from the gradient's colours: every third double of
// `colors` from lane 0 on (interleaved RGB), hue shifted.
inline RgbLanes StarColors(const FieldLayerView& layer, const double* colors)
{
    const RgbLanes K{LoadEvery3(colors), LoadEvery3(colors + 1), LoadEvery3(colors + 2)};
    return layer.hueShift > 0.0 ? ShiftHue(K, layer.hueShift) : K;
}

// The flare weight of stars of size factors F, when the layer's flares are
// shown "Size Dependent" (else unused: 0).
NOC_KERNEL_STEP D FlareWeightOf(const FieldLayerView& layer, D F)
{
    if (layer.shape.flares != KernelFlares::kSizeDependent) return Set(0.0);
    return FieldStarFlareWeight(Mul(Mul(Set(layer.scale), F), Set(0.25)));
}

// The factor g = J x F by which the colour of a star of size factor F and
// flare weight W scales its light, J being the star's shape at (offsetX,
// offsetY, 0) from the sample.
NOC_KERNEL_STEP D StarLightFactor(const FieldLayerView& layer, D F, D W, D offsetX, D offsetY, M relevant)
{
    return Mul(StarShape(layer.shape, offsetX, offsetY, Set(0.0), W, relevant).intensity, F);
}

// ---- one pass, a sample in each lane --------------------------------------

// The most cells a pass of a group visits: a lane's 3 x 3, or the block of
// its lanes' cells (GroupBlock).
constexpr int kMaxCells = 18;

// The cell (X0, Y0) that holds the pass point (x, y), and the point's offset
// (ox, oy) from that cell's centre.
struct PointCell {
    D X0, Y0, ox, oy;
};

inline PointCell CellOfPoint(D x, D y)
{
    const D half = Set(0.5);
    const D X0 = Floor(x);
    const D Y0 = Floor(y);
    return PointCell{X0, Y0, Sub(Sub(x, X0), half), Sub(Sub(y, Y0), half)};
}

// The columns and rows (-1 to 1) of the cells a pass visits.
struct CellRange {
    int firstColumn = -1, lastColumn = 1, firstRow = -1, lastRow = 1;
};

// Narrows the 3 x 3 cells to those whose star can lie within 0.03 of some
// lane's sample in x and y. A star sits at (h - 0.5, frac(10 h) - 0.5) from
// its cell's centre with h in [0, 1] (the hash is finite there: points below
// 1e300 in size and a seed the view vouches for), so a neighbouring column's
// star lies at least 0.6 - 0.5 = 0.1 away in x when the sample's offset ox
// lies above -0.4 (left column) or below 0.4 (right column); rows alike. Such
// a cell is culled in every lane anyway, so leaving it out changes nothing.
// Comparisons with NaN fail, so a lane with a NaN offset keeps every cell.
inline CellRange ReachableCells(D x, D y, const PointCell& cell, int valid)
{
    CellRange range;
    const D huge = Set(1e300);
    if (!AllOf(And(Less(Abs(x), huge), Less(Abs(y), huge)), valid)) return range;
    const D inner = Set(0.4);
    const D innerBelow = Set(-0.4);
    if (AllOf(Greater(cell.ox, innerBelow), valid)) range.firstColumn = 0;
    if (AllOf(Less(cell.ox, inner), valid)) range.lastColumn = 0;
    if (AllOf(Greater(cell.oy, innerBelow), valid)) range.firstRow = 0;
    if (AllOf(Less(cell.oy, inner), valid)) range.lastRow = 0;
    return range;
}

// A pass's light from the sum of its cells' lights: each channel clamped to
// [0, 1], times the layer's brightness.
inline void ClampedPass(const FieldLayerView& layer, const D sum[3], D pass[3])
{
    const D brightness = Set(layer.brightness);
    for (int c = 0; c < 3; ++c) pass[c] = Mul(MinLikeStd(MaxLikeStd(sum[c], Set(0.0)), Set(1.0)), brightness);
}

// A pass of a layer whose colour gradient the host could not prepare: black
// wherever one of the 3 x 3 cells holds a star (whatever was summed before),
// else the empty pass. No colour is looked up.
inline void FailedGradientPass(const FieldLayerView& layer, D x, D y, double threshold, D pass[3])
{
    const PointCell cell = CellOfPoint(x, y);
    const D seed = Set(layer.seed);
    M star = Less(Set(1.0), Set(0.0));  // in no lane
    for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
            const D h = CellHash(Add(cell.X0, Set(dx)), Add(cell.Y0, Set(dy)), seed);
            star = Or(star, Greater(h, Set(threshold)));
        }
    }
    const D nothing[3] = {Set(0.0), Set(0.0), Set(0.0)};
    ClampedPass(layer, nothing, pass);
    for (int c = 0; c < 3; ++c) pass[c] = Select(star, Set(0.0), pass[c]);
}

// One cell of a pass with a star in some lane: its hash, its star's offset
// from the sample, and the lanes it lights.
struct LitCell {
    D h, offsetX, offsetY;
    M lit;
};

// The cells of `range` with a star in some valid lane, in cell order (rows
// outer): a hash above the threshold and, with cullOutsideCore, the star
// within 0.03 of the sample in x and in y.
inline int LitCells(const FieldLayerView& layer, const PointCell& cell, const CellRange& range, double threshold,
                    int valid, LitCell* cells)
{
    const D seed = Set(layer.seed);
    D columnTerm[3], rowTerm[3];
    for (int i = range.firstColumn; i <= range.lastColumn; ++i) {
        columnTerm[i + 1] = ColumnTerm(Add(cell.X0, Set(i)), seed);
    }
    for (int i = range.firstRow; i <= range.lastRow; ++i) rowTerm[i + 1] = RowTerm(Add(cell.Y0, Set(i)), seed);

    const D half = Set(0.5);
    const D reach = Set(0.03);
    int count = 0;
    for (int dy = range.firstRow; dy <= range.lastRow; ++dy) {
        for (int dx = range.firstColumn; dx <= range.lastColumn; ++dx) {
            const D h = HashOfTerms(columnTerm[dx + 1], rowTerm[dy + 1], seed);
            M occupied = Greater(h, Set(threshold));
            if ((Bits(occupied) & valid) == 0) continue;
            // The star sits at (h - 0.5, frac(10 h) - 0.5) from its cell's centre.
            const D offsetX = Sub(Sub(cell.ox, Set(dx)), Sub(h, half));
            const D offsetY = Sub(Sub(cell.oy, Set(dy)), Sub(Frac(Mul(h, Set(10.0))), half));
            if (layer.cullOutsideCore) {
                occupied = AndNot(occupied, Or(Greater(Abs(offsetX), reach), Greater(Abs(offsetY), reach)));
                if ((Bits(occupied) & valid) == 0) continue;
            }
            cells[count++] = LitCell{h, offsetX, offsetY, occupied};
        }
    }
    return count;
}

// The block of cells a group of lanes visits: every valid lane's 3 x 3
// cells, the columns X0 .. X0 + columns - 1 and rows Y0 .. Y0 + rows - 1.
struct CellBlock {
    double X0, Y0;
    int columns, rows;
};

// Whether the valid lanes' cells form a block of at most kMaxCells cells in
// which every cell number is exact (below 2^52 in size, so that X + 1 is the
// next cell); false for NaN too.
inline bool GroupBlock(const PointCell& cell, int valid, CellBlock& block)
{
    constexpr double kExact = 4503599627370496.0;  // 2^52
    double X0[kLanes], Y0[kLanes];
    Store(X0, cell.X0);
    Store(Y0, cell.Y0);
    double left = X0[0], right = X0[0], bottom = Y0[0], top = Y0[0];
    for (int i = 0; i < kLanes; ++i) {
        if (((valid >> i) & 1) == 0) continue;
        if (!(std::fabs(X0[i]) < kExact && std::fabs(Y0[i]) < kExact)) return false;
        left = X0[i] < left ? X0[i] : left;
        right = X0[i] > right ? X0[i] : right;
        bottom = Y0[i] < bottom ? Y0[i] : bottom;
        top = Y0[i] > top ? Y0[i] : top;
    }
    if (!(right - left <= kMaxCells && top - bottom <= kMaxCells)) return false;
    block = CellBlock{left - 1.0, bottom - 1.0, static_cast<int>(right - left) + 3, static_cast<int>(top - bottom) + 3};
    return block.columns * block.rows <= kMaxCells;
}

// The star colours K[j] of cells[j] in every lane (a lane without a star has
// a hash and a colour too; only lit lanes are summed). A star's colour
// depends on its cell's hash alone, and neighbouring samples mostly share
// their cells: a cell whose hash has the same bits in every valid lane gets
// one lookup, and its hue shift shares a vector with other such cells' (the
// lanes' operations are independent, so each colour has the bits it would
// have in a lane of its own). Other cells get a lookup per lane.
inline void CellColors(const FieldLayerView& layer, const LitCell* cells, int cellCount, int valid, RgbLanes* K)
{
    // Positions: the shared cells' one each, then the other cells' lanes.
    double positions[9 + 9 * kLanes];
    int shared[9];
    int sharedCount = 0;
    for (int j = 0; j < cellCount; ++j) {
        shared[j] = SameInLanes(cells[j].h, valid) ? sharedCount++ : -1;
        if (shared[j] >= 0) positions[shared[j]] = First(ColorPosition(layer, cells[j].h));
    }
    int packed = sharedCount;
    for (int j = 0; j < cellCount; ++j) {
        if (shared[j] >= 0) continue;
        Store(positions + packed, ColorPosition(layer, cells[j].h));
        packed += kLanes;
    }
    // The shared colours are read kLanes at a time: the last group's spare
    // lanes read past them (other colours, or these zeros), never used.
    double colors[3 * (9 + 9 * kLanes + kLanes)];
    layer.colors.colorsAt(layer.colors.gradient, positions, packed, colors);
    for (int i = 3 * packed; i < 3 * (packed + kLanes); ++i) colors[i] = 0.0;

    double sharedColors[3][9 + kLanes];
    for (int start = 0; start < sharedCount; start += kLanes) {
        const RgbLanes k = StarColors(layer, colors + 3 * start);
        Store(sharedColors[0] + start, k.r);
        Store(sharedColors[1] + start, k.g);
        Store(sharedColors[2] + start, k.b);
    }
    int next = sharedCount;
    for (int j = 0; j < cellCount; ++j) {
        if (shared[j] >= 0) {
            const int i = shared[j];
            K[j] = RgbLanes{Set(sharedColors[0][i]), Set(sharedColors[1][i]), Set(sharedColors[2][i])};
        } else {
            K[j] = StarColors(layer, colors + 3 * next);
            next += kLanes;
        }
    }
}

// ---- one pass of a group, cell by cell over its block ----------------------

// The values of each cell of a block that depend on the cell alone (cell k
// at column k % columns and row k / columns), computed for kLanes cells at a
// time: the star's place from the cell's centre (h - 0.5, frac(10 h) - 0.5),
// its size factor and flare weight, its colour's position and, for the cells
// lit in some lane, its colour.
struct BlockCells {
    double X[kMaxCells + kLanes], Y[kMaxCells + kLanes];
    double centreX[kMaxCells + kLanes], centreY[kMaxCells + kLanes];
    double sizeFactor[kMaxCells + kLanes], flareWeight[kMaxCells + kLanes], position[kMaxCells + kLanes];
    double color[3][kMaxCells];
    int occupied;  // bit k: cell k's hash lies above the threshold
};

inline void BlockCellValues(const FieldLayerView& layer, const CellBlock& block, double threshold, BlockCells& cells)
{
    const int count = block.columns * block.rows;
    for (int r = 0, k = 0; r < block.rows; ++r) {
        for (int c = 0; c < block.columns; ++c, ++k) {
            cells.X[k] = block.X0 + c;
            cells.Y[k] = block.Y0 + r;
        }
    }
    for (int k = count; k < count + kLanes; ++k) cells.X[k] = cells.Y[k] = 0.0;
    const D seed = Set(layer.seed);
    const D half = Set(0.5);
    cells.occupied = 0;
    for (int k = 0; k < count; k += kLanes) {
        const D h = CellHash(Load(cells.X + k), Load(cells.Y + k), seed);
        Store(cells.centreX + k, Sub(h, half));
        Store(cells.centreY + k, Sub(Frac(Mul(h, Set(10.0))), half));
        const D F = SizeFactor(layer, h);
        Store(cells.sizeFactor + k, F);
        Store(cells.flareWeight + k, FlareWeightOf(layer, F));
        Store(cells.position + k, ColorPosition(layer, h));
        cells.occupied |= Bits(Greater(h, Set(threshold))) << k;
    }
    cells.occupied &= (1 << count) - 1;
}

// The colours of the lit cells of the last block a layer's passes visited.
// A cell's colour depends on the cell alone, and the next group of samples
// mostly visits the same cells: they take their colours from here.
struct BlockColors {
    bool filled = false;
    CellBlock block{0.0, 0.0, 0, 0};
    int lit = 0;  // bit k: cell k's colour is here
    double color[3][kMaxCells];
};

// The cells' colours that `previous` holds, and the other lit cells'
// positions to look up, in cell order; their count.
inline int ReuseBlockColors(const CellBlock& block, const int* litCells, int litCount, const BlockColors& previous,
                            BlockCells& cells, int* lookups)
{
    int count = 0;
    for (int i = 0; i < litCount; ++i) {
        const int k = litCells[i];
        // Whole numbers below 2^52: exact differences.
        const double c = block.X0 + k % block.columns - previous.block.X0;
        const double r = block.Y0 + k / block.columns - previous.block.Y0;
        const bool inside =
            previous.filled && c >= 0.0 && c < previous.block.columns && r >= 0.0 && r < previous.block.rows;
        const int j = inside ? static_cast<int>(r) * previous.block.columns + static_cast<int>(c) : 0;
        if (inside && ((previous.lit >> j) & 1) != 0) {
            for (int ch = 0; ch < 3; ++ch) cells.color[ch][k] = previous.color[ch][j];
        } else {
            lookups[count++] = k;
        }
    }
    return count;
}

// The colours of the lit cells: those the last block holds, the others
// looked up in one call and hue shifted kLanes at a time. Then the block's
// colours replace the last block's.
inline void BlockCellColors(const FieldLayerView& layer, const CellBlock& block, const int* litCells, int litCount,
                            BlockCells& cells, BlockColors& previous)
{
    int lookups[kMaxCells];
    const int count = ReuseBlockColors(block, litCells, litCount, previous, cells, lookups);
    double positions[kMaxCells];
    for (int i = 0; i < count; ++i) positions[i] = cells.position[lookups[i]];
    double colors[3 * (kMaxCells + kLanes)];
    if (count > 0) layer.colors.colorsAt(layer.colors.gradient, positions, count, colors);
    // The last group's spare lanes read these; they are never used.
    for (int i = 3 * count; i < 3 * (count + kLanes); ++i) colors[i] = 0.0;
    for (int start = 0; start < count; start += kLanes) {
        const RgbLanes K = StarColors(layer, colors + 3 * start);
        double shifted[3][kLanes];
        Store(shifted[0], K.r);
        Store(shifted[1], K.g);
        Store(shifted[2], K.b);
        for (int j = 0; j < Fewer(kLanes, count - start); ++j) {
            for (int c = 0; c < 3; ++c) cells.color[c][lookups[start + j]] = shifted[c][j];
        }
    }
    previous.filled = true;
    previous.block = block;
    previous.lit = 0;
    for (int i = 0; i < litCount; ++i) {
        previous.lit |= 1 << litCells[i];
        for (int c = 0; c < 3; ++c) previous.color[c][litCells[i]] = cells.color[c][litCells[i]];
    }
}

// A pass of a group whose cells form a block (GroupBlock): each cell of the
// block is visited once, rows and columns ascending, and adds its light in
// every lane whose 3 x 3 cells hold it, so that each lane meets its own cells
// in its cell order (rows outer). A cell's offset from a lane's cell, X - X0
// and Y - Y0, is exact.
inline void BlockPass(const FieldLayerView& layer, const PointCell& cell, const CellBlock& block, double threshold,
                      M valid, D pass[3], BlockColors& previous)
{
    BlockCells cells;
    BlockCellValues(layer, block, threshold, cells);
    D dx[kMaxCells / 3], dy[kMaxCells / 3];
    M column[kMaxCells / 3], row[kMaxCells / 3];
    for (int c = 0; c < block.columns; ++c) {
        dx[c] = Sub(Set(block.X0 + c), cell.X0);
        column[c] = LessEqual(Abs(dx[c]), Set(1.0));
    }
    int litCells[kMaxCells], litRow[kMaxCells], litColumn[kMaxCells];
    int litCount = 0;
    for (int r = 0, k = 0; r < block.rows; ++r) {
        dy[r] = Sub(Set(block.Y0 + r), cell.Y0);
        row[r] = And(valid, LessEqual(Abs(dy[r]), Set(1.0)));
        for (int c = 0; c < block.columns; ++c, ++k) {
            if (((cells.occupied >> k) & 1) == 0 || Bits(And(row[r], column[c])) == 0) continue;
            litCells[litCount] = k;
            litRow[litCount] = r;
            litColumn[litCount++] = c;
        }
    }

    D sum[3] = {Set(0.0), Set(0.0), Set(0.0)};
    if (litCount > 0) BlockCellColors(layer, block, litCells, litCount, cells, previous);
    for (int i = 0; i < litCount; ++i) {
        const int k = litCells[i], r = litRow[i], c = litColumn[i];
        const M lit = And(row[r], column[c]);
        const D offsetX = Sub(Sub(cell.ox, dx[c]), Set(cells.centreX[k]));
        const D offsetY = Sub(Sub(cell.oy, dy[r]), Set(cells.centreY[k]));
        const D g = StarLightFactor(layer, Set(cells.sizeFactor[k]), Set(cells.flareWeight[k]), offsetX, offsetY, lit);
        for (int ch = 0; ch < 3; ++ch) sum[ch] = Select(lit, Add(sum[ch], Mul(Set(cells.color[ch][k]), g)), sum[ch]);
    }
    ClampedPass(layer, sum, pass);
}

// The light of the stars in the 3 x 3 cells around the pass points (x, y)
// (cell units), per channel, clamped and scaled. Only cells whose hash lies
// above `threshold` hold a star. `valid` has a bit for each lane that holds a
// sample; `previous` the colours of the cells met before, for groups that
// follow each other (`following`).
inline void StarFieldPass(const FieldLayerView& layer, D x, D y, double threshold, int valid, D pass[3], bool following,
                          BlockColors& previous)
{
    if (layer.gradientFailed) return FailedGradientPass(layer, x, y, threshold, pass);
    const PointCell cell = CellOfPoint(x, y);
    // Every cell of a layer with glow or flares lights its star's 3 x 3
    // neighbourhood: the group's cells are then visited once each, and take
    // the colours the group before found. Culled cells are few and cheap
    // either way, and a single lane alone gains nothing.
    CellBlock block;
    if (!layer.cullOutsideCore && (kLanes > 1 || following) && GroupBlock(cell, valid, block)) {
        return BlockPass(layer, cell, block, threshold, FirstLanes(__builtin_popcount(valid)), pass, previous);
    }
    CellRange range;
    if (layer.cullOutsideCore && layer.boundedHashes) range = ReachableCells(x, y, cell, valid);
    LitCell cells[9];
    const int cellCount = LitCells(layer, cell, range, threshold, valid, cells);

    D sum[3] = {Set(0.0), Set(0.0), Set(0.0)};
    if (cellCount > 0) {
        RgbLanes K[9];
        CellColors(layer, cells, cellCount, valid, K);
        for (int j = 0; j < cellCount; ++j) {
            const LitCell& lit = cells[j];
            const D F = SizeFactor(layer, lit.h);
            const D g = StarLightFactor(layer, F, FlareWeightOf(layer, F), lit.offsetX, lit.offsetY, lit.lit);
            sum[0] = Select(lit.lit, Add(sum[0], Mul(K[j].r, g)), sum[0]);
            sum[1] = Select(lit.lit, Add(sum[1], Mul(K[j].g, g)), sum[1]);
            sum[2] = Select(lit.lit, Add(sum[2], Mul(K[j].b, g)), sum[2]);
        }
    }
    ClampedPass(layer, sum, pass);
}

// ---- one pass of one sample, its cells in the lanes -----------------------

// The column and row offsets (dx, dy) of the cells in one reachable range, in
// cell order (rows outer), padded with the centre cell to whole lane groups.
struct CellList {
    int count = 0;
    double dx[16] = {};
    double dy[16] = {};
};

// Range `index`: bit 0 set when the first column is 0 (else -1), bit 1 when
// the last column is 1 (else 0); bits 2 and 3 the same for the rows.
constexpr CellList MakeCellList(int index)
{
    CellList list;
    const int firstColumn = (index & 1) - 1, lastColumn = (index >> 1) & 1;
    const int firstRow = ((index >> 2) & 1) - 1, lastRow = (index >> 3) & 1;
    for (int dy = firstRow; dy <= lastRow; ++dy) {
        for (int dx = firstColumn; dx <= lastColumn; ++dx) {
            list.dx[list.count] = dx;
            list.dy[list.count] = dy;
            ++list.count;
        }
    }
    return list;
}

constexpr CellList kCellLists[16] = {MakeCellList(0),  MakeCellList(1),  MakeCellList(2),  MakeCellList(3),
                                     MakeCellList(4),  MakeCellList(5),  MakeCellList(6),  MakeCellList(7),
                                     MakeCellList(8),  MakeCellList(9),  MakeCellList(10), MakeCellList(11),
                                     MakeCellList(12), MakeCellList(13), MakeCellList(14), MakeCellList(15)};

inline const CellList& CellListOf(const CellRange& range)
{
    return kCellLists[(range.firstColumn + 1) | (range.lastColumn << 1) | ((range.firstRow + 1) << 2) |
                      (range.lastRow << 3)];
}

// A group of kLanes cells of one sample with a lit cell: the cells' hashes,
// their stars' offsets from the sample, which lanes are lit, how many lanes
// hold a cell, and where the group's colour positions start.
struct LitGroup {
    D h, offsetX, offsetY;
    M occupied;
    int lit, lanes, first;
};

// The lit groups of one sample's cells, the operations of LitCells applied
// to each lane's cell; their colour positions packed in cell order (a
// group's store overlaps the previous group's unused lanes).
inline int LitGroups(const FieldLayerView& layer, const PointCell& cell, const CellList& cells, double threshold,
                     LitGroup* groups, double* positions)
{
    const D half = Set(0.5);
    const D seed = Set(layer.seed);
    const D reach = Set(0.03);
    int groupCount = 0, packed = 0;
    for (int start = 0; start < cells.count; start += kLanes) {
        const int lanes = Fewer(kLanes, cells.count - start);
        const int valid = (1 << lanes) - 1;
        const D dx = Load(cells.dx + start);
        const D dy = Load(cells.dy + start);
        const D h = CellHash(Add(cell.X0, dx), Add(cell.Y0, dy), seed);
        M occupied = Greater(h, Set(threshold));
        if ((Bits(occupied) & valid) == 0) continue;

        const D offsetX = Sub(Sub(cell.ox, dx), Sub(h, half));
        const D offsetY = Sub(Sub(cell.oy, dy), Sub(Frac(Mul(h, Set(10.0))), half));
        if (layer.cullOutsideCore) {
            occupied = AndNot(occupied, Or(Greater(Abs(offsetX), reach), Greater(Abs(offsetY), reach)));
        }
        const int lit = Bits(occupied) & valid;
        if (lit == 0) continue;
        Store(positions + packed, ColorPosition(layer, h));
        groups[groupCount++] = LitGroup{h, offsetX, offsetY, occupied, lit, lanes, packed};
        packed += lanes;
    }
    return groupCount;
}

// StarFieldPass of one sample, whose pass point (x, y) fills every lane. The
// colours of all lit groups' cells are looked up in one call, and the lights
// of the lit cells are added in cell order, one at a time.
inline void StarFieldPassOfOneSample(const FieldLayerView& layer, D x, D y, double threshold, D pass[3])
{
    if (layer.gradientFailed) return FailedGradientPass(layer, x, y, threshold, pass);
    const PointCell cell = CellOfPoint(x, y);
    CellRange range;
    if (layer.cullOutsideCore && layer.boundedHashes) range = ReachableCells(x, y, cell, 1);
    constexpr int kGroups = (9 + kLanes - 1) / kLanes;
    LitGroup groups[kGroups];
    double positions[9 + kLanes];
    const int groupCount = LitGroups(layer, cell, CellListOf(range), threshold, groups, positions);

    double sum[3] = {0.0, 0.0, 0.0};
    if (groupCount > 0) {
        const int packed = groups[groupCount - 1].first + groups[groupCount - 1].lanes;
        double colors[3 * (9 + kLanes)];
        layer.colors.colorsAt(layer.colors.gradient, positions, packed, colors);
        // The last group's unused lanes read these; they are never summed.
        for (int i = 3 * packed; i < 3 * (packed + kLanes); ++i) colors[i] = 0.0;

        for (int k = 0; k < groupCount; ++k) {
            const LitGroup& group = groups[k];
            const RgbLanes K = StarColors(layer, colors + 3 * group.first);
            const D F = SizeFactor(layer, group.h);
            const D g =
                StarLightFactor(layer, F, FlareWeightOf(layer, F), group.offsetX, group.offsetY, group.occupied);
            double lights[3][kLanes];
            Store(lights[0], Mul(K.r, g));
            Store(lights[1], Mul(K.g, g));
            Store(lights[2], Mul(K.b, g));
            for (int j = 0; j < group.lanes; ++j) {
                if (((group.lit >> j) & 1) == 0) continue;
                for (int c = 0; c < 3; ++c) sum[c] = sum[c] + lights[c][j];
            }
        }
    }
    const D sums[3] = {Set(sum[0]), Set(sum[1]), Set(sum[2])};
    ClampedPass(layer, sums, pass);
}

// ---- the layer ------------------------------------------------------------

// One pass of a layer, from its index k and its pass parameter t: the
// threshold a cell's hash must exceed (the density's in the last pass, else
// 0), the zoom (0.5 - B) f + B and the offset t x 453.2 of the pass point.
struct LayerPass {
    double threshold;
    bool empty;  // a last pass whose threshold is 1 or more holds no star
    double zoom, offset;
};

inline LayerPass PassOf(const FieldLayerView& layer, int k, double t)
{
    LayerPass pass;
    const bool last = k == layer.passCount - 1;
    pass.threshold = last ? layer.lastPassThreshold : 0.0;
    pass.empty = last && !(pass.threshold < 1.0);
    const double f = layer.noSizeVariation ? 0.5 : First(Frac(Set(t * 12.85)));
    const double B = layer.passZoomBase;
    pass.zoom = (0.5 - B) * f + B;
    pass.offset = t * 453.2;
    return pass;
}

// Calls each(pass) for every pass of a layer in pass order: one pass per
// whole unit of density plus one, the pass parameter t growing by repeated
// addition.
template <class EachPass> void ForEachPass(const FieldLayerView& layer, EachPass each)
{
    double t = 0.0;
    for (int k = 0; k < layer.passCount; ++k) {
        each(PassOf(layer, k, t));
        t = t + layer.passStep;
    }
}

// A pass's light where it holds no star: min(max(0, 0), 1) x brightness,
// without hashing.
inline void EmptyPass(const FieldLayerView& layer, D light[3])
{
    light[0] = light[1] = light[2] = Set(0.0 * layer.brightness);
}

// The light of a star-field layer at the centred sample points (px[i],
// py[i]), i < count (a chunk at most), to L[c][i] (with room for a whole
// group beyond count): the sum of its passes in pass order. Each pass visits
// every group of samples before the next pass begins, so that neighbouring
// groups meet the same cells one after the other. The mask is not applied
// here.
inline void LayerLight(const FieldLayerView& layer, const double* px, const double* py, int count,
                       double L[3][NOC_BATCH_CHUNK + kLanes])
{
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i < count + kLanes; ++i) L[c][i] = 0.0;
    }
    BlockColors previous;
    ForEachPass(layer, [&](const LayerPass& pass) {
        for (int start = 0; start < count; start += kLanes) {
            const int n = Fewer(kLanes, count - start);
            D light[3];
            if (pass.empty) {
                EmptyPass(layer, light);
            } else {
                const D x = Add(Mul(Set(pass.zoom), LoadFirst(px + start, n)), Set(pass.offset));
                const D y = Add(Mul(Set(pass.zoom), LoadFirst(py + start, n)), Set(pass.offset));
                StarFieldPass(layer, x, y, pass.threshold, (1 << n) - 1, light, count > 1, previous);
            }
            for (int c = 0; c < 3; ++c) Store(L[c] + start, Add(Load(L[c] + start), light[c]));
        }
    });
}

// The light of a star-field layer at one centred sample point (Px, Py), on
// a wider target: each pass with the sample's cells in the lanes, the sum
// in every lane.
inline void OneSampleLayerLight(const FieldLayerView& layer, double Px, double Py, D L[3])
{
    L[0] = L[1] = L[2] = Set(0.0);
    ForEachPass(layer, [&](const LayerPass& pass) {
        D light[3];
        if (pass.empty) {
            EmptyPass(layer, light);
        } else {
            const D x = Add(Mul(Set(pass.zoom), Set(Px)), Set(pass.offset));
            const D y = Add(Mul(Set(pass.zoom), Set(Py)), Set(pass.offset));
            StarFieldPassOfOneSample(layer, x, y, pass.threshold, light);
        }
        for (int c = 0; c < 3; ++c) L[c] = Add(L[c], light[c]);
    });
}

// The layer's light L added onto the colour so far, A + L, or A + L x M
// under a mask, whose colour M each sample takes after the layer's passes.
inline void AddLayerLight(const FieldLayerView& layer, D L[3], NocChannelData* samples, int start, int n,
                          double* const A[3])
{
    if (layer.mask != nullptr) {
        double mask[3][kLanes] = {};
        for (int i = 0; i < n; ++i) {
            double m[3];
            layer.maskAt(layer.mask, samples, start + i, m);
            for (int c = 0; c < 3; ++c) mask[c][i] = m[c];
        }
        for (int c = 0; c < 3; ++c) L[c] = Mul(L[c], Load(mask[c]));
    }
    for (int c = 0; c < 3; ++c) StoreFirst(A[c] + start, Add(LoadFirst(A[c] + start, n), L[c]), n);
}

// A star-field layer's light at the centred sample points (px[i], py[i]),
// i < count (a chunk at most), added onto A.
inline void AddFieldLayer(const FieldLayerView& layer, const double* px, const double* py, int count,
                          NocChannelData* samples, double* const A[3])
{
    if (kLanes > 1 && count == 1) {
        D light[3];
        OneSampleLayerLight(layer, px[0], py[0], light);
        AddLayerLight(layer, light, samples, 0, 1, A);
        return;
    }
    double L[3][NOC_BATCH_CHUNK + kLanes];
    LayerLight(layer, px, py, count, L);
    for (int start = 0; start < count; start += kLanes) {
        const int n = Fewer(kLanes, count - start);
        D light[3] = {Load(L[0] + start), Load(L[1] + start), Load(L[2] + start)};
        AddLayerLight(layer, light, samples, start, n, A);
    }
}
