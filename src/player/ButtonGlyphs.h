#pragma once
// The pictures of the player's flat buttons, drawn in code at the pixel size they are shown
// at, so that they stay sharp on scaled screens: each icon has a picture for the enabled and
// one for the disabled state.

#include <QIcon>
#include <QPixmap>

namespace vsr {

enum class TGlyph { ToStart, Rewind, Play, Pause, Stop, FastForward, Load };
enum class TGlyphState { Enabled, Disabled };

inline constexpr int cGlyphSize = 21;

// cGlyphSize x cGlyphSize device-independent pixels, drawn at devicePixelRatio.
QPixmap GlyphPixmap(TGlyph glyph, TGlyphState state, qreal devicePixelRatio = 1.0);
// Both states, QIcon::Disabled and the others, drawn for the size and ratio asked for.
QIcon GlyphIcon(TGlyph glyph);

} // namespace vsr
