#pragma once
#include <string>

#include "controls/skin/skin.h"
#include "toolkit/gfx/bitmap.h"

namespace tt {

// Draws one skin picture from scratch, at its final size. Everything the program shows of
// the skin comes from here, through the files that skingen writes.
Bitmap DrawSkinPicture(SkinPicture picture);

// The program's icon as 16 x 16 pixel art, its transparent pixels in kIconTransparentColor.
Bitmap DrawIconArt();
// The same dial for the tray while a connection is metered.
Bitmap DrawOnlineIconArt();
// Pixel art doubled with its diagonals smoothed (Scale2x).
Bitmap ScaleArt2x(const Bitmap& art);

// The text of controls/skin/skin_data.cpp for the pictures as DrawSkinPicture draws them now.
std::string SkinDataSource();

// Every picture at 4x on a neutral ground, with mock-ups of the main window (full and rolled
// up) and a confirm bar, so the artwork can be judged as the user will see it.
Bitmap DrawContactSheet();

}  // namespace tt
