// Distance-field icons, shaded as distfont.sh shades text.
//
// Icon vertex: POSITION0 (x, y); COLOR0 the icon's colour; COLOR1 the
// packed parameters (as in distfont.sh); TEXCOORD0 the atlas position;
// TEXCOORD1 the second layer's colour. TEXCOORD2..4 are further colours
// this shader does not use.
#define DIST_ICON_VERTEX 1
#include "distfont.sh"
