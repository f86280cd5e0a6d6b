#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace tavrel::test
{

// Pixels as 0x00RRGGBB, row by row from the top.
struct Picture
{
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at (int x, int y) const { return pixels[(size_t) y * (size_t) width + (size_t) x]; }
};

// Writes a picture as an 8-bit RGB PNG file: the smallest file a viewer
// reads, one deflate stream of unfiltered rows. False when it could not.
inline bool writePng (const Picture& picture, const std::string& path)
{
    std::vector<unsigned char> rows;
    rows.reserve ((size_t) picture.height * ((size_t) picture.width * 3 + 1));
    for (int y = 0; y < picture.height; ++y)
    {
        rows.push_back (0); // filter: none
        for (int x = 0; x < picture.width; ++x)
        {
            const auto pixel = picture.at (x, y);
            rows.insert (rows.end(), { (unsigned char) (pixel >> 16), (unsigned char) (pixel >> 8), (unsigned char) pixel });
        }
    }

    uLongf packedSize = compressBound ((uLong) rows.size());
    std::vector<unsigned char> packed (packedSize);
    if (compress2 (packed.data(), &packedSize, rows.data(), (uLong) rows.size(), Z_BEST_SPEED) != Z_OK)
        return false;
    packed.resize (packedSize);

    std::ofstream file (path, std::ios::binary | std::ios::trunc);
    const auto bigEndian = [] (uint32_t value) -> std::string
    {
        return { (char) (value >> 24), (char) (value >> 16), (char) (value >> 8), (char) value };
    };
    const auto chunk = [&] (const char* type, const std::string& data)
    {
        const std::string typed = std::string (type, 4) + data;
        const auto crc = crc32 (0, reinterpret_cast<const Bytef*> (typed.data()), (uInt) typed.size());
        file << bigEndian ((uint32_t) data.size()) << typed << bigEndian ((uint32_t) crc);
    };

    file << "\x89PNG\r\n\x1a\n";
    chunk ("IHDR", bigEndian ((uint32_t) picture.width) + bigEndian ((uint32_t) picture.height)
                       + std::string ("\x08\x02\x00\x00\x00", 5)); // 8 bits, RGB, deflate, no filter, no interlace
    chunk ("IDAT", std::string (packed.begin(), packed.end()));
    chunk ("IEND", {});
    return file.good();
}

} // namespace tavrel::test
