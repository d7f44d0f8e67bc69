// skingen: draws the skin and writes controls/skin/*.png and controls/skin/skin_data.cpp.
//
//   skingen <controls/skin folder> [<contact sheet.png>]
//
// From the repository root, after a build:
//   build/ci/tools/skingen/skingen controls/skin build/skin_sheet.png
//
// The build compiles it but never runs it: the generated files are committed, and the skin
// tests fail when they differ from what this program draws now.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "controls/skin/skin.h"
#include "toolkit/gfx/png.h"
#include "tools/skingen/icon_set.h"
#include "tools/skingen/skin_art.h"

namespace {

void WriteText(const std::filesystem::path& path, const std::string& text) {
    // Through a temporary file, so that an interrupted run never leaves half a source file.
    const std::filesystem::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) throw std::runtime_error("Unable to write to " + temporary.string());
    }
    std::filesystem::rename(temporary, path);
}

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    WriteText(path, std::string(bytes.begin(), bytes.end()));
    std::printf("wrote %s\n", path.string().c_str());
}

// The desktop's icons: the hicolor sizes as PNG with transparency, and the Windows .ico.
void WriteIcons(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder / "icons");
    std::vector<tt::IconImage> ico;
    for (const int size : tt::kThemeIconSizes) {
        const tt::IconImage image = tt::DrawIconImage(size);
        WriteBytes(folder / "icons" / tt::ThemeIconFileName(size),
                   tt::EncodePngRgba(image.Argb, size, size));
    }
    for (const int size : tt::kIcoSizes) ico.push_back(tt::DrawIconImage(size));
    WriteBytes(folder / "icons" / "taktomat.ico", tt::EncodeIco(ico));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: skingen <controls/skin folder> [<contact sheet.png>]\n");
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        for (int i = 0; i < tt::kSkinPictureCount; ++i) {
            const auto picture = static_cast<tt::SkinPicture>(i);
            const std::filesystem::path path = folder / tt::SkinInfo(picture).FileName;
            tt::WritePng(tt::DrawSkinPicture(picture), path.string());
            std::printf("wrote %s\n", path.string().c_str());
        }
        WriteIcons(folder);
        const std::filesystem::path source = folder / "skin_data.cpp";
        WriteText(source, tt::SkinDataSource());
        std::printf("wrote %s\n", source.string().c_str());
        if (argc == 3) {
            tt::WritePng(tt::DrawContactSheet(), argv[2]);
            std::printf("wrote %s\n", argv[2]);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "skingen: %s\n", e.what());
        return 1;
    }
    return 0;
}
