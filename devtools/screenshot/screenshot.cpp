#include "screenshot.h"

#include <cstdint>
#include <vector>

// stb's PNG writer, compiled here and nowhere else.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

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

    // The DIB holds blue, green, red and an unused byte; PNG wants RGB.
    std::vector<std::uint8_t> rgb;
    if (copied) {
        const std::uint8_t* bgrx = static_cast<const std::uint8_t*>(pixels);
        rgb.reserve(static_cast<size_t>(width) * height * 3);
        for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i)
            rgb.insert(rgb.end(), {bgrx[i * 4 + 2], bgrx[i * 4 + 1], bgrx[i * 4]});
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied)
        return false;

    // The best compression stb offers: screenshots are flat colours and
    // compress well, and the README's pictures must stay small.
    stbi_write_png_compression_level = 9;
    return stbi_write_png(path, width, height, 3, rgb.data(), width * 3) != 0;
}
