#pragma once
// The pictures of the player's flat buttons, drawn in code: each icon has a picture for the
// enabled and one for the disabled state.

#include <QIcon>
#include <QPixmap>

namespace vsr {

enum class TGlyph { ToStart, Rewind, Play, Pause, Stop, FastForward, Load };
enum class TGlyphState { Enabled, Disabled };

inline constexpr int cGlyphSize = 21;

QPixmap GlyphPixmap(TGlyph glyph, TGlyphState state);
// Both states, for QIcon::Normal and QIcon::Disabled.
QIcon GlyphIcon(TGlyph glyph);

} // namespace vsr
