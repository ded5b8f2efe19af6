#include "screenshot.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Crc32(const std::uint8_t* data, size_t size, std::uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian(Bytes& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutChunk(Bytes& out, const char* type, const Bytes& data)
{
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian(out, Crc32(&out[typeAt], out.size() - typeAt));
}

// A zlib stream of stored (uncompressed) blocks: screenshots are small, and
// this needs no compressor.
Bytes StoredZlib(const Bytes& raw)
{
    Bytes out = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t length = raw.size() - at < 65535 ? raw.size() - at : 65535;
        out.push_back(at + length == raw.size() ? 1 : 0);
        out.push_back(static_cast<std::uint8_t>(length));
        out.push_back(static_cast<std::uint8_t>(length >> 8));
        out.push_back(static_cast<std::uint8_t>(~length));
        out.push_back(static_cast<std::uint8_t>(~length >> 8));
        out.insert(out.end(), raw.begin() + at, raw.begin() + at + length);
        at += length;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian(out, (b << 16) | a);
    return out;
}

} // namespace

bool SaveWindowPng(HWND window, const char* path)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    // Copy the window's pixels from the screen into a top-down 32-bit DIB.
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    bool copied = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY) != 0;
        SelectObject(memory, old);
    }

    Bytes raw;
    if (copied) {
        const std::uint8_t* bgrx = static_cast<const std::uint8_t*>(pixels);
        for (int y = 0; y < height; ++y) {
            raw.push_back(0); // no filter
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* pixel = bgrx + (static_cast<size_t>(y) * width + x) * 4;
                raw.insert(raw.end(), {pixel[2], pixel[1], pixel[0]});
            }
        }
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied)
        return false;

    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    PutBigEndian(header, static_cast<std::uint32_t>(width));
    PutBigEndian(header, static_cast<std::uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", StoredZlib(raw));
    PutChunk(png, "IEND", {});

    FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    return std::fclose(file) == 0 && written;
}
