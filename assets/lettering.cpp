#include "lettering.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>

namespace vorlith::assets {

namespace {

// The font every picture uses: DejaVu Sans Bold, where the build found it.
constexpr const char* letteringFont = VORLITH_FONT;

// FreeType's library and face, released together.
class FontFace {
 public:
  FontFace() {
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return;
    }
    if (FT_New_Face(library_, letteringFont, 0, &face_) != 0) face_ = nullptr;
  }
  ~FontFace() {
    if (face_) FT_Done_Face(face_);
    if (library_) FT_Done_FreeType(library_);
  }
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;
  FT_Face face() const { return face_; }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

struct PlacedGlyph {
  int left = 0, top = 0, width = 0, height = 0;  // top is measured upwards from the baseline
  std::vector<uint8_t> coverage;
};

FT_Fixed fixed16(double v) { return static_cast<FT_Fixed>(std::lround(v * 65536.0)); }

}  // namespace

TextMask setText(const std::string& text, const TextStyle& style) {
  FontFace font;
  FT_Face face = font.face();
  if (!face) return {};

  // The em size that gives the asked cap height: measure an H in font units.
  if (FT_Load_Char(face, 'H', FT_LOAD_NO_SCALE) != 0 || face->units_per_EM == 0) return {};
  FT_BBox box;
  FT_Outline_Get_CBox(&face->glyph->outline, &box);
  if (box.yMax <= 0) return {};
  const double em = style.capHeight * face->units_per_EM / static_cast<double>(box.yMax);
  if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72) != 0) return {};

  FT_Matrix matrix{fixed16(style.widen), fixed16(style.slant), 0, 0x10000};
  const FT_Pos strength = static_cast<FT_Pos>(std::lround(style.embolden * style.capHeight * 64));
  const double tracking = style.tracking * style.capHeight;

  std::vector<PlacedGlyph> glyphs;
  double pen = 0;
  for (char ch : text) {
    FT_Vector delta{static_cast<FT_Pos>(std::lround(pen * 64)), 0};
    FT_Set_Transform(face, &matrix, &delta);
    if (FT_Load_Char(face, static_cast<unsigned char>(ch), FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0) return {};
    FT_GlyphSlot slot = face->glyph;
    if (strength > 0) FT_Outline_EmboldenXY(&slot->outline, strength, strength);
    if (slot->outline.n_points > 0) {
      if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return {};
      const FT_Bitmap& bm = slot->bitmap;
      PlacedGlyph g;
      g.left = slot->bitmap_left;
      g.top = slot->bitmap_top;
      g.width = static_cast<int>(bm.width);
      g.height = static_cast<int>(bm.rows);
      g.coverage.resize(static_cast<size_t>(g.width) * g.height);
      for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
          g.coverage[static_cast<size_t>(y) * g.width + x] = bm.buffer[y * bm.pitch + x];
      glyphs.push_back(std::move(g));
    }
    pen += slot->advance.x / 64.0 + strength / 64.0 + tracking;
  }
  if (glyphs.empty()) return {};

  int left = glyphs[0].left, right = left, top = glyphs[0].top, bottom = top;
  for (const PlacedGlyph& g : glyphs) {
    left = std::min(left, g.left);
    right = std::max(right, g.left + g.width);
    top = std::max(top, g.top);
    bottom = std::min(bottom, g.top - g.height);
  }
  TextMask mask;
  mask.width = right - left;
  mask.height = top - bottom;
  mask.ink.assign(static_cast<size_t>(mask.width) * mask.height, 0);
  for (const PlacedGlyph& g : glyphs)
    for (int y = 0; y < g.height; ++y)
      for (int x = 0; x < g.width; ++x)
        if (g.coverage[static_cast<size_t>(y) * g.width + x] >= 128)
          mask.ink[static_cast<size_t>(top - g.top + y) * mask.width + (g.left - left + x)] = 1;
  return mask;
}

TextMask fitText(const std::string& text, TextStyle style, double maxWidth, double maxHeight) {
  const TextMask probe = setText(text, style);
  if (!probe.ok()) return probe;
  style.capHeight *= std::min(maxWidth / probe.width, maxHeight / probe.height);
  return setText(text, style);
}

Ramp chromeRamp() {
  return Ramp{{0.00, hex(0x2846A8)}, {0.20, hex(0x6C9CEC)}, {0.40, hex(0xDDEBFF)}, {0.50, hex(0xFFFFFF)},
              {0.535, hex(0xFFFFFF)}, {0.555, hex(0x5A3C50)}, {0.60, hex(0xA4522A)}, {0.78, hex(0xF4B048)},
              {1.00, hex(0xFFF0B8)}};
}

