// SetIcon, SetSurface and SetLabel: a control that shows its own slice of the window's background image,
// optionally with an icon stretched over it or with its text drawn on it.

#include <cstdint>
#include <new>
#include <utility>

#include "common/colours.h"
#include "common/scaling.h"
#include "common/export_guard.h"
#include "skin/drawing.h"
#include "skin/painted_subclass.h"
#include "skin/skin.h"
#include "tovrak/renderer.h"

namespace tovrak::skin {
namespace {

// The background image is laid out for a window of 700 × 500 units.
constexpr float kBackgroundWidth = 700.0f;
constexpr float kBackgroundHeight = 500.0f;

struct ImageSkin {
    UniqueGpImage bitmap;  // client-sized when it was built, 32 bpp without alpha
    std::uint8_t textMode = 0;
    COLORREF textColor = 0;
    WideString iconPath;
    WideString backgroundPath;
    WideString text;
    int offsetX = 0;
    int offsetY = 0;
    int dpi = 96;
};

struct ImageSkinProcedure;
ImageSkin* FindImageSkin(HWND control) noexcept;

// The background slice under the control, with the icon stretched over it when there is one.
UniqueGpImage ComposePicture(int width, int height, const UniqueGpImage& background,
                             const UniqueGpImage& icon, int offsetX, int offsetY, int dpi) noexcept {
    UniqueGpImage picture = CreateRgbBitmap(width, height);
    UniqueGpGraphics graphics = GraphicsOnImage(picture);
    if (!graphics) return {};
    gp::GdipSetInterpolationMode(graphics.get(), Gdiplus::InterpolationModeHighQualityBicubic);
    gp::GdipSetPixelOffsetMode(graphics.get(), Gdiplus::PixelOffsetModeHalf);
    const float scale = static_cast<float>(dpi) / 96.0f;
    gp::GdipDrawImageRect(graphics.get(), background.get(), -offsetX * scale, -offsetY * scale,
                          kBackgroundWidth * scale, kBackgroundHeight * scale);
    if (icon)
        gp::GdipDrawImageRect(graphics.get(), icon.get(), 0.0f, 0.0f, static_cast<float>(width),
                              static_cast<float>(height));
    return picture;
}

// The body of SetIcon. The paths are copied before anything changes, so that the procedure's rebuild may
// pass the record's own strings.
bool ApplyImageSkin(HWND control, WideString iconPath, WideString backgroundPath, int offsetX, int offsetY,
                    int dpi) noexcept {
    if (!::IsWindow(control) || !IsSupportedDpi(dpi)) return false;
    if (!EnsureSkinGdiplus()) return false;
    RECT client{};
    if (!::GetClientRect(control, &client) || client.right <= 0 || client.bottom <= 0) return false;

    const UniqueGpImage background = LoadImageFile(backgroundPath);
    if (!background) return false;
    UniqueGpImage icon;
    if (!iconPath.empty()) {
        icon = LoadImageFile(iconPath);
        if (!icon) return false;
    }
    UniqueGpImage picture =
        ComposePicture(client.right, client.bottom, background, icon, offsetX, offsetY, dpi);
    if (!picture) return false;

    ImageSkin* skin = FindImageSkin(control);
    if (skin) {
        skin->bitmap = std::move(picture);
    } else {
        skin = new (std::nothrow) ImageSkin;
        if (!skin) return false;
        skin->bitmap = std::move(picture);
        if (!comctl32::SetWindowSubclass(control, PaintedSubclassProc<ImageSkinProcedure>, kImageSubclassId,
                                         reinterpret_cast<DWORD_PTR>(skin))) {
            delete skin;
            return false;
        }
        // A transparent control would let its siblings paint over the picture.
        ::SetWindowLongW(control, GWL_EXSTYLE, ::GetWindowLongW(control, GWL_EXSTYLE) & ~WS_EX_TRANSPARENT);
    }
    skin->iconPath = std::move(iconPath);
    skin->backgroundPath = std::move(backgroundPath);
    skin->offsetX = offsetX;
    skin->offsetY = offsetY;
    skin->dpi = dpi;

    ::SetWindowPos(control, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::InvalidateRect(control, nullptr, FALSE);
    return true;
}

// Copies the strings of a call: false (and nothing changed) when they cannot be copied.
bool CopyArguments(const wchar_t* icon, const wchar_t* background, WideString& iconPath,
                   WideString& backgroundPath) noexcept {
    try {
        iconPath = ArgumentText(icon);
        backgroundPath = ArgumentText(background);
        return true;
    } catch (...) {
        return false;
    }
}

void DrawImageAt(HDC dc, const UniqueGpImage& image) noexcept {
    UniqueGpGraphics target = GraphicsOnDc(dc);
    if (!target) return;
    const SIZE size = ImageSize(image);
    gp::GdipDrawImageRectI(target.get(), image.get(), 0, 0, size.cx, size.cy);
}

void PaintImage(HWND window, const ImageSkin& skin, HDC dc) noexcept {
    if (!skin.bitmap) return;
    if (!skin.textMode) {
        DrawImageAt(dc, skin.bitmap);
        return;
    }
    const SIZE size = ImageSize(skin.bitmap);
    UniqueGpImage composed = CreateRgbBitmap(size.cx, size.cy);
    {
        UniqueGpGraphics graphics = GraphicsOnImage(composed);
        if (!graphics) return;
        gp::GdipDrawImageRectI(graphics.get(), skin.bitmap.get(), 0, 0, size.cx, size.cy);
        HDC textDc = nullptr;
        if (gp::GdipGetDC(graphics.get(), &textDc) == Gdiplus::Ok) {
            {
                SavedDcState saved(textDc);
                RECT client{};
                ::GetClientRect(window, &client);
                if (const HFONT font = WindowFont(window)) ::SelectObject(textDc, font);
                ::SetBkMode(textDc, TRANSPARENT);
                ::SetTextColor(textDc, skin.textColor);
                ::DrawTextW(textDc, skin.text.c_str(), static_cast<int>(skin.text.size()), &client,
                            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            }
            gp::GdipReleaseDC(graphics.get(), textDc);
        }
    }
    DrawImageAt(dc, composed);
}

// The picture is rebuilt for a new size; a skin with text answers for the control's text.
bool HandleImageMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, ImageSkin& skin,
                        LRESULT& result) noexcept {
    switch (message) {
        case WM_SIZE:
            // A side of zero (a minimised parent) keeps the old picture.
            if (LOWORD(lParam) != 0 && HIWORD(lParam) != 0) {
                WideString iconPath, backgroundPath;
                if (CopyArguments(skin.iconPath.c_str(), skin.backgroundPath.c_str(), iconPath,
                                  backgroundPath))
                    ApplyImageSkin(window, std::move(iconPath), std::move(backgroundPath), skin.offsetX,
                                   skin.offsetY, skin.dpi);
            }
            return false;
        case WM_NCHITTEST:
            result = HTTRANSPARENT;
            return true;
        case WM_SETTEXT:
            if (!skin.textMode) return false;
            try {
                skin.text = ArgumentText(reinterpret_cast<const wchar_t*>(lParam));
            } catch (...) {
                result = FALSE;
                return true;
            }
            ::InvalidateRect(window, nullptr, FALSE);
            ::UpdateWindow(window);
            result = TRUE;  // the control's own text stays as it was
            return true;
        case WM_GETTEXTLENGTH:
            if (!skin.textMode) return false;
            result = static_cast<LRESULT>(skin.text.size());
            return true;
        case WM_GETTEXT:
            if (!skin.textMode) return false;
            result = wParam == 0 || lParam == 0 ? 0
                                                : CopyToBuffer(skin.text, reinterpret_cast<wchar_t*>(lParam),
                                                               static_cast<int>(wParam));
            return true;
        default:
            return false;
    }
}

struct ImageSkinProcedure : PaintedSkin<ImageSkin> {
    static void Paint(HWND window, const ImageSkin& skin, HDC dc) noexcept { PaintImage(window, skin, dc); }
    static bool Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, ImageSkin& skin,
                       LRESULT& result) noexcept {
        return HandleImageMessage(window, message, wParam, lParam, skin, result);
    }
};

ImageSkin* FindImageSkin(HWND control) noexcept {
    return FindSkin<ImageSkin>(control, PaintedSubclassProc<ImageSkinProcedure>, kImageSubclassId);
}

std::int32_t SetIconSkin(HWND control, const wchar_t* iconPath, const wchar_t* backgroundPath,
                         std::int32_t offsetX, std::int32_t offsetY, std::int32_t dpi) noexcept {
    WideString icon, background;
    if (!CopyArguments(iconPath, backgroundPath, icon, background)) return 0;
    return ApplyImageSkin(control, std::move(icon), std::move(background), offsetX, offsetY, dpi) ? 1 : 0;
}

std::int32_t SetSurfaceSkin(HWND control, const wchar_t* imagePath, std::int32_t dpi) noexcept {
    return SetIconSkin(control, imagePath, imagePath, 0, 0, dpi);
}

std::int32_t SetLabelSkin(HWND control, const wchar_t* backgroundPath, std::int32_t offsetX,
                          std::int32_t offsetY, std::int32_t dpi, COLORREF textColor) noexcept {
    if (!SetIconSkin(control, L"", backgroundPath, offsetX, offsetY, dpi)) return 0;
    ImageSkin* skin = FindImageSkin(control);
    if (!skin) return 0;
    try {
        skin->text = WindowText(control);
    } catch (...) {
        return 0;
    }
    skin->textMode = 1;
    skin->textColor = textColor;
    return 1;
}

}  // namespace
}  // namespace tovrak::skin

using tovrak::GuardExport;

extern "C" int32_t TOVRAK_CALL SetIcon(HWND control, const wchar_t* iconPath, const wchar_t* backgroundPath,
                                       int32_t offsetX, int32_t offsetY, int32_t dpi) noexcept {
    return GuardExport<int32_t>(0, tovrak::skin::SetIconSkin, control, iconPath, backgroundPath, offsetX,
                                offsetY, dpi);
}

extern "C" int32_t TOVRAK_CALL SetSurface(HWND control, const wchar_t* imagePath, int32_t dpi) noexcept {
    return GuardExport<int32_t>(0, tovrak::skin::SetSurfaceSkin, control, imagePath, dpi);
}

extern "C" int32_t TOVRAK_CALL SetLabel(HWND control, const wchar_t* backgroundPath, int32_t offsetX,
                                        int32_t offsetY, int32_t dpi, COLORREF textColor) noexcept {
    return GuardExport<int32_t>(0, tovrak::skin::SetLabelSkin, control, backgroundPath, offsetX, offsetY, dpi,
                                textColor);
}
