#include "support/pixels.h"

#include <cstdio>
#include <cstdlib>

#include "common/unique_handle.h"

namespace tovrak::test {

std::ostream& operator<<(std::ostream& out, const Rgb& colour) {
    return out << "rgb(" << colour.red << ", " << colour.green << ", " << colour.blue << ")";
}

Rgb FromColorref(COLORREF colour) {
    return {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
}

WindowCapture::WindowCapture(HWND window) {
    RECT client{};
    if (!::GetClientRect(window, &client)) return;
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;

    WindowDc source(window);
    UniqueMemoryDc memory(::CreateCompatibleDC(source.get()));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap section(::CreateDIBSection(source.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!source || !memory || !section) return;
    {
        SelectGuard select(memory.get(), section.get());
        if (!::BitBlt(memory.get(), 0, 0, width, height, source.get(), 0, 0, SRCCOPY)) return;
        ::GdiFlush();
    }
    const auto* data = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(data, data + static_cast<size_t>(width) * height);
    width_ = width;
    height_ = height;
}

Rgb WindowCapture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {-1, -1, -1};
    const std::uint32_t value = pixels_[static_cast<size_t>(y) * width_ + x];
    return {static_cast<int>((value >> 16) & 0xFF), static_cast<int>((value >> 8) & 0xFF),
            static_cast<int>(value & 0xFF)};
}

bool WindowCapture::SaveBmp(const wchar_t* path) const {
    if (!valid()) return false;
    const int rowBytes = (width_ * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width_;
    header.biHeight = height_;
    header.biPlanes = 1;
    header.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + rowBytes * height_;
    FILE* out = _wfopen(path, L"wb");
    if (!out) return false;
    std::fwrite(&file, sizeof(file), 1, out);
    std::fwrite(&header, sizeof(header), 1, out);
    std::vector<unsigned char> row(rowBytes);
    for (int y = height_ - 1; y >= 0; --y) {
        for (int x = 0; x < width_; ++x) {
            const Rgb c = At(x, y);
            row[x * 3] = static_cast<unsigned char>(c.blue);
            row[x * 3 + 1] = static_cast<unsigned char>(c.green);
            row[x * 3 + 2] = static_cast<unsigned char>(c.red);
        }
        std::fwrite(row.data(), 1, row.size(), out);
    }
    std::fclose(out);
    return true;
}

bool Near(const Rgb& actual, const Rgb& expected, int tolerance) {
    return std::abs(actual.red - expected.red) <= tolerance &&
           std::abs(actual.green - expected.green) <= tolerance &&
           std::abs(actual.blue - expected.blue) <= tolerance;
}

void PumpMessages(DWORD milliseconds) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    do {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (::GetTickCount64() < end);
}

}  // namespace tovrak::test