Ramp hotChromeRamp() {
  return Ramp{{0.00, hex(0x3050B0)}, {0.16, hex(0x78A8F0)}, {0.32, hex(0xE8F2FF)}, {0.38, hex(0xFFFFFF)},
              {0.545, hex(0xFFFFFF)}, {0.565, hex(0x5A3C50)}, {0.61, hex(0xA4522A)}, {0.78, hex(0xF4B048)},
              {1.00, hex(0xFFF4C8)}};
}

Ramp steelRamp() {
  return Ramp{{0.00, hex(0x9FD8FF)}, {0.45, hex(0xFFFFFF)}, {0.55, hex(0x6A8CC8)}, {1.00, hex(0x2E4C9A)}};
}

int outlineMargin(const Canvas& canvas, const ChromeStyle& style) {
  return static_cast<int>(std::ceil((style.outline + 1.0) * canvas.scale));
}

void paintChrome(Canvas& canvas, const TextMask& mask, int x0, int y0, const ChromeStyle& style) {
  if (!mask.ok()) return;
  const int pad = outlineMargin(canvas, style) + 2;
  const int w = mask.width + 2 * pad, h = mask.height + 2 * pad;
  std::vector<uint8_t> inside(static_cast<size_t>(w) * h, 0);
  for (int y = 0; y < mask.height; ++y)
    for (int x = 0; x < mask.width; ++x)
      inside[static_cast<size_t>(y + pad) * w + (x + pad)] = mask.ink[static_cast<size_t>(y) * mask.width + x];
  const std::vector<float> sd = signedDistance(inside, w, h);
  const double scale = canvas.scale;

  // Light from the upper left, a little in front; the viewer looks straight on.
  const double lx = -0.45, ly = -0.85, lz = 0.75;
  const double ll = std::sqrt(lx * lx + ly * ly + lz * lz);
  const double Lx = lx / ll, Ly = ly / ll, Lz = lz / ll;
  const double hl = std::sqrt(Lx * Lx + Ly * Ly + (Lz + 1) * (Lz + 1));
  const double Hx = Lx / hl, Hy = Ly / hl, Hz = (Lz + 1) / hl;

  for (int y = 1; y < h - 1; ++y)
    for (int x = 1; x < w - 1; ++x) {
      const int cx = x0 - pad + x, cy = y0 - pad + y;
      if (cx < 0 || cy < 0 || cx >= canvas.width || cy >= canvas.height) continue;
      const size_t i = static_cast<size_t>(y) * w + x;
      const double d = sd[i] / scale;  // picture pixels, positive inside
      const double cover = clamp01((d + style.outline) * scale + 0.5);
      if (cover <= 0) continue;
      const double face = clamp01(d * scale + 0.5);

      // Surface normal of a rounded bevel rising over `bevel` pixels from the edge.
      double gx = (sd[i + 1] - sd[i - 1]) * 0.5, gy = (sd[i + w] - sd[i - w]) * 0.5;
      const double gl = std::sqrt(gx * gx + gy * gy);
      if (gl > 1e-9) {
        gx /= gl;
        gy /= gl;
      }
      const double u = clamp01(d / style.bevel);
      const double slope = 1.4 * (1 - u) * (1 - u) * 2;
      double nx = -slope * gx, ny = -slope * gy, nz = 1;
      const double nl = std::sqrt(nx * nx + ny * ny + nz * nz);
      nx /= nl;
      ny /= nl;
      nz /= nl;

      const double t = (y - pad) / static_cast<double>(mask.height);
      const Colour base = style.ramp(clamp01(t + style.reflect * ny));
      const double diffuse = std::max(0.0, nx * Lx + ny * Ly + nz * Lz) / Lz;
      const double highlight = std::pow(std::max(0.0, nx * Hx + ny * Hy + nz * Hz), 40.0);
      const Colour lit = base * (0.5 + 0.5 * diffuse) + Colour{1, 1, 1} * (highlight * style.specular);
      const Colour c = mix(style.outlineColour, lit, face);

      // "Over" onto what the canvas holds (premultiplied colours).
      const size_t ci = static_cast<size_t>(cy) * canvas.width + cx;
      canvas.colour[ci] = c * cover + canvas.colour[ci] * (1 - cover);
      canvas.coverage[ci] = static_cast<float>(cover + canvas.coverage[ci] * (1 - cover));
    }
}

}  // namespace vorlith::assets
