#pragma once
#include <string>

#include "controls/skin/skin.h"
#include "toolkit/gfx/bitmap.h"

namespace tt {

// Draws one skin picture from scratch, at its final size. Everything the program shows of
// the skin comes from here, through the files that skingen writes.
Bitmap DrawSkinPicture(SkinPicture picture);

// The text of controls/skin/skin_data.cpp for the pictures as DrawSkinPicture draws them now.
std::string SkinDataSource();

// Every picture at 4x on a neutral ground, with mock-ups of the main window (full and rolled
// up) and a confirm bar, so the artwork can be judged as the user will see it.
Bitmap DrawContactSheet();

}  // namespace tt
