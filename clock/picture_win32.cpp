#include "clock/picture.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <string>

Picture decodeBitmap(std::span<const std::byte> bytes)
{
    // A BMP file is its file header, then a DIB: GDI makes a bitmap of the DIB and hands its
    // pixels back in 32 bits.
    if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))
        return Picture(0, 0, {});
    const auto* file = reinterpret_cast<const BITMAPFILEHEADER*>(bytes.data());
    const auto* info = reinterpret_cast<const BITMAPINFO*>(bytes.data() + sizeof(BITMAPFILEHEADER));
    if (file->bfType != 0x4D42 || file->bfOffBits >= bytes.size())
        return Picture(0, 0, {});
    const int width = info->bmiHeader.biWidth;
    const int height = info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
    if (width <= 0 || height <= 0 || width > 65536 || height > 65536)
        return Picture(0, 0, {});
    const HDC screen = ::GetDC(nullptr);
    const HBITMAP bitmap =
        ::CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, bytes.data() + file->bfOffBits, info, DIB_RGB_COLORS);
    BITMAPINFO wanted{};
    wanted.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    wanted.bmiHeader.biWidth = width;
    wanted.bmiHeader.biHeight = -height;  // top-down
    wanted.bmiHeader.biPlanes = 1;
    wanted.bmiHeader.biBitCount = 32;
    wanted.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const int rows =
        bitmap ? ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &wanted, DIB_RGB_COLORS) : 0;
    if (bitmap)
        ::DeleteObject(bitmap);
    ::ReleaseDC(nullptr, screen);
    if (rows != height)
        return Picture(0, 0, {});
    for (auto& pixel : pixels)
        pixel &= 0xFFFFFF;  // 32-bit DIB pixels are 0x00RRGGBB
    return Picture(width, height, std::move(pixels));
}

std::vector<std::byte> clockResource(std::string_view name)
{
    // The library's own module: the one that holds this function.
    HMODULE module = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(&clockResource), &module);
    std::wstring resource;
    for (const char c : name)
        resource += static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(c)));
    const HRSRC found = ::FindResourceW(module, resource.c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
    const HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes)
        return {};
    const auto* first = static_cast<const std::byte*>(bytes);
    return {first, first + ::SizeofResource(module, found)};
}
